// What a page that has gone (a window closed, a page left) leaves behind goes back to the system
// once the engine has let go of it.
#pragma once

namespace ostrel::web {

// Returns the memory freed by then a moment from now; calls within that moment make it later.
void ReturnFreedMemorySoon();

} // namespace ostrel::web
