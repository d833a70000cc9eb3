// The program's entry as a function: start-up in order (working folder, built-in resources, configuration,
// single instance, the main frame), the event loop, and the teardown (frame and server, final save).
// Runs on the process's first thread, which is the GUI thread for the whole run.
#pragma once

namespace Vuxo {

// The process exit code: 0 when another running copy was asked to show itself instead, or when the language
// choice was cancelled; 1 after a normal run (the exit command, SIGTERM or SIGINT, the end of the desktop
// session); 0 after the crash notice.
int RunProgram(int& argc, char** argv);

} // namespace Vuxo
