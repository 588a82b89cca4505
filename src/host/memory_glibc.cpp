#include "host/memory.h"

#include <malloc.h>

namespace ostrel::host {

// glibc gives back only the top of its main heap by itself; this releases the free pages of
// every arena.
void ReturnFreedMemory()
{
    malloc_trim(0);
}

} // namespace ostrel::host
