#include "service/system/IdentificationRequestProcessor.h"

#include "core/http/HttpRequest.h"
#include "service/system/ServerInstanceId.h"

namespace Vuxo {

void IdentificationRequestProcessor::Process(HttpRequest& request) {
    request.BeginResponse(200, "OK");
    request.SendHeader("Server", "Quillo Corvanta");
    request.Write(GetServerInstanceId());
    request.EndResponse();
}

} // namespace Vuxo
