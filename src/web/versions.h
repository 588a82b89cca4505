// What the program runs on: its own version, Qt's and the browser engine's, one a line. For
// --version, the debug log and a support call.
#pragma once

#include <QString>

namespace ostrel::web {

QString VersionsText();

} // namespace ostrel::web
