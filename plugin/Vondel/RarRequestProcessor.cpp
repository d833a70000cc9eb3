#include "plugin/Vondel/RarRequestProcessor.h"

#include "plugin/Vondel/RarStream.h"

namespace Vuxo {

int RarRequestProcessor::Process() {
    try {
        CRARStream stream(*this);
        std::vector<SelectedFile> selection;
        GetSelectedFiles(selection);
        AddSelection(stream, *this, selection);
        const std::string name = MakeDownloadName(selection, GetRequestPath(), "corvanta_RAR_root", ".rar");
        SendArchive(stream, *this, name);
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace Vuxo
