#include "core/http/HttpRequestHandler.h"

namespace Vuxo {

NullHttpRequestHandler& NullHttpRequestHandler::GetInstance() {
    static NullHttpRequestHandler instance;
    return instance;
}

} // namespace Vuxo
