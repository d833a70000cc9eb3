#include "core/platform/crash/OsName.h"

#include <fstream>
#include <map>
#include <sstream>
#include <sys/utsname.h>

namespace Vuxo::Crash {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    const size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

// A value as a shell would read it: '…' literally, "…" with \", \\, \$ and \` escapes, or bare.
std::string Unquote(std::string_view value) {
    if (value.size() >= 2 && value.front() == '\'' && value.back() == '\'') {
        return std::string(value.substr(1, value.size() - 2));
    }
    if (value.size() < 2 || value.front() != '"' || value.back() != '"') {
        return std::string(value);
    }
    std::string text;
    const std::string_view inner = value.substr(1, value.size() - 2);
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '\\' && i + 1 < inner.size() &&
            std::string_view("\"\\$`").find(inner[i + 1]) != std::string_view::npos) {
            ++i;
        }
        text += inner[i];
    }
    return text;
}

std::string ReadFile(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::ostringstream content;
    content << file.rdbuf();
    return file ? content.str() : std::string();
}

} // namespace

std::string ParseOsReleaseName(std::string_view osRelease) {
    std::map<std::string, std::string, std::less<>> values;
    while (!osRelease.empty()) {
        const size_t end = osRelease.find('\n');
        const std::string_view line = TrimBlanks(osRelease.substr(0, end));
        osRelease = end == std::string_view::npos ? std::string_view() : osRelease.substr(end + 1);
        const size_t equals = line.find('=');
        if (line.empty() || line.front() == '#' || equals == std::string_view::npos) {
            continue;
        }
        values.emplace(std::string(line.substr(0, equals)), Unquote(TrimBlanks(line.substr(equals + 1))));
    }
    const auto valueOf = [&values](std::string_view key) {
        const auto found = values.find(key);
        return found == values.end() ? std::string() : found->second;
    };
    if (std::string pretty = valueOf("PRETTY_NAME"); !pretty.empty()) {
        return pretty;
    }
    const std::string name = valueOf("NAME");
    const std::string version = valueOf("VERSION");
    return name.empty() || version.empty() ? name : name + " " + version;
}

std::string ComposeOsDisplayName(std::string_view distribution, std::string_view system,
                                 std::string_view release, std::string_view machine) {
    std::string kernel;
    for (const std::string_view part : {system, release, machine}) {
        if (!part.empty()) {
            kernel += (kernel.empty() ? "" : " ") + std::string(part);
        }
    }
    if (distribution.empty() || kernel.empty()) {
        return std::string(distribution) + kernel;
    }
    return std::string(distribution) + ", " + kernel;
}

std::string GetOsDisplayName() {
    std::string osRelease = ReadFile("/etc/os-release");
    if (osRelease.empty()) {
        osRelease = ReadFile("/usr/lib/os-release");
    }
    utsname names{};
    if (::uname(&names) != 0) {
        return ComposeOsDisplayName(ParseOsReleaseName(osRelease), {}, {}, {});
    }
    return ComposeOsDisplayName(ParseOsReleaseName(osRelease), names.sysname, names.release, names.machine);
}

} // namespace Vuxo::Crash
