// The program's settings object: every setting of the service and of the desktop shell, bound to a
// key of "mount.ini" in the program's folder.
// The GUI thread writes the settings while connection threads and the public-address thread read
// them, so scalars are atomics and strings are SharedStrings. The four lists are copies that their
// owners (mounts, accounts, IP filter) rebuild under GetListLock(); Load and Save take the same lock.
// One process-wide instance (GetInstance); tests build their own over a temporary folder.
#pragma once

#include "core/config/AbstractConfig.h"
#include "core/config/SharedString.h"
#include "core/thread/CriticalSection.h"

#include <atomic>
#include <string>
#include <vector>

namespace Vuxo {

class QuilloConfig : public AbstractConfig {
public:
    static constexpr const char* kFileName = "mount.ini";

    // Registers every key with its default, then loads folder + "/mount.ini".
    explicit QuilloConfig(std::string folder);
    // Saves once more, as the program did at exit.
    ~QuilloConfig() override;

    // The instance over the program's folder, created on first use and never destroyed, so that
    // threads still running at exit can read it; the shell saves it explicitly before leaving.
    static QuilloConfig& GetInstance();

    // Reads mount.ini (a leading UTF-8 byte-order mark is skipped). A missing or unreadable file
    // leaves every setting as it is and gives false.
    bool Load();
    // Writes the byte-order mark and every setting to a temporary file beside mount.ini, flushes it
    // to disk and renames it over mount.ini (mode 0600: it holds account data). False when anything
    // fails; mount.ini is then left as it was.
    bool Save();

    const std::string& GetFolder() const { return m_folder; }
    std::string GetFilePath() const;
    // Guards the four lists; re-entrant, so an owner may save while it holds it.
    CriticalSection& GetListLock() const { return m_listLock; }

    std::atomic<unsigned short> port;
    std::atomic<bool> wasRunning;
    std::atomic<bool> bootOnTray;
    std::atomic<bool> singleInstance;
    std::atomic<bool> canRootAccess;
    std::atomic<bool> useHostName;
    std::atomic<bool> getPublicIP;
    SharedString HostName;
    SharedString preferredLancardAddress;
    std::atomic<bool> useVersionCheck;
    std::atomic<bool> writeLog;
    std::atomic<bool> skinDevelopersMode;
    std::atomic<bool> showHiddenFiles;
    std::atomic<int> totalUploadSpeedLimit;
    std::atomic<int> totalDownloadSpeedLimit;
    std::atomic<bool> useDownloadConnectionLimit;
    std::atomic<int> downloadConnectionLimit;
    std::atomic<bool> usePerIPDownloadConnectionLimit;
    std::atomic<int> perIPdownloadConnectionLimit;
    std::atomic<int> defaultUrlCodepage;
    SharedString defaultSkin;
    SharedString uiLanguageFile;
    SharedString lastAddMountDirectory;
    std::vector<std::string> mounts;
    std::vector<std::string> ipFilterTable;
    std::vector<std::string> users;
    std::vector<std::string> authorities;

private:
    void RegisterSettings();

    std::string m_folder;
    mutable CriticalSection m_listLock;
};

// The folder the add-share chooser opens in before one was chosen: $HOME, else the password
// database's home folder, else "/".
std::string GetDefaultMountDirectory();

} // namespace Vuxo
