#include "UploadSupport.h"

#include <algorithm>
#include <arpa/inet.h>
#include <filesystem>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace Vuxo::Fixtures {

std::string MultipartBody(const std::string& boundary, const std::vector<FormPart>& parts) {
    std::string body;
    for (const FormPart& part : parts) {
        body += "--" + boundary + "\r\nContent-Disposition: form-data; name=\"" + part.name + "\"";
        if (part.fileName) {
            body += "; filename=\"" + *part.fileName + "\"\r\nContent-Type: application/octet-stream";
        }
        body += "\r\n\r\n" + part.content + "\r\n";
    }
    return body + "--" + boundary + "--\r\n";
}

std::string UploadHead(const std::string& target, const std::string& boundary, int64_t contentLength,
                       const std::string& extraHeaders) {
    return "POST " + target +
           " HTTP/1.1\r\nHost: 127.0.0.1\r\nContent-Type: multipart/form-data; boundary=" + boundary +
           "\r\nContent-Length: " + std::to_string(contentLength) + "\r\n" + extraHeaders + "\r\n";
}

HttpResponse PostForm(uint16_t port, const std::string& target, const std::vector<FormPart>& parts,
                      const std::string& extraHeaders) {
    const std::string boundary = "----CorvantaTestBoundary7MA4YWxk";
    const std::string body = MultipartBody(boundary, parts);
    TestHttpClient client(port);
    client.Send(UploadHead(target, boundary, static_cast<int64_t>(body.size()), extraHeaders) + body);
    return client.ReadResponse();
}

HttpResponse Upload(uint16_t port, const std::string& target, const std::string& fileName,
                    const std::string& content, const std::string& extraHeaders) {
    return PostForm(port, target, {{"uploadfile", fileName, content}}, extraHeaders);
}

std::string AwkwardBytes(size_t size, const std::string& boundary) {
    const std::string pieces[] = {"\r\n",
                                  "--",
                                  "\r\n--",
                                  "--" + boundary.substr(0, boundary.size() - 1),
                                  "\r\n--" + boundary.substr(0, boundary.size() - 1),
                                  std::string(3, '\0'),
                                  "\r\n\r\n",
                                  "-",
                                  "\n--" + boundary,
                                  "\r--" + boundary};
    std::string bytes;
    bytes.reserve(size);
    unsigned value = 0;
    for (size_t i = 0; bytes.size() < size; ++i) {
        if (i % 7 == 3) {
            bytes += pieces[(i / 7) % std::size(pieces)];
        } else {
            bytes.push_back(static_cast<char>(value++ % 256));
        }
    }
    bytes.resize(size);
    // Everything may look like the delimiter but the delimiter itself, which no client sends inside a part.
    const std::string delimiter = "\r\n--" + boundary;
    for (size_t at = bytes.find(delimiter); at != std::string::npos; at = bytes.find(delimiter, at)) {
        bytes[at + delimiter.size() - 1] ^= 0x20;
    }
    return bytes;
}

bool ConnectFrom(TestHttpClient& client, const char* sourceAddress, uint16_t port) {
    const int descriptor = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (descriptor < 0) {
        return false;
    }
    sockaddr_in source{};
    source.sin_family = AF_INET;
    ::inet_pton(AF_INET, sourceAddress, &source.sin_addr);
    sockaddr_in target{};
    target.sin_family = AF_INET;
    target.sin_port = htons(port);
    ::inet_pton(AF_INET, "127.0.0.1", &target.sin_addr);
    if (::bind(descriptor, reinterpret_cast<sockaddr*>(&source), sizeof source) != 0 ||
        ::connect(descriptor, reinterpret_cast<sockaddr*>(&target), sizeof target) != 0) {
        ::close(descriptor);
        return false;
    }
    client.Socket().Attach(descriptor);
    client.Socket().SetTimeouts(30000, 30000);
    return true;
}

HttpResponse GetFrom(const char* sourceAddress, uint16_t port, const std::string& target,
                     const std::string& extraHeaders) {
    TestHttpClient client(port);
    if (!ConnectFrom(client, sourceAddress, port)) {
        return {};
    }
    client.SendGet(target, extraHeaders);
    return client.ReadResponse();
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds limit) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) {
            return condition();
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

std::vector<std::string> FolderNames(const std::string& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool HasTemporaryFile(const std::string& folder) {
    const std::vector<std::string> names = FolderNames(folder);
    return std::any_of(names.begin(), names.end(), [](const std::string& name) {
        return name.rfind("uploading_", 0) == 0 && name.find(".CORVANTA") != std::string::npos;
    });
}

} // namespace Vuxo::Fixtures
