// Kestrin: the selected audio files as an extended M3U playlist, titles in UTF-8.
#include "core/text/Utf8.h"
#include "plugin/sdk/PlaylistRequestProcessor.h"
#include "plugin/sdk/PluginApi.h"
#include "plugin/sdk/PluginInstance.h"

namespace Vuxo {

namespace {

class PlaylistM3uPluginDllInstance : public CorvantaPluginDllInstance {
public:
    const char* GetPlugInName() const override { return "m3u 목록으로 스트리밍"; }
    const char* GetPlugInAuthor() const override { return "Qado"; }
    const char* GetPlugInVersion() const override { return "1.1"; }
    int GetPlugInType() const override { return CORVANTA_PLUGIN_TYPE_ACTION; }
};

class PlaylistM3uRequestProcessor : public PlaylistRequestProcessor {
public:
    using PlaylistRequestProcessor::PlaylistRequestProcessor;

protected:
    const char* GetContentType() const override { return "audio/x-mpegurl"; }
    std::string_view GetFirstText() const override { return "#EXTM3U\n"; }
    std::string_view GetLastText() const override { return {}; }
    std::string_view GetExtensionList() const override {
        return "mp3 ogg midi mid mod mp2 mpa abs mpega au snd wav aiff aif sid";
    }
    std::string FormatEntry(const std::string& name, const std::string& url) const override {
        // A title or URL holding a line break would split the entry; bytes that are not UTF-8 become
        // U+FFFD so the list stays readable.
        const std::string title = ReplaceControlCharacters(WideToUtf8(Utf8ToWide(name)));
        return "#EXTINF:-1," + title + "\n" + ReplaceControlCharacters(url) + "\n";
    }
};

} // namespace

std::unique_ptr<CorvantaPluginDllInstance> CreatePluginDllInstance() {
    return std::make_unique<PlaylistM3uPluginDllInstance>();
}

int RunRequestProcessor(void* context) {
    return ServeRequest<PlaylistM3uRequestProcessor>(context);
}

} // namespace Vuxo
