#pragma once

namespace ostrel::host {

// A held key gives one release, as the shortcuts (which fire on the release) need. The X server
// repeats a held key as press and release pairs unless told not to; Windows needs nothing.
void MakeHeldKeysReleaseOnce();

} // namespace ostrel::host
