// Tolvane: the selected video files as an ASX 3.0 playlist, titles in code page 949.
#include "core/text/CodePage.h"
#include "core/text/TextEscaping.h"
#include "core/text/Utf8.h"
#include "plugin/sdk/PlaylistRequestProcessor.h"
#include "plugin/sdk/PluginApi.h"
#include "plugin/sdk/PluginInstance.h"

namespace Vuxo {

namespace {

class PlaylistAsxPluginDllInstance : public CorvantaPluginDllInstance {
public:
    const char* GetPlugInName() const override { return "asx 목록으로 스트리밍"; }
    const char* GetPlugInAuthor() const override { return "Qado"; }
    const char* GetPlugInVersion() const override { return "1.1"; }
    int GetPlugInType() const override { return CORVANTA_PLUGIN_TYPE_ACTION; }
};

class PlaylistAsxRequestProcessor : public PlaylistRequestProcessor {
public:
    using PlaylistRequestProcessor::PlaylistRequestProcessor;

protected:
    const char* GetContentType() const override { return "video/x-ms-asf; charset=cp949"; }
    std::string_view GetFirstText() const override { return "<asx version = \"3.0\" >\n"; }
    std::string_view GetLastText() const override { return "</asx>"; }
    std::string_view GetExtensionList() const override {
        return "gom avi divx asx asf wmx wmv wvx wm wmp mpg mpe mpeg dat ifo vob m1v m2v tp dmb mp4 m4v k3g "
               "3gp "
               "skm dmskm lmp4 rm rmvb mkv ogm swf flv mqv mov";
    }
    std::string FormatEntry(const std::string& name, const std::string& url) const override {
        // Escaped before the conversion: code page 949 never uses "&<>\"'" inside a character.
        const std::string title = WideToMultiByte(
            Utf8ToWide(EscapeMarkup(ReplaceControlCharacters(name), Markup::Xml)), kCodePageKorean);
        return "\t<entry>\n\t\t<title>\n" + title + "</title>\n\t\t<ref href = \"" +
               EscapeMarkup(ReplaceControlCharacters(url), Markup::Xml) + "\" />\n\t</entry>\n";
    }
};

} // namespace

std::unique_ptr<CorvantaPluginDllInstance> CreatePluginDllInstance() {
    return std::make_unique<PlaylistAsxPluginDllInstance>();
}

int RunRequestProcessor(void* context) {
    return ServeRequest<PlaylistAsxRequestProcessor>(context);
}

} // namespace Vuxo
