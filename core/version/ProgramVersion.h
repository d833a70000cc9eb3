// The program's version and revision: one home for the numbers that the pages, the window, the crash
// report and the version check show or compare. Constants only.
#pragma once

namespace Vuxo {

constexpr const char* kProgramVersion = "0.943";
constexpr int kProgramRevision = 1095;

} // namespace Vuxo
