#include "host/keyboard.h"

namespace ostrel::host {

void MakeHeldKeysReleaseOnce()
{
    // Windows sends repeated key presses and one release for a held key.
}

} // namespace ostrel::host
