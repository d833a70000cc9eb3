#include "shell/frame/DriveRoot.h"

#include <filesystem>
#include <sys/stat.h>

namespace Vuxo {

bool IsDriveRoot(const std::string& path) {
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error).lexically_normal();
    if (error || absolute.empty()) {
        return false;
    }
    std::string text = absolute.string();
    while (text.size() > 1 && text.back() == '/') {
        text.pop_back();
    }
    if (text == "/") {
        return true;
    }
    struct stat self {};
    struct stat parent {};
    if (::stat(text.c_str(), &self) != 0 || !S_ISDIR(self.st_mode)) {
        return false;
    }
    const std::string parentText = std::filesystem::path(text).parent_path().string();
    if (::stat(parentText.c_str(), &parent) != 0) {
        return false;
    }
    return self.st_dev != parent.st_dev || self.st_ino == parent.st_ino;
}

} // namespace Vuxo
