// Finding a phrase in raw bytes without regard to case, fast enough to scan
// a whole file: a vector filter on the bytes a match can begin and end
// with, then a check of the few candidates. Single-byte data folds each
// byte through a table; UTF-8 data compares each character of the phrase
// with its case variants (all as long in UTF-8 as the character itself).
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::data {

class PhraseFinder {
public:
    static constexpr size_t npos = static_cast<size_t>(-1);

    /// Needle is already folded; Fold maps each raw byte to its folded
    /// Latin-1 form (so EBCDIC bytes are compared as their characters).
    PhraseFinder(std::string needle, const std::array<unsigned char, 256>& fold);

    /// Phrase is UTF-8 text, matched in UTF-8 data with simple case folding.
    static PhraseFinder Utf8(std::string_view phrase);

    /// First position at or after From where the phrase starts; npos if none.
    size_t Next(const char* data, size_t length, size_t from) const;
    /// True when the phrase occurs at Position (it must fit).
    bool At(const char* data, size_t position) const;
    size_t Length() const { return needle_.size(); }
    /// The phrase's bytes (folded for single-byte data).
    const std::string& Text() const { return needle_; }

private:
    static const std::array<unsigned char, 256>& NoFold();
    void SetFilter(const std::vector<unsigned char>& first, const std::vector<unsigned char>& last);
    size_t NextScalar(const char* data, size_t length, size_t from) const;
    template <int Width>
    size_t NextAvx2(const char* data, size_t length, size_t from) const;

    std::string needle_;
    const std::array<unsigned char, 256>& fold_;
    // UTF-8 matching: per character of the phrase, its variants' bytes
    // back to back, each variant Length bytes long.
    struct Character {
        size_t length;
        std::string variants;
    };
    std::vector<Character> characters_;
    // The raw bytes a match may begin and end with; the vector filter
    // handles up to four of each (repeated to fill).
    std::array<bool, 256> canBegin_{};
    unsigned char first_[4] = {0, 0, 0, 0};
    unsigned char last_[4] = {0, 0, 0, 0};
    int width_ = 0;  ///< 2 or 4 values per end in the vector filter; 0: none
};

}  // namespace velmor::data
