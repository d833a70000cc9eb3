#include "shell/platform/AutostartEntry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QSaveFile>

#include <cstdlib>

namespace Vuxo {

namespace {

constexpr const char* kGroup = "[Desktop Entry]";

// The general escapes of a desktop-entry string value.
std::string EscapeValue(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
    return out;
}

std::string UnescapeValue(const std::string& text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char next = text[++i];
        switch (next) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        default:
            out += next;
        }
    }
    return out;
}

std::string Trim(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const size_t last = text.find_last_not_of(" \t\r");
    return text.substr(first, last - first + 1);
}

// The value of `key` in the [Desktop Entry] group, escapes undone; false when absent.
bool FindKey(const std::string& content, const std::string& key, std::string& value) {
    bool inGroup = false;
    size_t start = 0;
    while (start <= content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) {
            end = content.size();
        }
        const std::string line = Trim(content.substr(start, end - start));
        start = end + 1;
        if (line.empty() || line[0] == '#') {
            continue;
        }
        if (line[0] == '[') {
            inGroup = line == kGroup;
            continue;
        }
        const size_t equals = line.find('=');
        if (inGroup && equals != std::string::npos && Trim(line.substr(0, equals)) == key) {
            value = UnescapeValue(Trim(line.substr(equals + 1)));
            return true;
        }
    }
    return false;
}

} // namespace

std::string MakeDesktopExecValue(const std::string& programPath) {
    std::string quoted = "\"";
    for (const char c : programPath) {
        if (c == '"' || c == '`' || c == '$' || c == '\\') {
            quoted += '\\';
        }
        quoted += c;
        if (c == '%') {
            quoted += '%';
        }
    }
    quoted += '"';
    return EscapeValue(quoted);
}

std::string ParseDesktopExecProgram(const std::string& execValue, bool& hasArguments) {
    const std::string exec = UnescapeValue(execValue);
    hasArguments = false;
    std::string program;
    size_t i = 0;
    if (!exec.empty() && exec[0] == '"') {
        for (i = 1; i < exec.size() && exec[i] != '"'; ++i) {
            if (exec[i] == '\\' && i + 1 < exec.size()) {
                ++i;
            }
            program += exec[i];
            if (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
                ++i;
            }
        }
        if (i >= exec.size()) {
            return {}; // no closing quote
        }
        ++i;
    } else {
        for (; i < exec.size() && exec[i] != ' '; ++i) {
            program += exec[i];
            if (exec[i] == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
                ++i;
            }
        }
    }
    hasArguments = Trim(exec.substr(i)) != "";
    return program;
}

XdgAutostartEntry::XdgAutostartEntry(std::string configHome) : m_configHome(std::move(configHome)) {}

std::string XdgAutostartEntry::DefaultConfigHome() {
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        return configHome;
    }
    return QDir::homePath().toStdString() + "/.config";
}

std::string XdgAutostartEntry::FilePath() const {
    return m_configHome + "/autostart/" + kFileName;
}

bool XdgAutostartEntry::IsRegisteredFor(const std::string& programPath) const {
    QFile file(QString::fromStdString(FilePath()));
    if (programPath.empty() || !file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const std::string content = file.readAll().toStdString();
    std::string value;
    if (FindKey(content, "Hidden", value) && value == "true") {
        return false;
    }
    if (!FindKey(content, "Exec", value)) {
        return false;
    }
    bool hasArguments = false;
    return ParseDesktopExecProgram(value, hasArguments) == programPath && !hasArguments;
}

bool XdgAutostartEntry::Register(const std::string& programPath) {
    if (programPath.empty() || !QDir().mkpath(QString::fromStdString(m_configHome + "/autostart"))) {
        return false;
    }
    const std::string content = std::string(kGroup) + "\nType=Application\nName=Quillo Corvanta\nExec=" +
                                MakeDesktopExecValue(programPath) +
                                "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
    QSaveFile file(QString::fromStdString(FilePath()));
    if (!file.open(QIODevice::WriteOnly)) {
        return false;
    }
    file.write(content.data(), static_cast<qint64>(content.size()));
    return file.commit();
}

bool XdgAutostartEntry::Unregister() {
    QFile file(QString::fromStdString(FilePath()));
    return !file.exists() || file.remove();
}

} // namespace Vuxo
