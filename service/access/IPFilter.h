// IPFilter: the ordered allow/ban rules over client addresses; the first rule whose pattern matches the
// address decides, and an address no rule matches is allowed. The server object owns the one filter over
// its configuration; the dispatcher asks IsIPAllowed on connection threads, the shell edits the rules and
// the disconnect command adds ban rules on the GUI thread. Persisted as the configuration list
// `ipFilterTable`, one "pattern:allow" or "pattern:ban" item per rule, in rule order.
//
// Locking: one re-entrant CriticalSection guards the rule table. It is never held while the configuration
// list is written or the file saved (a save holds the list lock during its disk write), so requests never
// wait for the disk. A second lock only keeps the writers of `ipFilterTable` in order.
#pragma once

#include "core/thread/CriticalSection.h"
#include "service/config/QuilloConfig.h"

#include <string>
#include <string_view>
#include <vector>

namespace Vuxo {

struct IPFilterRule {
    bool allow = false;  // true allow, false ban
    std::string pattern; // a dotted IPv4 address whose parts may hold "*"
    friend bool operator==(const IPFilterRule&, const IPFilterRule&) = default;
};

// True when the pattern, trimmed of CR, LF, tab and blank, is not empty, neither begins nor ends with ".",
// holds only digits, "." and "*", and holds exactly three ".". "10.*.*.*" and "1..2.3" are valid; "*",
// "192.168.0" and "a.b.c.d" are not.
bool ValidateIPPattern(std::string pattern);

// One `ipFilterTable` item: "<pattern>:allow" or "<pattern>:ban". False for any other form (a second ":",
// "Ban"); the pattern is trimmed but not validated.
bool ParseIPFilterEntry(std::string_view text, IPFilterRule& rule);
std::string FormatIPFilterEntry(const IPFilterRule& rule);

class IPFilter {
public:
    // Starts empty; ReloadIPFilterRules fills it (the server object's resource reload does).
    explicit IPFilter(QuilloConfig& config = QuilloConfig::GetInstance());
    IPFilter(const IPFilter&) = delete;
    IPFilter& operator=(const IPFilter&) = delete;

    // The decision of the first matching rule; true when none matches.
    bool IsIPAllowed(const std::string& address) const;
    // False for an invalid pattern. Otherwise puts the rule (its pattern trimmed) at the front unless the
    // same rule already exists, stores the table and saves; true in both cases.
    bool AddIPFilterRule(bool allow, const std::string& pattern);
    // `rules` := a copy of the table.
    void GetIPFilterRules(std::vector<IPFilterRule>& rules) const;
    // False and no change when any pattern is invalid; else the table := the rules (patterns trimmed) in
    // the given order, stored and saved.
    bool SetIPFilterRules(const std::vector<IPFilterRule>& rules);
    // The table := the items of `ipFilterTable` that read well, in order; nothing is validated or saved.
    void ReloadIPFilterRules();

private:
    // Writes `items` into `ipFilterTable` (the caller holds m_storeLock, not m_lock).
    void StoreItems(std::vector<std::string> items);
    // The text form of the table (the caller holds m_lock).
    std::vector<std::string> FormatRulesLocked() const;

    QuilloConfig& m_config;
    CriticalSection m_storeLock; // taken before m_lock, never after it
    mutable CriticalSection m_lock;
    std::vector<IPFilterRule> m_rules;
};

} // namespace Vuxo
