// Ending a process of the program's own at once: the renderer of a page whose script never ends.
#pragma once

namespace ostrel::host {

// Ends the process; false when there was none to end.
bool EndProcess(long long pid);

} // namespace ostrel::host
