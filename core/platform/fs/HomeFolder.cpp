#include "core/platform/fs/HomeFolder.h"

#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace Vuxo {

namespace {

std::string PasswordDatabaseHome() {
    const long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_dir == nullptr) {
        return {};
    }
    return found->pw_dir;
}

} // namespace

std::string GetHomeFolder() {
    if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        return home;
    }
    return PasswordDatabaseHome();
}

} // namespace Vuxo
