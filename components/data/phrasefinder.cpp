#include "data/phrasefinder.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "data/casefold.h"

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELMOR_FIND_AVX2 1
#else
#define VELMOR_FIND_AVX2 0
#endif

namespace velmor::data {

namespace {

std::vector<unsigned char> Sources(unsigned char folded,
                                   const std::array<unsigned char, 256>& fold) {
    std::vector<unsigned char> bytes;
    for (int b = 0; b < 256; ++b) {
        if (fold[static_cast<size_t>(b)] == folded) bytes.push_back(static_cast<unsigned char>(b));
    }
    return bytes;
}

// The code point at the start of Text (valid UTF-8) and its length.
char32_t Decode(std::string_view text, size_t& length) {
    const auto b = static_cast<unsigned char>(text[0]);
    length = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    length = std::min(length, text.size());
    char32_t c = length == 1 ? b : length == 2 ? (b & 0x1F) : length == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < length; ++k) c = (c << 6) | (static_cast<unsigned char>(text[k]) & 0x3F);
    return c;
}

}  // namespace

const std::array<unsigned char, 256>& PhraseFinder::NoFold() {
    static const std::array<unsigned char, 256> identity = [] {
        std::array<unsigned char, 256> t{};
        for (int i = 0; i < 256; ++i) t[static_cast<size_t>(i)] = static_cast<unsigned char>(i);
        return t;
    }();
    return identity;
}

PhraseFinder::PhraseFinder(std::string needle, const std::array<unsigned char, 256>& fold)
    : needle_(std::move(needle)), fold_(fold) {
    if (needle_.empty()) return;
    SetFilter(Sources(static_cast<unsigned char>(needle_.front()), fold_),
              Sources(static_cast<unsigned char>(needle_.back()), fold_));
}

PhraseFinder PhraseFinder::Utf8(std::string_view phrase) {
    PhraseFinder finder(std::string(), NoFold());
    std::vector<unsigned char> first, last;
    for (size_t at = 0; at < phrase.size();) {
        size_t length = 0;
        const char32_t c = Decode(phrase.substr(at), length);
        Character character{length, {}};
        for (const char32_t v : CaseVariants(c)) {
            std::string bytes;
            AppendUtf8(v, bytes);
            if (bytes.size() == length) character.variants += bytes;
        }
        // A character that is not valid UTF-8 stands for its own bytes.
        if (character.variants.empty()) character.variants.assign(phrase.substr(at, length));
        if (at == 0)
            for (size_t k = 0; k < character.variants.size(); k += length)
                first.push_back(static_cast<unsigned char>(character.variants[k]));
        if (at + length == phrase.size())
            for (size_t k = length; k <= character.variants.size(); k += length)
                last.push_back(static_cast<unsigned char>(character.variants[k - 1]));
        finder.characters_.push_back(std::move(character));
        at += length;
    }
    finder.needle_.assign(phrase);
    if (!finder.needle_.empty()) finder.SetFilter(first, last);
    return finder;
}

void PhraseFinder::SetFilter(const std::vector<unsigned char>& firstBytes,
                             const std::vector<unsigned char>& lastBytes) {
    auto unique = [](std::vector<unsigned char> v) {
        std::sort(v.begin(), v.end());
        v.erase(std::unique(v.begin(), v.end()), v.end());
        return v;
    };
    const std::vector<unsigned char> first = unique(firstBytes), last = unique(lastBytes);
    for (unsigned char b : first) canBegin_[b] = true;
    if (first.empty() || last.empty() || first.size() > 4 || last.size() > 4) return;
    for (size_t k = 0; k < 4; ++k) {
        first_[k] = first[std::min(k, first.size() - 1)];
        last_[k] = last[std::min(k, last.size() - 1)];
    }
#if VELMOR_FIND_AVX2
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx2")) width_ = first.size() <= 2 && last.size() <= 2 ? 2 : 4;
#endif
}

bool PhraseFinder::At(const char* data, size_t position) const {
    const auto* p = reinterpret_cast<const unsigned char*>(data) + position;
    if (characters_.empty()) {
        for (size_t k = 0; k < needle_.size(); ++k) {
            if (fold_[p[k]] != static_cast<unsigned char>(needle_[k])) return false;
        }
        return true;
    }
    for (const Character& c : characters_) {
        bool matched = false;
        for (size_t v = 0; v < c.variants.size() && !matched; v += c.length)
            matched = std::memcmp(p, c.variants.data() + v, c.length) == 0;
        if (!matched) return false;
        p += c.length;
    }
    return true;
}

size_t PhraseFinder::NextScalar(const char* data, size_t length, size_t from) const {
    const size_t m = needle_.size();
    const auto* t = reinterpret_cast<const unsigned char*>(data);
    for (size_t i = from; i + m <= length; ++i) {
        if (canBegin_[t[i]] && At(data, i)) return i;
    }
    return npos;
}

#if VELMOR_FIND_AVX2
namespace {

// From I on, the first 32-byte block holding a candidate: its start, with
// Mask set; or where whole blocks end, with Mask 0. It calls nothing, so
// the compared bytes stay in registers.
template <int Width>
__attribute__((target("avx2"))) size_t CandidateBlock(const char* data, size_t length, size_t i,
                                                      size_t m, const unsigned char* first,
                                                      const unsigned char* last,
                                                      std::uint32_t& mask) {
    const __m256i f0 = _mm256_set1_epi8(static_cast<char>(first[0]));
    const __m256i f1 = _mm256_set1_epi8(static_cast<char>(first[1]));
    const __m256i f2 = _mm256_set1_epi8(static_cast<char>(first[2]));
    const __m256i f3 = _mm256_set1_epi8(static_cast<char>(first[3]));
    const __m256i l0 = _mm256_set1_epi8(static_cast<char>(last[0]));
    const __m256i l1 = _mm256_set1_epi8(static_cast<char>(last[1]));
    const __m256i l2 = _mm256_set1_epi8(static_cast<char>(last[2]));
    const __m256i l3 = _mm256_set1_epi8(static_cast<char>(last[3]));
    for (; i + 32 + m - 1 <= length; i += 32) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + m - 1));
        __m256i begins = _mm256_or_si256(_mm256_cmpeq_epi8(a, f0), _mm256_cmpeq_epi8(a, f1));
        __m256i ends = _mm256_or_si256(_mm256_cmpeq_epi8(b, l0), _mm256_cmpeq_epi8(b, l1));
        if constexpr (Width == 4) {
            begins = _mm256_or_si256(
                begins, _mm256_or_si256(_mm256_cmpeq_epi8(a, f2), _mm256_cmpeq_epi8(a, f3)));
            ends = _mm256_or_si256(
                ends, _mm256_or_si256(_mm256_cmpeq_epi8(b, l2), _mm256_cmpeq_epi8(b, l3)));
        }
        mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_and_si256(begins, ends)));
        if (mask) return i;
    }
    mask = 0;
    return i;
}

}  // namespace

template <int Width>
size_t PhraseFinder::NextAvx2(const char* data, size_t length, size_t from) const {
    const size_t m = needle_.size();
    size_t i = from;
    for (;;) {
        std::uint32_t mask = 0;
        i = CandidateBlock<Width>(data, length, i, m, first_, last_, mask);
        if (!mask) return NextScalar(data, length, i);
        while (mask) {
            size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
            if (At(data, at)) return at;
            mask &= mask - 1;
        }
        i += 32;
    }
}
#else
template <int Width>
size_t PhraseFinder::NextAvx2(const char* data, size_t length, size_t from) const {
    return NextScalar(data, length, from);
}
#endif

size_t PhraseFinder::Next(const char* data, size_t length, size_t from) const {
    if (needle_.empty() || from >= length) return npos;
    if (width_ == 2) return NextAvx2<2>(data, length, from);
    if (width_ == 4) return NextAvx2<4>(data, length, from);
    return NextScalar(data, length, from);
}

}  // namespace velmor::data
