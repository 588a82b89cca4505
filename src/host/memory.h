// Memory the program has freed goes back to the system. The allocator otherwise keeps it for later:
// measured, each window a page opened and closed left the process 0.4 MB larger, for good.
#pragma once

namespace ostrel::host {

void ReturnFreedMemory();

} // namespace ostrel::host
