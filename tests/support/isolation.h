// An end-to-end test process with a network and an X display of its own: the stand-in's fixed
// ports, the proxy's port, the window manager and the keyboard focus are then this process's alone,
// and ctest can run several such processes at once.
#pragma once

namespace ostrel::testing {

// Call first in main, while the process has a single thread. Moves the process into a network
// namespace with only loopback (as root, or as a user through a user namespace of its own) and
// starts an Xvfb there for it and its children, which ends with the process. Returns false, having
// said why on stderr, when the process keeps the machine's network or display.
bool IsolateProcess();

} // namespace ostrel::testing
