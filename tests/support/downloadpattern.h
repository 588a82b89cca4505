// The stand-in portal's downloads of known bytes: where each is, the name it comes under, its size
// and the rule for its bytes. The stand-in serves them by it, and a test that saved one compares
// the file with the same rule, without a copy of it.
#pragma once

#include <cstddef>

namespace standin::downloads {

// Byte i of every such file is (i * 31 + 7) % 251. 251 is prime, so the pattern does not repeat on a
// power-of-two boundary and a misplaced piece shows up.
inline constexpr std::size_t kPatternPeriod = 251;

constexpr char PatternByte(std::size_t i)
{
    return static_cast<char>((i * 31 + 7) % kPatternPeriod);
}

// The first `size` bytes of the pattern, in any byte string that can be made of a size and a filler
// (std::string, QByteArray).
template <class Bytes> Bytes PatternBytes(std::size_t size)
{
    Bytes bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = PatternByte(i);
    return bytes;
}

struct PatternFile {
    const char* path; // on every role's origin, and below every role's path
    const char* name; // the file name its Content-Disposition gives
    std::size_t size;
};

// With a Content-Length.
inline constexpr PatternFile kPolicyPdf{"/files/policy.pdf", "policy.pdf", 400u << 10};
// Chunked, without a Content-Length: the size is only known at the end.
inline constexpr PatternFile kUnknownBin{"/files/unknown.bin", "unknown.bin", 100u << 10};
// Every other request (the first, the third, ...) loses its connection after kBrokenBinCut bytes of
// the body; the others get the whole file, or the Range asked for.
inline constexpr PatternFile kBrokenBin{"/files/broken.bin", "broken.bin", 400u << 10};
inline constexpr std::size_t kBrokenBinCut = 100u << 10;
// In even pieces over the milliseconds its query's ms asks for.
inline constexpr PatternFile kSlowBin{"/files/slow.bin", "slow.bin", 1u << 20};

} // namespace standin::downloads
