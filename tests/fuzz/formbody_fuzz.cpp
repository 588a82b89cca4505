// The version form body with an arbitrary Citrix Receiver version. Split on '&' and '=', the body is
// always exactly "version" = the program's version and "citrixversion" = the encoded value; the value
// holds nothing but the characters that stay, '+' for a blank and "%XX" (upper-case hex) for any
// other byte, and decoding it gives the version back byte for byte.
#include "fuzzrequire.h"
#include "base/version.h"
#include "navigation/formencode.h"
#include "navigation/portal.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

std::vector<std::string_view> split(std::string_view text, char separator)
{
    std::vector<std::string_view> parts;
    for (std::size_t start = 0;;) {
        const std::size_t cut = text.find(separator, start);
        parts.push_back(text.substr(start, cut == std::string_view::npos ? cut : cut - start));
        if (cut == std::string_view::npos)
            return parts;
        start = cut + 1;
    }
}

int upperHexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool staysAsIs(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '*' ||
           c == '-' || c == '.' || c == '_';
}

// Strict: anything but the three forms above is a violation.
std::string formDecode(std::string_view value)
{
    std::string out;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (staysAsIs(value[i])) {
            out += value[i];
        } else if (value[i] == '+') {
            out += ' ';
        } else {
            REQUIRE(value[i] == '%' && i + 2 < value.size());
            const int high = upperHexDigit(value[i + 1]);
            const int low = upperHexDigit(value[i + 2]);
            REQUIRE(high >= 0 && low >= 0);
            const char byte = static_cast<char>(high << 4 | low);
            REQUIRE(!staysAsIs(byte) && byte != ' '); // each byte in its one form only
            out += byte;
            i += 2;
        }
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace ostrel::navigation;
    const std::string_view version(reinterpret_cast<const char*>(data), size);
    const std::string body = FullVersionFormBody(version);

    const std::vector<std::string_view> fields = split(body, '&');
    REQUIRE(fields.size() == 2);
    const std::vector<std::string_view> first = split(fields[0], '=');
    const std::vector<std::string_view> second = split(fields[1], '=');
    REQUIRE(first.size() == 2 && second.size() == 2);
    REQUIRE(first[0] == "version" && first[1] == ostrel::kApplicationVersion);
    REQUIRE(second[0] == "citrixversion");
    REQUIRE(second[1] == FormEncode(version));
    REQUIRE(formDecode(second[1]) == version);

    REQUIRE(body.compare(0, ShortVersionFormBody().size(), ShortVersionFormBody()) == 0);
    const std::vector<std::uint8_t> post = PostDataArray(body);
    REQUIRE(std::string(post.begin(), post.end()) == body);
    return 0;
}
