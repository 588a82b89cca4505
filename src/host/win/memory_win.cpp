#include "host/memory.h"

#include <malloc.h>

namespace ostrel::host {

void ReturnFreedMemory()
{
    _heapmin();
}

} // namespace ostrel::host
