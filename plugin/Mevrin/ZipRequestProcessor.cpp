#include "plugin/Mevrin/ZipRequestProcessor.h"

#include "plugin/Mevrin/ZipStream.h"

namespace Vuxo {

int ZipRequestProcessor::Process() {
    try {
        CZipStream stream(*this);
        SendSelectionArchive(stream, *this, "corvanta_zipped_root", ".zip");
        return 1;
    } catch (const zs_exception& e) {
        // Only the listing throws this, before the response has begun, so the page is a whole response.
        BeginResponse(200, "OK");
        SendHeader("Content-type", "text/html");
        WriteText("<h1>Error:</h1>");
        WriteText(e.what());
        EndResponse();
        return 0;
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace Vuxo
