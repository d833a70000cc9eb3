#include "service/config/QuilloConfig.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <pwd.h>
#include <random>
#include <sstream>
#include <stdexcept>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace Vuxo {
namespace {

namespace fs = std::filesystem;

const std::string kBom = "\xEF\xBB\xBF";

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (fs::temp_directory_path() / "corvanta-config-XXXXXX").string();
        std::vector<char> buffer(pattern.begin(), pattern.end());
        buffer.push_back('\0');
        if (mkdtemp(buffer.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        m_path = buffer.data();
    }
    ~TempFolder() {
        std::error_code error;
        fs::permissions(m_path, fs::perms::owner_all, fs::perm_options::add, error);
        fs::remove_all(m_path, error);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return m_path; }
    std::string File(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> FolderEntries(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

// Runs `body` in a child process, without root's power to write anywhere when the tests run as root.
// Gives the child's exit code, or -1 when it did not exit normally.
int RunUnprivilegedChild(const std::function<int()>& body) {
    const pid_t child = fork();
    if (child == 0) {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) {
            _exit(100);
        }
        _exit(body());
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)) {
        return -1;
    }
    return WEXITSTATUS(status);
}

// Settings of a config as the lines Save writes, for whole-object comparisons.
std::string SavedText(const QuilloConfig& config) {
    std::ostringstream out;
    EXPECT_TRUE(config.AbstractConfig::Save(out));
    return out.str();
}

class ScopedHome {
public:
    explicit ScopedHome(const char* value) {
        if (const char* old = std::getenv("HOME")) {
            m_old = old;
            m_had = true;
        }
        if (value != nullptr) {
            setenv("HOME", value, 1);
        } else {
            unsetenv("HOME");
        }
    }
    ~ScopedHome() {
        if (m_had) {
            setenv("HOME", m_old.c_str(), 1);
        } else {
            unsetenv("HOME");
        }
    }

private:
    std::string m_old;
    bool m_had = false;
};

TEST(QuilloConfigTest, MissingFileGivesDefaultsWithTheHomeFolder) {
    TempFolder folder;
    {
        ScopedHome home("/home/someone");
        QuilloConfig config(folder.Path());
        EXPECT_EQ(config.GetFilePath(), folder.File("mount.ini"));
        EXPECT_FALSE(config.Load());
        EXPECT_EQ(config.port, 80);
        EXPECT_EQ(config.defaultUrlCodepage, 949);
        EXPECT_EQ(config.lastAddMountDirectory.Get(), "/home/someone");
    }
    ScopedHome home(nullptr);
    const passwd* user = getpwuid(getuid());
    ASSERT_NE(user, nullptr);
    const std::string fromDatabase = user->pw_dir;
    EXPECT_EQ(QuilloConfig(folder.Path()).lastAddMountDirectory.Get(), "/home/someone"); // saved above
    std::filesystem::remove(folder.File("mount.ini"));
    EXPECT_EQ(QuilloConfig(folder.Path()).lastAddMountDirectory.Get(), fromDatabase);
    ScopedHome emptyHome(""); // an empty HOME names no folder either
    EXPECT_EQ(GetDefaultMountDirectory(), fromDatabase);
}

TEST(QuilloConfigTest, SampleFileLoadsAndSavesBackSorted) {
    TempFolder folder;
    const std::string overlong = "defaultSkin=" + std::string(9000, 's');
    const std::string sample = kBom +
                               "port=8080\r\n"
                               "PORT = 8081 \r\n"
                               "wasRunning=1\r\n"
                               "bootOnTray=yes\r\n"
                               "singleInstance=2\r\n"
                               "totalDownloadSpeedLimit=-1000\r\n"
                               "totalUploadSpeedLimit=70000 bytes\r\n"
                               "downloadConnectionLimit=\r\n"
                               "perIPdownloadConnectionLimit=3\r\n"
                               "HostName= files.example.org \r\n"
                               "defaultUrlCodepage=65001\r\n"
                               "obsoleteKey=whatever\r\n"
                               "\r\n"
                               "uiLanguageFile=English.wul\r\n"
                               "lastAddMountDirectory=/srv/\xEA\xB3\xB5\xEC\x9C\xA0\r\n" +
                               overlong +
                               "\r\n"
                               "mounts+=Music|%2fsrv%2fmusic||yes|x|no\r\n"
                               "users+=.anonymous|.\r\n"
                               "users+=bob|abc.\r\n"
                               "authorities+=bob|Music|LDU\r\n"
                               "ipFilterTable+=192.168.0.*:allow\r\n"
                               "mounts += Photos|%2fsrv%2fphotos||yes|x|no\r\n"
                               "port+=99\r\n"
                               "getPublicIP=0";
    WriteFile(folder.File("mount.ini"), sample);

    QuilloConfig config(folder.Path());
    EXPECT_EQ(config.port, 8081);
    EXPECT_TRUE(config.wasRunning);
    EXPECT_FALSE(config.bootOnTray);
    EXPECT_TRUE(config.singleInstance);
    EXPECT_EQ(config.totalDownloadSpeedLimit, -1000);
    EXPECT_EQ(config.totalUploadSpeedLimit, 70000);
    EXPECT_EQ(config.downloadConnectionLimit, 0);
    EXPECT_EQ(config.perIPdownloadConnectionLimit, 3);
    EXPECT_EQ(config.HostName.Get(), "files.example.org");
    EXPECT_EQ(config.defaultUrlCodepage, 65001);
    EXPECT_EQ(config.defaultSkin.Get(), "");
    EXPECT_FALSE(config.getPublicIP);
    EXPECT_EQ(config.mounts, (std::vector<std::string>{"Music|%2fsrv%2fmusic||yes|x|no",
                                                       "Photos|%2fsrv%2fphotos||yes|x|no"}));
    EXPECT_EQ(config.users, (std::vector<std::string>{".anonymous|.", "bob|abc."}));
    EXPECT_EQ(config.authorities, std::vector<std::string>{"bob|Music|LDU"});
    EXPECT_EQ(config.ipFilterTable, std::vector<std::string>{"192.168.0.*:allow"});

    ASSERT_TRUE(config.Save());
    const std::string expected = kBom + "bootOnTray=0\n"
                                        "canRootAccess=1\n"
                                        "defaultSkin=\n"
                                        "defaultUrlCodepage=65001\n"
                                        "downloadConnectionLimit=0\n"
                                        "getPublicIP=0\n"
                                        "HostName=files.example.org\n"
                                        "lastAddMountDirectory=/srv/\xEA\xB3\xB5\xEC\x9C\xA0\n"
                                        "perIPdownloadConnectionLimit=3\n"
                                        "port=8081\n"
                                        "preferredLancardAddress=\n"
                                        "showHiddenFiles=0\n"
                                        "singleInstance=1\n"
                                        "skinDevelopersMode=0\n"
                                        "totalDownloadSpeedLimit=-1000\n"
                                        "totalUploadSpeedLimit=70000\n"
                                        "uiLanguageFile=English.wul\n"
                                        "useDownloadConnectionLimit=0\n"
                                        "useHostName=0\n"
                                        "usePerIPDownloadConnectionLimit=0\n"
                                        "useVersionCheck=1\n"
                                        "wasRunning=1\n"
                                        "writeLog=1\n"
                                        "authorities+=bob|Music|LDU\n"
                                        "ipFilterTable+=192.168.0.*:allow\n"
                                        "mounts+=Music|%2fsrv%2fmusic||yes|x|no\n"
                                        "mounts+=Photos|%2fsrv%2fphotos||yes|x|no\n"
                                        "users+=.anonymous|.\n"
                                        "users+=bob|abc.\n";
    EXPECT_EQ(ReadFile(config.GetFilePath()), expected);
}

TEST(QuilloConfigTest, ByteOrderMarkIsSkippedOnlyWhenAllThreeBytesMatch) {
    struct Case {
        std::string bytes;
        unsigned short port;
    };
    const Case cases[] = {
        {kBom + "port=81\n", 81},
        {"port=82\n", 82},
        {"\xEF\nport=83\n", 83},   // EF that starts no mark: the next line is kept whole
        {"\xEF\xBBport=84\n", 80}, // two bytes of a mark: the line's key is not "port"
        {"\xEF\xBB\xBF", 80},
        {"\xEF\xBB", 80},
        {"", 80},
        {kBom + kBom + "port=85\n", 80}, // a second mark belongs to the first key
    };
    for (const Case& c : cases) {
        TempFolder folder;
        WriteFile(folder.File("mount.ini"), c.bytes);
        QuilloConfig config(folder.Path());
        EXPECT_EQ(config.port, c.port) << testing::PrintToString(c.bytes);
    }
}

TEST(QuilloConfigTest, SaveWritesAPrivateFileAndTheDestructorSavesToo) {
    TempFolder folder;
    WriteFile(folder.File("mount.ini"), "port=81\n");
    ASSERT_EQ(chmod(folder.File("mount.ini").c_str(), 0644), 0);
    {
        QuilloConfig config(folder.Path());
        EXPECT_EQ(config.port, 81);
        config.port = 8443;
        config.users = {"bob|."};
    }
    struct stat info {};
    ASSERT_EQ(stat(folder.File("mount.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);
    EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"mount.ini"});

    QuilloConfig reloaded(folder.Path());
    EXPECT_EQ(reloaded.port, 8443);
    EXPECT_EQ(reloaded.users, std::vector<std::string>{"bob|."});
}

TEST(QuilloConfigTest, LineBreakInAShareNameCannotInjectAnAccount) {
    TempFolder folder;
    {
        QuilloConfig config(folder.Path());
        config.mounts = {"evil\nusers+=intruder|.\r\nauthorities+=intruder|evil|LDUA"};
        config.HostName.Set("host\nport=1");
        ASSERT_TRUE(config.Save());
    }
    QuilloConfig reloaded(folder.Path());
    EXPECT_TRUE(reloaded.users.empty());
    EXPECT_TRUE(reloaded.authorities.empty());
    EXPECT_EQ(reloaded.port, 80);
    EXPECT_EQ(reloaded.mounts,
              std::vector<std::string>{"evil users+=intruder|.  authorities+=intruder|evil|LDUA"});
    EXPECT_EQ(reloaded.HostName.Get(), "host port=1");
}

TEST(QuilloConfigTest, SymbolicLinkToTheFileIsKept) {
    TempFolder folder;
    fs::create_directory(folder.File("real"));
    WriteFile(folder.File("real/mount.ini"), "port=81\n");
    fs::create_directory(folder.File("program"));
    fs::create_symlink("../real/mount.ini", folder.File("program/mount.ini"));

    QuilloConfig config(folder.File("program"));
    EXPECT_EQ(config.port, 81);
    config.port = 82;
    ASSERT_TRUE(config.Save());
    EXPECT_TRUE(fs::is_symlink(folder.File("program/mount.ini")));
    EXPECT_NE(ReadFile(folder.File("real/mount.ini")).find("\nport=82\n"), std::string::npos);
    EXPECT_EQ(FolderEntries(folder.File("real")), std::vector<std::string>{"mount.ini"});
}

TEST(QuilloConfigTest, SaveThatCannotWriteKeepsTheOldFile) {
    const std::string old = kBom + "port=81\nusers+=bob|.\n";
    struct Case {
        const char* what;
        fs::perms folderMode;
        fs::perms fileMode;
        rlim_t sizeLimit; // RLIM_INFINITY: no limit
    };
    const fs::perms rx = fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                         fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec;
    const fs::perms readable = fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read;
    const Case cases[] = {
        {"read-only folder", rx, readable, RLIM_INFINITY},
        {"read-only file", fs::perms::all, readable, RLIM_INFINITY},
        {"full disk", fs::perms::all, readable | fs::perms::owner_write | fs::perms::others_write, 256},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        WriteFile(folder.File("mount.ini"), old);
        fs::permissions(folder.File("mount.ini"), c.fileMode);
        fs::permissions(folder.Path(), c.folderMode);
        const int result = RunUnprivilegedChild([&] {
            if (c.sizeLimit != RLIM_INFINITY) {
                signal(SIGXFSZ, SIG_IGN);
                const rlimit limit{c.sizeLimit, c.sizeLimit};
                if (setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                    return 101;
                }
            }
            QuilloConfig* config = new QuilloConfig(folder.Path()); // not deleted: no save at exit
            if (config->port != 81) {
                return 102;
            }
            config->users.assign(200, "a-long-account-element|scrambled-password-text.");
            return config->Save() ? 0 : 1;
        });
        EXPECT_EQ(result, 1) << c.what;
        fs::permissions(folder.Path(), fs::perms::owner_all, fs::perm_options::add);
        const std::string now = ReadFile(folder.File("mount.ini"));
        EXPECT_TRUE(now == old) << c.what << ": mount.ini now has " << now.size() << " bytes";
        EXPECT_EQ(FolderEntries(folder.Path()), std::vector<std::string>{"mount.ini"}) << c.what;
    }
}

TEST(QuilloConfigTest, KilledSaveAlwaysLeavesAWholeFile) {
    TempFolder folder;
    std::string states[2];
    {
        QuilloConfig config(folder.Path());
        for (int i = 0; i < 300; ++i) {
            config.users.push_back("user" + std::to_string(i) + "|password" + std::to_string(i) + ".");
            config.mounts.push_back("share" + std::to_string(i) + "|%2fsrv%2fshare||yes|x|no");
        }
        config.wasRunning = true;
        states[1] = kBom + SavedText(config);
        config.wasRunning = false;
        states[0] = kBom + SavedText(config);
        ASSERT_TRUE(config.Save());
    }
    ASSERT_EQ(ReadFile(folder.File("mount.ini")), states[0]);

    std::mt19937 random(20240501);
    std::uniform_int_distribution<int> pause(0, 4000);
    int whole = 0;
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds; ++round) {
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            QuilloConfig* config = new QuilloConfig(folder.Path()); // killed, never deleted
            for (;;) {
                config->wasRunning = !config->wasRunning;
                config->Save();
            }
        }
        std::this_thread::sleep_for(std::chrono::microseconds(pause(random)));
        kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        const std::string now = ReadFile(folder.File("mount.ini"));
        if (now == states[0] || now == states[1]) {
            ++whole;
        } else {
            ADD_FAILURE() << "round " << round << ": mount.ini has " << now.size() << " bytes";
        }
    }
    EXPECT_EQ(whole, kRounds);
    // The surviving file still loads every setting.
    QuilloConfig reloaded(folder.Path());
    EXPECT_EQ(reloaded.users.size(), 300u);
    EXPECT_EQ(reloaded.mounts.size(), 300u);
}

} // namespace
} // namespace Vuxo
