#include "service/config/QuilloConfig.h"

#include "core/config/FileReplacer.h"
#include "core/platform/fs/HomeFolder.h"
#include "core/platform/fs/ProgramFolder.h"

#include <fstream>
#include <sstream>
#include <utility>

namespace Vuxo {

namespace {

constexpr char kByteOrderMark[] = "\xEF\xBB\xBF";
constexpr std::size_t kByteOrderMarkLength = 3;
// The file holds account data: only its owner may read it.
constexpr unsigned kFileMode = 0600;

// Skips a leading UTF-8 byte-order mark; any other start of the file is read as it is.
void SkipByteOrderMark(std::istream& in) {
    char start[kByteOrderMarkLength] = {};
    in.read(start, kByteOrderMarkLength);
    if (in.gcount() == static_cast<std::streamsize>(kByteOrderMarkLength) &&
        std::string_view(start, kByteOrderMarkLength) == kByteOrderMark) {
        return;
    }
    in.clear();
    in.seekg(0);
}

} // namespace

std::string GetDefaultMountDirectory() {
    std::string home = GetHomeFolder();
    return home.empty() ? std::string("/") : home;
}

QuilloConfig::QuilloConfig(std::string folder) : m_folder(std::move(folder)) {
    RegisterSettings();
    Load();
}

QuilloConfig::~QuilloConfig() {
    Save();
}

QuilloConfig& QuilloConfig::GetInstance() {
    // Deliberately never deleted: threads still running at exit may read settings.
    static QuilloConfig* const instance = [] {
        std::string folder = GetProgramFolder();
        return new QuilloConfig(folder.empty() ? std::string(".") : std::move(folder));
    }();
    return *instance;
}

void QuilloConfig::RegisterSettings() {
    RegisterItem("singleInstance", &singleInstance, true);
    RegisterItem("port", &port, 80);
    RegisterItem("wasRunning", &wasRunning, false);
    RegisterItem("bootOnTray", &bootOnTray, false);
    RegisterItem("canRootAccess", &canRootAccess, true);
    RegisterItem("showHiddenFiles", &showHiddenFiles, false);
    RegisterItem("totalUploadSpeedLimit", &totalUploadSpeedLimit, -1);
    RegisterItem("totalDownloadSpeedLimit", &totalDownloadSpeedLimit, -1);
    RegisterItem("useDownloadConnectionLimit", &useDownloadConnectionLimit, false);
    RegisterItem("downloadConnectionLimit", &downloadConnectionLimit, 0);
    RegisterItem("usePerIPDownloadConnectionLimit", &usePerIPDownloadConnectionLimit, false);
    RegisterItem("perIPdownloadConnectionLimit", &perIPdownloadConnectionLimit, 0);
    RegisterItem("useHostName", &useHostName, false);
    RegisterItem("getPublicIP", &getPublicIP, true);
    RegisterItem("HostName", &HostName, "");
    RegisterItem("preferredLancardAddress", &preferredLancardAddress, "");
    RegisterItem("writeLog", &writeLog, true);
    RegisterItem("useVersionCheck", &useVersionCheck, true);
    RegisterItem("skinDevelopersMode", &skinDevelopersMode, false);
    RegisterItem("defaultUrlCodepage", &defaultUrlCodepage, 949);
    RegisterItem("defaultSkin", &defaultSkin, "");
    RegisterItem("uiLanguageFile", &uiLanguageFile, "");
    RegisterItem("lastAddMountDirectory", &lastAddMountDirectory, GetDefaultMountDirectory());
    RegisterContainer("mounts", &mounts);
    RegisterContainer("ipFilterTable", &ipFilterTable);
    RegisterContainer("users", &users);
    RegisterContainer("authorities", &authorities);
}

std::string QuilloConfig::GetFilePath() const {
    if (!m_folder.empty() && m_folder.back() == '/') {
        return m_folder + kFileName;
    }
    return m_folder + "/" + kFileName;
}

bool QuilloConfig::Load() {
    std::ifstream in(GetFilePath(), std::ios::in | std::ios::binary);
    if (!in.is_open()) {
        return false;
    }
    SkipByteOrderMark(in);
    ScopedLock lock(m_listLock);
    return AbstractConfig::Load(in);
}

bool QuilloConfig::Save() {
    ScopedLock lock(m_listLock);
    std::ostringstream body;
    body.write(kByteOrderMark, kByteOrderMarkLength);
    if (!AbstractConfig::Save(body)) {
        return false;
    }
    return ReplaceFileContents(GetFilePath(), body.str(), kFileMode);
}

} // namespace Vuxo
