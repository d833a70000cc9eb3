// Helpers of the upload end-to-end tests: multipart bodies built byte by byte, raw upload requests,
// clients that connect from another loopback address, and a bounded wait for something the server does
// on its own thread.
#pragma once

#include "fixtures/support/TestHttpClient.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Vuxo::Fixtures {

struct FormPart {
    std::string name;
    std::optional<std::string> fileName; // a file field when set
    std::string content;
};

// The body of a multipart/form-data post with the given boundary, closing delimiter included.
std::string MultipartBody(const std::string& boundary, const std::vector<FormPart>& parts);

// The header block of a multipart POST to `target`; Content-Length is the body's size unless given.
std::string UploadHead(const std::string& target, const std::string& boundary, int64_t contentLength,
                       const std::string& extraHeaders = "");

// One upload on a fresh connection: the answer (its body is the processor's message).
HttpResponse PostForm(uint16_t port, const std::string& target, const std::vector<FormPart>& parts,
                      const std::string& extraHeaders = "");
// The usual form of the upload window: one file in the field "uploadfile".
HttpResponse Upload(uint16_t port, const std::string& target, const std::string& fileName,
                    const std::string& content, const std::string& extraHeaders = "");

// Bytes that look like a multipart body from the inside: line ends, NUL, dashes, boundary-like runs and
// every byte value, in a pattern that repeats with a period that is not a power of two.
std::string AwkwardBytes(size_t size, const std::string& boundary);

// Replaces the client's connection with one made from `sourceAddress` (e.g. "127.0.0.2") to 127.0.0.1.
bool ConnectFrom(TestHttpClient& client, const char* sourceAddress, uint16_t port);
// A GET on a fresh connection from `sourceAddress`.
HttpResponse GetFrom(const char* sourceAddress, uint16_t port, const std::string& target,
                     const std::string& extraHeaders = "");

// Polls until the condition holds or a generous limit passes; the condition's last answer.
bool WaitUntil(const std::function<bool()>& condition, std::chrono::seconds limit = std::chrono::seconds(30));

// The file names in a folder, sorted.
std::vector<std::string> FolderNames(const std::string& folder);
// True when a temporary upload file ("uploading_...CORVANTA") is in the folder.
bool HasTemporaryFile(const std::string& folder);

} // namespace Vuxo::Fixtures
