// Puts text on the desktop clipboard. The core knows no window system: the desktop shell
// installs a provider at start; without one SetClipboardText gives false. The provider is
// kept behind a mutex of this file, so installing and using it may happen on any thread
// (the provider itself decides where the work is done).
#pragma once

#include <functional>
#include <string>

namespace Vuxo {

using ClipboardProvider = std::function<bool(const std::u16string&)>;

// Installs (or, with an empty function, removes) the clipboard provider.
void SetClipboardProvider(ClipboardProvider provider);

// True when the provider took the text.
bool SetClipboardText(const std::u16string& text);

} // namespace Vuxo
