// The loaders that fill the skin manager and the built-in file map at start and on every reload: the
// built-in skin ".default" (a ZIP archive built into the program), the skin folders under "skin/", the
// development skin "develop" from "res/skin/", and the built-in files "robots.txt" and "favicon.ico".
// Free functions without state of their own; they log through Trace with translated texts (LOG_ALERT
// entries also reach the user as a message). The targets default to the program's own manager and map.
//
// A skin may only publish files inside itself: a template or listed file named by an absolute path,
// through "..", or (in a folder) through a link that leads out of the folder is refused and logged, so a
// downloaded skin cannot serve files from elsewhere. A refused file is skipped; the skin's other files load.
#pragma once

#include <string>

namespace Pelk {
class Unzip;
} // namespace Pelk

namespace Vuxo {

class BuiltinFileMap;
class SkinConfig;
class SkinManager;

// Resource ids (type "BINARY") of the built-in skin and files.
constexpr int kBuiltinSkinResourceId = 216;
constexpr int kFaviconResourceId = 218;
constexpr int kRobotsResourceId = 219;

// The built-in skin's name, and the name under which "res/skin/" is served.
constexpr const char* kBuiltinSkinName = ".default";
constexpr const char* kDevelopSkinName = "develop";

// True when a name from a skin's settings stays inside the skin: not empty, not absolute, no ".."
// component (with "/" or "\" as separator), no NUL.
bool IsSkinRelativeName(const std::string& name);

// Registers the skin from a folder (its path ends with "/"): the template, then each listed file under
// name + "/" + file, in order, stopping at the first file that cannot be read. False when the template
// could not be loaded or parsed (nothing registered).
bool LoadSkinFromDirectory(const SkinConfig& config, const std::string& folder, const std::string& name,
                           SkinManager& skins, BuiltinFileMap& files);
bool LoadSkinFromDirectory(const SkinConfig& config, const std::string& folder, const std::string& name);

// The same from the members of an open archive.
bool LoadSkinFromZip(const SkinConfig& config, const std::string& name, Pelk::Unzip& archive,
                     SkinManager& skins, BuiltinFileMap& files);
bool LoadSkinFromZip(const SkinConfig& config, const std::string& name, Pelk::Unzip& archive);

// Makes ".default" the default skin and loads it from resource 216. False when the resource or its
// template cannot be read.
bool LoadBuiltinSkin(SkinManager& skins, BuiltinFileMap& files);
bool LoadBuiltinSkin();

// Loads every folder of programFolder/skin/ that holds a readable "setting.ini", then
// programFolder/res/skin/ as "develop" when its "setting.ini" exists; then makes `defaultSkin` the
// default when it is registered (logged either way; an empty name changes nothing).
void LoadSkins(const std::string& programFolder, const std::string& defaultSkin, SkinManager& skins,
               BuiltinFileMap& files);
void LoadSkins(const std::string& programFolder, const std::string& defaultSkin);

// Registers resource 219 as "robots.txt" and resource 218 as "favicon.ico".
void LoadBuiltinFiles(BuiltinFileMap& files);
void LoadBuiltinFiles();

} // namespace Vuxo
