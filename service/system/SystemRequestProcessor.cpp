#include "service/system/SystemRequestProcessor.h"

#include "core/http/HttpRequest.h"
#include "core/text/PathHelpers.h"
#include "service/mime/ContentKinds.h"
#include "service/mime/MimeTypeTable.h"
#include "service/system/BuiltinFileMap.h"

namespace Vuxo {

SystemRequestProcessor::SystemRequestProcessor()
    : SystemRequestProcessor(BuiltinFileMap::GetInstance(), MimeTypeTable::GetInstance()) {}

SystemRequestProcessor::SystemRequestProcessor(const BuiltinFileMap& files, const MimeTypeTable& mimeTypes)
    : m_files(files), m_mimeTypes(mimeTypes) {}

void SystemRequestProcessor::Process(HttpRequest& request) {
    const std::string& key = request.GetPath();
    // The bytes stay alive while they are sent, even if a reload replaces the entry meanwhile.
    const auto bytes = m_files.Find(key);
    if (!bytes) {
        request.BeginResponse(404, "Not found");
        request.Write("404 Not found :(");
        request.EndResponse();
        return;
    }
    const std::string_view type = ProgramFileType(m_mimeTypes, GetFileExtension(key));
    request.SetKeepAlive();
    request.BeginResponse(200, "OK");
    request.SendHeader("Content-Type", type);
    request.SendHeader("Content-Length", std::to_string(bytes->size()));
    if (!bytes->empty()) {
        request.Write(bytes->data(), bytes->size());
    }
    request.EndResponse();
}

void SystemRequestProcessor::RegisterFile(const std::string& key, const char* data, int length) {
    BuiltinFileMap::GetInstance().Register(key, data, length > 0 ? static_cast<std::size_t>(length) : 0);
}

void SystemRequestProcessor::ClearFiles() {
    BuiltinFileMap::GetInstance().Clear();
}

} // namespace Vuxo
