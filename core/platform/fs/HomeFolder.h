// The current user's home folder, as the environment or else the password database names it.
// Stateless; safe on any thread that does not change the environment at the same time.
#pragma once

#include <string>

namespace Vuxo {

// $HOME when it is set and not empty, else the home folder the password database gives the real user;
// "" when neither names one.
std::string GetHomeFolder();

} // namespace Vuxo
