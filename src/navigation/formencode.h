#pragma once

#include <string>
#include <string_view>

namespace ostrel::navigation {

// Encodes a value for a form body or a URL query (application/x-www-form-urlencoded): letters,
// digits and "*-._" stay, a blank becomes "+", every other byte "%XX". A version made of digits and
// dots comes out unchanged; a stored value holding "&" or "=" cannot add fields of its own.
std::string FormEncode(std::string_view value);

} // namespace ostrel::navigation
