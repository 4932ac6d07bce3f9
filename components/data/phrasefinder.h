// Finding a phrase in raw bytes without regard to case, fast enough to scan
// a whole file: a vector filter on the phrase's first and last bytes, then a
// byte-by-byte check of the few candidates.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>

namespace velmor::data {

class PhraseFinder {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    /// Needle is already folded; Fold maps each raw byte to its folded
    /// Latin-1 form (so EBCDIC bytes are compared as their characters).
    PhraseFinder(std::string needle, const std::array<unsigned char, 256>& fold);

    /// First position at or after From where the phrase starts; npos if none.
    size_t Next(const char* data, size_t length, size_t from) const;
    /// True when the phrase occurs at Position (it must fit).
    bool At(const char* data, size_t position) const;
    size_t Length() const { return needle_.size(); }

private:
    size_t NextScalar(const char* data, size_t length, size_t from) const;
    size_t NextAvx2(const char* data, size_t length, size_t from) const;

    std::string needle_;
    const std::array<unsigned char, 256>& fold_;
    // The raw bytes that fold to the first and to the last byte of the phrase;
    // the vector filter handles up to two of each.
    unsigned char first_[2] = {0, 0};
    unsigned char last_[2] = {0, 0};
    bool vector_ = false;
};

}  // namespace velmor::data
