// The template of the sub-folder list, parsed from the built-in resource 246 ("BINARY"):
//   [
//   #foreach( $Subdirs )
//   "$dirname",
//   #end
//   "/"]
// One process-wide template. LoadSubdirTemplate (run with the other built-in files, and by the first
// list that finds none) replaces it whole; renderers hold their own reference, so a reload never pulls
// a template from under a list being sent. A mutex guards the pointer only.
#pragma once

#include <memory>

namespace Vuxo {

class TextTemplate;

constexpr int kSubdirTemplateResourceId = 246;

// Parses the resource into a new template and makes it the current one. False, the current one kept,
// when the resource cannot be found or does not parse.
bool LoadSubdirTemplate();

// The current template; loaded on first use. Null when none could be loaded.
std::shared_ptr<const TextTemplate> GetSubdirTemplate();

} // namespace Vuxo
