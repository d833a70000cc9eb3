#include "plugin/Vondel/RarRequestProcessor.h"

#include "plugin/Vondel/RarStream.h"

namespace Vuxo {

int RarRequestProcessor::Process() {
    try {
        CRARStream stream(*this);
        SendSelectionArchive(stream, *this, "corvanta_RAR_root", ".rar");
        return 1;
    } catch (const std::exception&) {
        return 0;
    }
}

} // namespace Vuxo
