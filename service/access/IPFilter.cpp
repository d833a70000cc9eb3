#include "service/access/IPFilter.h"

#include "core/text/StringHelpers.h"
#include "service/access/MatchWildcard.h"

#include <algorithm>

namespace Vuxo {

namespace {

constexpr std::string_view kPatternTrimSet = "\r\n\t ";
constexpr std::string_view kAllow = "allow";
constexpr std::string_view kBan = "ban";

std::string TrimmedPattern(std::string pattern) {
    Trim(pattern, kPatternTrimSet);
    return pattern;
}

} // namespace

bool ValidateIPPattern(std::string pattern) {
    Trim(pattern, kPatternTrimSet);
    if (pattern.empty() || pattern.front() == '.' || pattern.back() == '.') {
        return false;
    }
    const bool allowedCharacters = std::all_of(pattern.begin(), pattern.end(), [](char c) {
        return (c >= '0' && c <= '9') || c == '.' || c == '*';
    });
    return allowedCharacters && std::count(pattern.begin(), pattern.end(), '.') == 3;
}

bool ParseIPFilterEntry(std::string_view text, IPFilterRule& rule) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) {
        return false;
    }
    const std::string_view decision = text.substr(colon + 1);
    if (decision != kAllow && decision != kBan) {
        return false; // also when a second ":" follows
    }
    rule.allow = decision == kAllow;
    rule.pattern = TrimmedPattern(std::string(text.substr(0, colon)));
    return true;
}

std::string FormatIPFilterEntry(const IPFilterRule& rule) {
    return rule.pattern + ":" + std::string(rule.allow ? kAllow : kBan);
}

IPFilter::IPFilter(QuilloConfig& config) : m_config(config) {}

bool IPFilter::IsIPAllowed(const std::string& address) const {
    ScopedLock lock(m_lock);
    for (const IPFilterRule& rule : m_rules) {
        if (MatchWildcard(rule.pattern, address)) {
            return rule.allow;
        }
    }
    return true;
}

bool IPFilter::AddIPFilterRule(bool allow, const std::string& pattern) {
    if (!ValidateIPPattern(pattern)) {
        return false;
    }
    IPFilterRule rule{allow, TrimmedPattern(pattern)};
    {
        ScopedLock storeLock(m_storeLock);
        std::vector<std::string> items;
        {
            ScopedLock lock(m_lock);
            if (std::find(m_rules.begin(), m_rules.end(), rule) != m_rules.end()) {
                return true;
            }
            m_rules.insert(m_rules.begin(), std::move(rule));
            items = FormatRulesLocked();
        }
        StoreItems(std::move(items));
    }
    m_config.Save();
    return true;
}

void IPFilter::GetIPFilterRules(std::vector<IPFilterRule>& rules) const {
    ScopedLock lock(m_lock);
    rules = m_rules;
}

bool IPFilter::SetIPFilterRules(const std::vector<IPFilterRule>& rules) {
    std::vector<IPFilterRule> trimmed;
    trimmed.reserve(rules.size());
    for (const IPFilterRule& rule : rules) {
        if (!ValidateIPPattern(rule.pattern)) {
            return false;
        }
        trimmed.push_back({rule.allow, TrimmedPattern(rule.pattern)});
    }
    {
        ScopedLock storeLock(m_storeLock);
        std::vector<std::string> items;
        {
            ScopedLock lock(m_lock);
            m_rules = std::move(trimmed);
            items = FormatRulesLocked();
        }
        StoreItems(std::move(items));
    }
    m_config.Save();
    return true;
}

void IPFilter::ReloadIPFilterRules() {
    std::vector<std::string> items;
    {
        ScopedLock listLock(m_config.GetListLock());
        items = m_config.ipFilterTable;
    }
    std::vector<IPFilterRule> rules;
    rules.reserve(items.size());
    for (const std::string& item : items) {
        IPFilterRule rule;
        if (ParseIPFilterEntry(item, rule)) {
            rules.push_back(std::move(rule));
        }
    }
    ScopedLock lock(m_lock);
    m_rules = std::move(rules);
}

std::vector<std::string> IPFilter::FormatRulesLocked() const {
    std::vector<std::string> items;
    items.reserve(m_rules.size());
    for (const IPFilterRule& rule : m_rules) {
        items.push_back(FormatIPFilterEntry(rule));
    }
    return items;
}

void IPFilter::StoreItems(std::vector<std::string> items) {
    ScopedLock listLock(m_config.GetListLock());
    m_config.ipFilterTable = std::move(items);
}

} // namespace Vuxo
