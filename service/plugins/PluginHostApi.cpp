#include "service/plugins/PluginHostApi.h"

#include "core/i18n/LocalizationStringTable.h"
#include "service/plugins/PluginRequestProcessor.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace Vuxo {

namespace {

// Runs `call` on the processor behind the context; `fallback` for a null context or anything thrown.
template <typename Result, typename Call> Result Guarded(void* context, Result fallback, Call call) noexcept {
    if (context == nullptr) {
        return fallback;
    }
    try {
        return call(*static_cast<PluginRequestProcessor*>(context));
    } catch (...) {
        return fallback;
    }
}

const char* SlotGetPluginDirectory(void* context) {
    return Guarded<const char*>(context, nullptr,
                                [](PluginRequestProcessor& p) { return p.GetPluginDirectory(); });
}

int SlotGetRequestMethod(void* context) {
    return Guarded<int>(context, CORVANTA_METHOD_OTHER,
                        [](PluginRequestProcessor& p) { return p.GetRequestMethod(); });
}

const char* SlotGetHttpVersion(void* context) {
    return Guarded<const char*>(context, nullptr,
                                [](PluginRequestProcessor& p) { return p.GetHttpVersion(); });
}

const char* SlotGetRequestUri(void* context) {
    return Guarded<const char*>(context, nullptr,
                                [](PluginRequestProcessor& p) { return p.GetRequestUri(); });
}

const char* SlotGetRequestPath(void* context) {
    return Guarded<const char*>(context, nullptr,
                                [](PluginRequestProcessor& p) { return p.GetRequestPath(); });
}

const char* SlotGetRequestLocalPath(void* context) {
    return Guarded<const char*>(context, nullptr,
                                [](PluginRequestProcessor& p) { return p.GetRequestLocalPath(); });
}

const char* SlotGetLocalPath(void* context, const char* virtualPath) {
    return Guarded<const char*>(
        context, nullptr, [virtualPath](PluginRequestProcessor& p) { return p.GetLocalPath(virtualPath); });
}

int SlotEnumShares(void* context, CorvantaEnumSharesCallback callback, int user) {
    return Guarded(context, 0,
                   [callback, user](PluginRequestProcessor& p) { return p.EnumShares(callback, user); });
}

const char* SlotGetHeader(void* context, const char* name) {
    return Guarded<const char*>(context, nullptr,
                                [name](PluginRequestProcessor& p) { return p.GetHeader(name); });
}

const char* SlotGetQueryParam(void* context, const char* name) {
    return Guarded<const char*>(context, nullptr,
                                [name](PluginRequestProcessor& p) { return p.GetQueryParam(name); });
}

const char* SlotGetPostParam(void* context, const char* name) {
    return Guarded<const char*>(context, nullptr,
                                [name](PluginRequestProcessor& p) { return p.GetPostParam(name); });
}

const char* SlotGetClientAddress(void* context) {
    return Guarded<const char*>(context, nullptr,
                                [](PluginRequestProcessor& p) { return p.GetClientAddress(); });
}

const char* SlotGetServerHost(void* context) {
    return Guarded<const char*>(context, nullptr,
                                [](PluginRequestProcessor& p) { return p.GetServerHost(); });
}

int SlotGetServerPort(void* context) {
    return Guarded(context, 0, [](PluginRequestProcessor& p) { return p.GetServerPort(); });
}

int SlotBeginResponse(void* context, int code, const char* reason) {
    return Guarded(context, 0,
                   [code, reason](PluginRequestProcessor& p) { return p.BeginResponse(code, reason); });
}

int SlotSendHeader(void* context, const char* name, const char* value) {
    return Guarded(context, 0,
                   [name, value](PluginRequestProcessor& p) { return p.SendHeader(name, value); });
}

int SlotSendBody(void* context, const char* data, int length) {
    return Guarded(context, 0,
                   [data, length](PluginRequestProcessor& p) { return p.SendBody(data, length); });
}

int SlotEndResponse(void* context) {
    return Guarded(context, 0, [](PluginRequestProcessor& p) { return p.EndResponse(); });
}

void SlotWriteLog(void* context, int level, const char* text) {
    Guarded(context, 0, [level, text](PluginRequestProcessor& p) {
        p.WriteLog(level, text);
        return 0;
    });
}

int SlotTranslateText(void* /*context*/, char* buffer, int size, const char* text) {
    try {
        return TranslateTextInto(buffer, size, text);
    } catch (...) {
        if (buffer != nullptr && size > 0) {
            buffer[0] = '\0';
        }
        return 0;
    }
}

// Number of bytes of `text` (at most `limit`) that end on a whole UTF-8 character.
size_t WholeCharacters(const std::string& text, size_t limit) {
    if (text.size() <= limit) {
        return text.size();
    }
    size_t end = limit;
    // Step back over continuation bytes to the start of the character that does not fit.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
        --end;
    }
    return end;
}

} // namespace

const HostApi* GetHostApi() {
    static const HostApi table = {
        &SlotGetPluginDirectory, &SlotGetRequestMethod,    &SlotGetHttpVersion, &SlotGetRequestUri,
        &SlotGetRequestPath,     &SlotGetRequestLocalPath, &SlotGetLocalPath,   &SlotEnumShares,
        &SlotGetHeader,          &SlotGetQueryParam,       &SlotGetPostParam,   &SlotGetClientAddress,
        &SlotGetServerHost,      &SlotGetServerPort,       &SlotBeginResponse,  &SlotSendHeader,
        &SlotSendBody,           &SlotEndResponse,         &SlotWriteLog,       &SlotTranslateText,
    };
    return &table;
}

void SplitHostPort(std::string& host, uint16_t& port, const std::string& value, uint16_t defaultPort) {
    const size_t colon = value.find(':');
    if (colon == std::string::npos) {
        host = value;
        port = defaultPort;
        return;
    }
    host = value.substr(0, colon);
    const std::string rest = value.substr(colon + 1);
    const char* begin = rest.c_str();
    char* end = nullptr;
    errno = 0;
    const long number = std::strtol(begin, &end, 10);
    const bool hasDigits = end != begin;
    port = hasDigits && errno == 0 && number >= 0 && number <= 65535 ? static_cast<uint16_t>(number)
                                                                     : defaultPort;
}

int TranslateTextInto(char* buffer, int size, const char* text) {
    if (buffer == nullptr || size <= 0) {
        return 0;
    }
    if (text == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    const std::string translated = LocalizationStringTable::GetInstance().GetString(text);
    const size_t count = WholeCharacters(translated, static_cast<size_t>(size) - 1);
    std::memcpy(buffer, translated.data(), count);
    buffer[count] = '\0';
    return static_cast<int>(count);
}

} // namespace Vuxo
