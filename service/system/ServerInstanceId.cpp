#include "service/system/ServerInstanceId.h"

#include <cstdint>
#include <cstdio>
#include <random>

namespace Vuxo {

namespace {

std::string MakeInstanceId() {
    // std::random_device reads the kernel's random source, so two starts never share an id by the
    // accident of a clock value.
    std::random_device source;
    const uint32_t high = source();
    const uint32_t low = source();
    char text[32];
    std::snprintf(text, sizeof text, "%08x%08x", static_cast<unsigned>(high), static_cast<unsigned>(low));
    return text;
}

} // namespace

const std::string& GetServerInstanceId() {
    static const std::string id = MakeInstanceId();
    return id;
}

} // namespace Vuxo
