// Comparing 64 bytes at a time with the delimiter bytes of a delimited file,
// giving one bit per byte. Shared by the record-end scanner and the
// converter's value splitter. The AVX2 versions carry a target attribute so
// that the rest of the program still runs on any x86-64.
#pragma once

#include <algorithm>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define VELMOR_SCAN_AVX2 1
#define VELMOR_AVX2 __attribute__((target("avx2,popcnt,pclmul")))
#define VELMOR_AVX512 __attribute__((target("avx512f,avx512bw,avx2,popcnt,pclmul")))
#else
#define VELMOR_SCAN_AVX2 0
#endif

namespace velmor::data::masks {

/// The bytes of one 64-byte block equal to up to four needles (-1: none).
struct BlockMasks {
    std::uint64_t r0 = 0, r1 = 0, f = 0, q = 0;
};

/// State carried from one 64-byte block to the next, as single bits.
struct Carry {
    std::uint64_t inQuotes = 0;  ///< all ones inside a qualified field
    std::uint64_t boundary = 0;  ///< last byte ended a field or a record
    std::uint64_t closingQ = 0;  ///< last byte closed a qualified field
    std::uint64_t firstR = 0;    ///< last byte was the first of two record bytes

    static Carry AtRecordStart() {
        Carry c;
        c.boundary = 1;
        return c;
    }
};

/// True when the running CPU has what the AVX2 versions use.
inline bool HaveAvx2() {
#if VELMOR_SCAN_AVX2
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("popcnt") &&
           __builtin_cpu_supports("pclmul");
#else
    return false;
#endif
}

/// All ones when Needle is a byte to look for, none when absent (-1).
inline std::uint64_t Present(int needle) {
    return needle >= 0 ? ~std::uint64_t{0} : 0;
}

/// The instruction sets the scanning loops come in, narrowest first.
enum class VectorSet { Portable, Avx2, Avx512 };

/// The widest set a loop may use in this process: tests lower it to run
/// every copy of a loop on a CPU that has the widest.
inline VectorSet& VectorCap() {
    static VectorSet cap = VectorSet::Avx512;
    return cap;
}

/// The widest set the running CPU has, within VectorCap().
inline VectorSet WidestVectors() {
#if VELMOR_SCAN_AVX2
    __builtin_cpu_init();
    VectorSet have = VectorSet::Portable;
    if (HaveAvx2()) {
        have = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
                   ? VectorSet::Avx512
                   : VectorSet::Avx2;
    }
    return std::min(have, VectorCap());
#else
    return VectorSet::Portable;
#endif
}

namespace portable {

/// Bit i set when an odd number of bits at or below i are set.
inline std::uint64_t PrefixXor(std::uint64_t x) {
    x ^= x << 1;
    x ^= x << 2;
    x ^= x << 4;
    x ^= x << 8;
    x ^= x << 16;
    x ^= x << 32;
    return x;
}

inline int Popcount(std::uint64_t x) {
    return __builtin_popcountll(x);
}

#if defined(__SSE2__)
inline std::uint64_t Eq16x4(const __m128i v[4], __m128i needle) {
    auto m = [&](int k) {
        return static_cast<std::uint64_t>(
            static_cast<std::uint32_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(v[k], needle))));
    };
    return m(0) | (m(1) << 16) | (m(2) << 32) | (m(3) << 48);
}
#endif

inline void Compare(const char* p, int r0, int r1, int f, int q, BlockMasks& m) {
#if defined(__SSE2__)
    __m128i v[4];
    for (int k = 0; k < 4; ++k)
        v[k] = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + 16 * k));
    m.r0 = Eq16x4(v, _mm_set1_epi8(static_cast<char>(r0)));
    m.r1 = r1 >= 0 ? Eq16x4(v, _mm_set1_epi8(static_cast<char>(r1))) : 0;
    m.f = f >= 0 ? Eq16x4(v, _mm_set1_epi8(static_cast<char>(f))) : 0;
    m.q = q >= 0 ? Eq16x4(v, _mm_set1_epi8(static_cast<char>(q))) : 0;
#else
    m = {};
    for (int k = 0; k < 64; ++k) {
        int c = static_cast<unsigned char>(p[k]);
        std::uint64_t bit = std::uint64_t{1} << k;
        if (c == r0) m.r0 |= bit;
        if (c == r1) m.r1 |= bit;
        if (c == f) m.f |= bit;
        if (c == q) m.q |= bit;
    }
#endif
}

}  // namespace portable

#if VELMOR_SCAN_AVX2
namespace avx2 {

[[gnu::always_inline]] VELMOR_AVX2 inline std::uint64_t PrefixXor(std::uint64_t x) {
    __m128i product = _mm_clmulepi64_si128(_mm_set_epi64x(0, static_cast<long long>(x)),
                                           _mm_set1_epi8(static_cast<char>(0xFF)), 0);
    return static_cast<std::uint64_t>(_mm_cvtsi128_si64(product));
}

[[gnu::always_inline]] VELMOR_AVX2 inline int Popcount(std::uint64_t x) {
    return __builtin_popcountll(x);
}

[[gnu::always_inline]] VELMOR_AVX2 inline std::uint64_t Eq32x2(__m256i a, __m256i b,
                                                               __m256i needle) {
    auto lo = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, needle)));
    auto hi = static_cast<std::uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(b, needle)));
    return lo | (static_cast<std::uint64_t>(hi) << 32);
}

[[gnu::always_inline]] VELMOR_AVX2 inline void Compare(const char* p, int r0, int r1, int f, int q,
                                                       BlockMasks& m) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p + 32));
    // Every needle compared and an absent one's mask cleared, without a
    // branch: the masks that clear are the same for every block.
    m.r0 = Eq32x2(a, b, _mm256_set1_epi8(static_cast<char>(r0)));
    m.r1 = Eq32x2(a, b, _mm256_set1_epi8(static_cast<char>(r1))) & Present(r1);
    m.f = Eq32x2(a, b, _mm256_set1_epi8(static_cast<char>(f))) & Present(f);
    m.q = Eq32x2(a, b, _mm256_set1_epi8(static_cast<char>(q))) & Present(q);
}

}  // namespace avx2

// One 64-byte load and one compare per needle, straight into a bit mask.
namespace avx512 {

[[gnu::always_inline]] VELMOR_AVX512 inline std::uint64_t PrefixXor(std::uint64_t x) {
    return avx2::PrefixXor(x);
}

[[gnu::always_inline]] VELMOR_AVX512 inline int Popcount(std::uint64_t x) {
    return __builtin_popcountll(x);
}

[[gnu::always_inline]] VELMOR_AVX512 inline void Compare(const char* p, int r0, int r1, int f,
                                                         int q, BlockMasks& m) {
    const __m512i v = _mm512_loadu_si512(p);
    m.r0 = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(r0)));
    m.r1 = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(r1))) & Present(r1);
    m.f = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(f))) & Present(f);
    m.q = _mm512_cmpeq_epi8_mask(v, _mm512_set1_epi8(static_cast<char>(q))) & Present(q);
}

}  // namespace avx512
#endif

}  // namespace velmor::data::masks
