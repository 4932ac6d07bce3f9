#include "data/phrasefinder.h"

#include <cstdint>
#include <vector>

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

}  // namespace

PhraseFinder::PhraseFinder(std::string needle, const std::array<unsigned char, 256>& fold)
    : needle_(std::move(needle)), fold_(fold) {
    if (needle_.empty()) return;
    auto first = Sources(static_cast<unsigned char>(needle_.front()), fold_);
    auto last = Sources(static_cast<unsigned char>(needle_.back()), fold_);
    if (first.empty() || last.empty() || first.size() > 2 || last.size() > 2) return;
    first_[0] = first[0];
    first_[1] = first.back();
    last_[0] = last[0];
    last_[1] = last.back();
#if VELMOR_FIND_AVX2
    __builtin_cpu_init();
    vector_ = __builtin_cpu_supports("avx2");
#endif
}

bool PhraseFinder::At(const char* data, size_t position) const {
    const auto* p = reinterpret_cast<const unsigned char*>(data) + position;
    for (size_t k = 0; k < needle_.size(); ++k) {
        if (fold_[p[k]] != static_cast<unsigned char>(needle_[k])) return false;
    }
    return true;
}

size_t PhraseFinder::NextScalar(const char* data, size_t length, size_t from) const {
    const size_t m = needle_.size();
    const auto* t = reinterpret_cast<const unsigned char*>(data);
    const auto first = static_cast<unsigned char>(needle_[0]);
    for (size_t i = from; i + m <= length; ++i) {
        if (fold_[t[i]] == first && At(data, i)) return i;
    }
    return npos;
}

#if VELMOR_FIND_AVX2
__attribute__((target("avx2"))) size_t PhraseFinder::NextAvx2(const char* data, size_t length,
                                                              size_t from) const {
    const size_t m = needle_.size();
    const __m256i f0 = _mm256_set1_epi8(static_cast<char>(first_[0]));
    const __m256i f1 = _mm256_set1_epi8(static_cast<char>(first_[1]));
    const __m256i l0 = _mm256_set1_epi8(static_cast<char>(last_[0]));
    const __m256i l1 = _mm256_set1_epi8(static_cast<char>(last_[1]));
    size_t i = from;
    while (i + 32 + m - 1 <= length) {
        __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i));
        __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(data + i + m - 1));
        __m256i hit =
            _mm256_and_si256(_mm256_or_si256(_mm256_cmpeq_epi8(a, f0), _mm256_cmpeq_epi8(a, f1)),
                             _mm256_or_si256(_mm256_cmpeq_epi8(b, l0), _mm256_cmpeq_epi8(b, l1)));
        auto mask = static_cast<std::uint32_t>(_mm256_movemask_epi8(hit));
        while (mask) {
            size_t at = i + static_cast<size_t>(__builtin_ctz(mask));
            if (At(data, at)) return at;
            mask &= mask - 1;
        }
        i += 32;
    }
    return NextScalar(data, length, i);
}
#else
size_t PhraseFinder::NextAvx2(const char* data, size_t length, size_t from) const {
    return NextScalar(data, length, from);
}
#endif

size_t PhraseFinder::Next(const char* data, size_t length, size_t from) const {
    if (needle_.empty() || from >= length) return npos;
    return vector_ ? NextAvx2(data, length, from) : NextScalar(data, length, from);
}

}  // namespace velmor::data
