#include "service/skins/SkinLoaders.h"

#include "core/file/FindFileIterator.h"
#include "core/i18n/LocalizationStringTable.h"
#include "core/loader/Loaders.h"
#include "core/loader/Unzip.h"
#include "core/log/Trace.h"
#include "core/text/Utf8.h"
#include "service/mounts/LocalPathCheck.h"
#include "service/skins/SkinConfig.h"
#include "service/skins/SkinManager.h"
#include "service/system/BuiltinFileMap.h"

#include <sstream>

namespace Vuxo {

namespace {

// Where a skin's bytes come from: a folder on disk or the members of an archive.
class SkinSource {
public:
    virtual ~SkinSource() = default;
    // Whether a name from the settings stays inside the skin.
    virtual bool Allows(const std::string& name) const { return IsSkinRelativeName(name); }
    virtual bool Read(const std::string& name, ByteBuffer& bytes) = 0;
    // How a file of the skin is named in log texts.
    virtual std::string Describe(const std::string& name) const = 0;
    // The text of the "loading skin" log line.
    virtual std::string LoadingText(const std::string& templateName) const = 0;
};

class FolderSource final : public SkinSource {
public:
    explicit FolderSource(std::string folder) : m_folder(std::move(folder)) {}
    // A link inside the folder must not lead out of it either (an unpacked archive can hold links).
    bool Allows(const std::string& name) const override {
        return IsSkinRelativeName(name) && StaysInsideShare(m_folder, name);
    }
    bool Read(const std::string& name, ByteBuffer& bytes) override {
        return LoadFileData(bytes, m_folder + name);
    }
    std::string Describe(const std::string& name) const override { return m_folder + name; }
    std::string LoadingText(const std::string& templateName) const override {
        return m_folder + templateName;
    }

private:
    std::string m_folder;
};

class ArchiveSource final : public SkinSource {
public:
    ArchiveSource(std::string skinName, Pelk::Unzip& archive)
        : m_skinName(std::move(skinName)), m_archive(archive) {}
    bool Read(const std::string& name, ByteBuffer& bytes) override {
        return LoadZipMember(bytes, name, m_archive);
    }
    std::string Describe(const std::string& name) const override { return m_skinName + "/" + name; }
    std::string LoadingText(const std::string&) const override { return m_skinName; }

private:
    std::string m_skinName;
    Pelk::Unzip& m_archive;
};

void RefuseName(const std::string& described) {
    Trace(LOG_ALERT, Tr("스킨이 자기 폴더 밖의 파일을 가리킴: %s"), described.c_str());
}

bool LoadSkin(const SkinConfig& config, const std::string& name, SkinSource& source, SkinManager& skins,
              BuiltinFileMap& files) {
    if (!source.Allows(config.skin)) {
        if (config.skin.empty()) {
            Trace(LOG_ALERT, Tr("스킨 HTML 로드 실패: %s"), source.Describe(config.skin).c_str());
        } else {
            RefuseName(source.Describe(config.skin));
        }
        return false;
    }
    ByteBuffer bytes;
    if (!source.Read(config.skin, bytes)) {
        Trace(LOG_ALERT, Tr("스킨 HTML 로드 실패: %s"), source.Describe(config.skin).c_str());
        return false;
    }
    Trace(LOG_NOTICE, Tr("스킨 로드.. : %s"), source.LoadingText(config.skin).c_str());
    if (!skins.AddSkin(name, config.mimeType, bytes.data(), bytes.size())) {
        return false;
    }
    for (const std::string& file : config.files) {
        if (!source.Allows(file)) {
            // Refused, not fatal: the skin's other files are still served.
            RefuseName(source.Describe(file));
            continue;
        }
        if (!source.Read(file, bytes)) {
            Trace(LOG_ALERT, Tr("스킨 sysrp-file 로드 실패: %s"), source.Describe(file).c_str());
            break;
        }
        files.Register(name + "/" + file, bytes.data(), bytes.size());
    }
    return true;
}

// The settings of a skin from the bytes of its "setting.ini" (no byte-order-mark handling).
void ReadConfig(SkinConfig& config, const ByteBuffer& bytes) {
    std::istringstream stream(std::string(bytes.begin(), bytes.end()));
    config.Load(stream);
}

// Loads the skin whose folder (ending in "/") holds a readable "setting.ini"; silent without one.
void LoadSkinFolder(const std::string& folder, const std::string& name, SkinManager& skins,
                    BuiltinFileMap& files) {
    ByteBuffer settings;
    if (!LoadFileData(settings, folder + "setting.ini")) {
        return;
    }
    SkinConfig config;
    ReadConfig(config, settings);
    LoadSkinFromDirectory(config, folder, name, skins, files);
}

std::string JoinFolder(const std::string& programFolder, const char* relative) {
    if (programFolder.empty()) {
        return relative;
    }
    return programFolder.back() == '/' ? programFolder + relative : programFolder + "/" + relative;
}

} // namespace

bool IsSkinRelativeName(const std::string& name) {
    return !name.empty() && IsSafeShareRest(name);
}

bool LoadSkinFromDirectory(const SkinConfig& config, const std::string& folder, const std::string& name,
                           SkinManager& skins, BuiltinFileMap& files) {
    FolderSource source(folder);
    return LoadSkin(config, name, source, skins, files);
}

bool LoadSkinFromDirectory(const SkinConfig& config, const std::string& folder, const std::string& name) {
    return LoadSkinFromDirectory(config, folder, name, SkinManager::GetInstance(),
                                 BuiltinFileMap::GetInstance());
}

bool LoadSkinFromZip(const SkinConfig& config, const std::string& name, Pelk::Unzip& archive,
                     SkinManager& skins, BuiltinFileMap& files) {
    ArchiveSource source(name, archive);
    return LoadSkin(config, name, source, skins, files);
}

bool LoadSkinFromZip(const SkinConfig& config, const std::string& name, Pelk::Unzip& archive) {
    return LoadSkinFromZip(config, name, archive, SkinManager::GetInstance(), BuiltinFileMap::GetInstance());
}

bool LoadBuiltinSkin(SkinManager& skins, BuiltinFileMap& files) {
    ByteBuffer zip;
    Pelk::Unzip archive;
    if (LoadResourceData(zip, kBuiltinSkinResourceId, "BINARY")) {
        archive.OpenFromMemory(zip.data(), zip.size());
    }
    ByteBuffer settings;
    LoadZipMember(settings, "setting.ini", archive);
    SkinConfig config;
    ReadConfig(config, settings);
    skins.SetDefaultSkin(kBuiltinSkinName);
    return LoadSkinFromZip(config, kBuiltinSkinName, archive, skins, files);
}

bool LoadBuiltinSkin() {
    return LoadBuiltinSkin(SkinManager::GetInstance(), BuiltinFileMap::GetInstance());
}

void LoadSkins(const std::string& programFolder, const std::string& defaultSkin, SkinManager& skins,
               BuiltinFileMap& files) {
    const std::string skinFolder = JoinFolder(programFolder, "skin");
    for (FindFileIterator entry(skinFolder), end; entry != end; ++entry) {
        // A name that is not UTF-8 could not be addressed by a URL; such folders are passed over.
        if (!entry->IsDirectory() || !IsValidUtf8(entry->name)) {
            continue;
        }
        LoadSkinFolder(skinFolder + "/" + entry->name + "/", entry->name, skins, files);
    }
    LoadSkinFolder(JoinFolder(programFolder, "res/skin/"), kDevelopSkinName, skins, files);

    if (defaultSkin.empty()) {
        return;
    }
    if (skins.HasSkin(defaultSkin)) {
        skins.SetDefaultSkin(defaultSkin);
        Trace(LOG_NOTICE, Tr("%s 스킨을 기본스킨으로 설정"), defaultSkin.c_str());
    } else {
        Trace(LOG_WARNING, Tr("기본스킨으로 지정된 %s 스킨이 없음!"), defaultSkin.c_str());
    }
}

void LoadSkins(const std::string& programFolder, const std::string& defaultSkin) {
    LoadSkins(programFolder, defaultSkin, SkinManager::GetInstance(), BuiltinFileMap::GetInstance());
}

void LoadBuiltinFiles(BuiltinFileMap& files) {
    ByteBuffer bytes;
    if (LoadResourceData(bytes, kRobotsResourceId, "BINARY")) {
        files.Register("robots.txt", bytes.data(), bytes.size());
    }
    bytes.clear();
    if (LoadResourceData(bytes, kFaviconResourceId, "BINARY")) {
        files.Register("favicon.ico", bytes.data(), bytes.size());
    }
}

void LoadBuiltinFiles() {
    LoadBuiltinFiles(BuiltinFileMap::GetInstance());
}

} // namespace Vuxo
