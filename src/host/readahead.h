// Files the start is about to read are read into the system's cache beforehand, in the background.
#pragma once

#include <string>
#include <vector>

namespace ostrel::host {

// Returns at once; a file that cannot be opened is passed over.
void ReadAhead(std::vector<std::string> files);

} // namespace ostrel::host
