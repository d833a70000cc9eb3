#include "FakeHost.h"

#include <algorithm>
#include <cstring>
#include <unistd.h>

namespace PluginTest {

namespace {

FakeRequest& Req(void* context) {
    return *static_cast<FakeRequest*>(context);
}

const char* Find(const std::map<std::string, std::string>& values, const char* name) {
    const auto it = values.find(name);
    return it == values.end() ? nullptr : it->second.c_str();
}

bool IsSafeRest(const std::string& rest) {
    if (rest.find('\\') != std::string::npos) {
        return false;
    }
    size_t start = 0;
    while (start < rest.size()) {
        size_t end = rest.find('/', start);
        if (end == std::string::npos) {
            end = rest.size();
        }
        const std::string part = rest.substr(start, end - start);
        if (part.empty() || part == "." || part == "..") {
            return false;
        }
        start = end + 1;
    }
    return true;
}

// share/rest -> local; NULL for an unknown share or an unsafe rest.
const char* Resolve(FakeRequest& request, std::string path, std::string& buffer) {
    if (!path.empty() && path.front() == '/') {
        path.erase(0, 1);
    }
    const size_t slash = path.find('/');
    const std::string share = path.substr(0, slash);
    std::string rest = slash == std::string::npos ? "" : path.substr(slash + 1);
    const auto it = request.shares.find(share);
    if (it == request.shares.end()) {
        return nullptr;
    }
    const bool folder = !rest.empty() && rest.back() == '/';
    if (folder) {
        rest.pop_back();
    }
    if (!request.naiveResolver && !IsSafeRest(rest)) {
        return nullptr;
    }
    buffer = it->second;
    if (!rest.empty()) {
        buffer += "/" + rest;
    }
    if (folder || slash == path.size() - 1) {
        buffer += "/";
    }
    return buffer.c_str();
}

const char* GetPluginDirectory(void*) {
    return "/nonexistent/plugin";
}

int GetRequestMethod(void* context) {
    return Req(context).method;
}

const char* GetHttpVersion(void*) {
    return "HTTP/1.1";
}

const char* GetRequestUri(void*) {
    return "/";
}

const char* GetRequestPath(void* context) {
    ++Req(context).requestPathCalls;
    return Req(context).requestPath.c_str();
}

const char* GetRequestLocalPath(void* context) {
    FakeRequest& request = Req(context);
    return Resolve(request, request.requestPath, request.requestLocalPath);
}

const char* GetLocalPath(void* context, const char* path) {
    FakeRequest& request = Req(context);
    request.resolvedPaths.emplace_back(path);
    return Resolve(request, path, request.localPathBuffer);
}

int EnumShares(void* context, CorvantaEnumSharesCallback callback, int user) {
    int calls = 0;
    for (const auto& share : Req(context).shares) {
        ++calls;
        if (callback(share.first.c_str(), user) == 0) {
            break;
        }
    }
    return calls;
}

const char* GetHeader(void* context, const char* name) {
    return Find(Req(context).headers, name);
}

const char* GetQueryParam(void* context, const char* name) {
    return Find(Req(context).query, name);
}

const char* GetPostParam(void* context, const char* name) {
    return Find(Req(context).post, name);
}

const char* GetClientAddress(void*) {
    return "127.0.0.1";
}

const char* GetServerHost(void* context) {
    return Req(context).serverHost.c_str();
}

int GetServerPort(void* context) {
    return Req(context).serverPort;
}

int BeginResponse(void* context, int code, const char* reason) {
    FakeResponse& response = Req(context).response;
    response.begun = true;
    response.code = code;
    response.reason = reason;
    return 1;
}

int SendHeader(void* context, const char* name, const char* value) {
    FakeRequest& request = Req(context);
    request.response.headers.emplace_back(name, value);
    if (request.onHeader) {
        request.onHeader(name, value);
    }
    return 1;
}

void WriteToSink(int descriptor, const char* data, size_t length) {
    static const std::string zeros(1 << 16, '\0');
    while (length > 0) {
        const size_t chunk = std::min(length, zeros.size());
        if (std::memcmp(data, zeros.data(), chunk) == 0) {
            ::lseek(descriptor, static_cast<off_t>(chunk), SEEK_CUR);
        } else if (::write(descriptor, data, chunk) != static_cast<ssize_t>(chunk)) {
            return;
        }
        data += chunk;
        length -= chunk;
    }
}

int SendBody(void* context, const char* data, int length) {
    FakeRequest& request = Req(context);
    FakeResponse& response = request.response;
    ++response.bodyCalls;
    if (response.bodyBytes >= request.failAfterBytes) {
        ++response.callsAfterFailure;
        return 0;
    }
    const auto size = static_cast<uint64_t>(length);
    if (response.bodyBytes + size > request.failAfterBytes) {
        response.bodyBytes = request.failAfterBytes; // the connection broke inside this write
        return 0;
    }
    response.bodyBytes += size;
    if (request.keepBody) {
        response.body.append(data, static_cast<size_t>(length));
    }
    if (request.sinkDescriptor >= 0) {
        WriteToSink(request.sinkDescriptor, data, size);
    }
    return 1;
}

int EndResponse(void* context) {
    Req(context).response.ended = true;
    return 1;
}

void WriteLog(void* context, int level, const char* text) {
    Req(context).logs.emplace_back(level, text);
}

int TranslateText(void*, char* buffer, int size, const char* text) {
    if (size <= 0) {
        return 0;
    }
    if (text == nullptr) {
        buffer[0] = '\0';
        return 0;
    }
    const size_t n = std::min(std::strlen(text), static_cast<size_t>(size - 1));
    std::memcpy(buffer, text, n);
    buffer[n] = '\0';
    return static_cast<int>(n);
}

} // namespace

std::string FakeResponse::Header(const std::string& name) const {
    for (const auto& header : headers) {
        if (header.first == name) {
            return header.second;
        }
    }
    return "";
}

bool FakeResponse::HasHeader(const std::string& name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [&](const auto& header) { return header.first == name; });
}

const HostApi& FakeHostTable() {
    static const HostApi table = {
        GetPluginDirectory,  GetRequestMethod, GetHttpVersion, GetRequestUri, GetRequestPath,
        GetRequestLocalPath, GetLocalPath,     EnumShares,     GetHeader,     GetQueryParam,
        GetPostParam,        GetClientAddress, GetServerHost,  GetServerPort, BeginResponse,
        SendHeader,          SendBody,         EndResponse,    WriteLog,      TranslateText,
    };
    return table;
}

} // namespace PluginTest
