#include "core/platform/fs/ProgramFolder.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

namespace Vuxo {

std::string GetProgramFolder() {
    std::vector<char> buffer(4096);
    for (;;) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            return {};
        }
        if (static_cast<size_t>(length) < buffer.size()) {
            const std::string path(buffer.data(), static_cast<size_t>(length));
            const size_t slash = path.rfind('/');
            if (slash == std::string::npos) {
                return {};
            }
            return slash == 0 ? std::string("/") : path.substr(0, slash);
        }
        buffer.resize(buffer.size() * 2); // the link may be longer than the buffer: read it again
    }
}

bool SetWorkingDirToProgramFolder() {
    const std::string folder = GetProgramFolder();
    return !folder.empty() && ::chdir(folder.c_str()) == 0;
}

} // namespace Vuxo
