// Starting the program with the desktop session: an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/quillo-corvanta.desktop) whose Exec line names the program. The main frame
// reads it at start (no balloon when the program starts itself into the tray); the General page of the
// preferences writes and removes it. GUI thread only.
#pragma once

#include <string>

namespace Vuxo {

class AutostartEntry {
public:
    virtual ~AutostartEntry() = default;

    // True when the entry exists, is not hidden and its command is exactly `programPath` (no arguments).
    virtual bool IsRegisteredFor(const std::string& programPath) const = 0;
    // Writes the entry for `programPath` (replacing an older one in one step); false on failure.
    virtual bool Register(const std::string& programPath) = 0;
    // Removes the entry; true when none is left.
    virtual bool Unregister() = 0;
};

class XdgAutostartEntry final : public AutostartEntry {
public:
    static constexpr const char* kFileName = "quillo-corvanta.desktop";

    // `configHome` is the user's configuration folder ($XDG_CONFIG_HOME, else ~/.config).
    explicit XdgAutostartEntry(std::string configHome = DefaultConfigHome());

    static std::string DefaultConfigHome();
    std::string FilePath() const;

    bool IsRegisteredFor(const std::string& programPath) const override;
    bool Register(const std::string& programPath) override;
    bool Unregister() override;

private:
    std::string m_configHome;
};

// The Exec value that runs `programPath` without arguments: the path quoted as the desktop-entry format
// asks ('"', '`', '$' and '\' escaped inside the quotes, '%' doubled), then string-escaped.
std::string MakeDesktopExecValue(const std::string& programPath);
// The program of an Exec value (its first argument, unquoted); "" when the value is malformed. `hasArguments`
// tells whether more followed.
std::string ParseDesktopExecProgram(const std::string& execValue, bool& hasArguments);

} // namespace Vuxo
