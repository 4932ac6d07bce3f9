// Long values kept as their start, length and hash (convert_fast.h).
#include <bit>
#include <cstring>

#include "data/convert_fast.h"

namespace velmor::data {

void PieceHash::Add(const char* p, std::size_t n) {
    constexpr std::uint64_t k = 0x9E3779B97F4A7C15ULL;
    auto mix = [this](std::uint64_t w) {
        h_ = (h_ ^ w) * k;
        h_ ^= h_ >> 29;
    };
    for (; n > 0 && filled_ != 0; ++p, --n) {
        word_ |= std::uint64_t{static_cast<unsigned char>(*p)} << (8 * filled_);
        if (++filled_ == 8) {
            mix(word_);
            word_ = 0;
            filled_ = 0;
        }
    }
    for (; n >= 8; p += 8, n -= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
        mix(w);
    }
    for (; n > 0; ++p, --n) word_ |= std::uint64_t{static_cast<unsigned char>(*p)} << (8 * filled_++);
}

std::uint64_t PieceHash::Value() const {
    std::uint64_t h = (h_ ^ word_ ^ (std::uint64_t{filled_} << 59)) * 0x9E3779B97F4A7C15ULL;
    h ^= h >> 32;
    return h;
}

std::string_view KeptStart(std::string_view value) {
    if (value.size() <= kKeptValueBytes) return value;
    // A cut inside a character would show its first bytes as other letters.
    std::size_t cut = kKeptValueBytes;
    for (int back = 0; back < 3 && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80; ++back)
        --cut;
    return value.substr(0, cut);
}

}  // namespace velmor::data
