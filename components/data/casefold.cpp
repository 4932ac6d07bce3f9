#include "data/casefold.h"

#include <algorithm>
#include <iterator>

namespace velmor::data {

namespace {

// Code points First, First + Step, ... (Count of them) fold to themselves
// plus Delta.
struct FoldRun {
    char32_t first;
    int count;
    int step;
    int delta;
};

constexpr FoldRun kRuns[] = {
#include "data/casefold.inc"
};

}  // namespace

char32_t FoldCase(char32_t c) {
    if (c < 0x80) return c >= 'A' && c <= 'Z' ? c + 32 : c;
    // The last run starting at or before C.
    const auto* run = std::upper_bound(std::begin(kRuns), std::end(kRuns), c,
                                       [](char32_t v, const FoldRun& r) { return v < r.first; });
    if (run == std::begin(kRuns)) return c;
    --run;
    const char32_t offset = c - run->first;
    if (offset % static_cast<char32_t>(run->step) != 0 ||
        offset / static_cast<char32_t>(run->step) >= static_cast<char32_t>(run->count))
        return c;
    return static_cast<char32_t>(static_cast<int>(c) + run->delta);
}

std::vector<char32_t> CaseVariants(char32_t c) {
    const char32_t folded = FoldCase(c);
    std::vector<char32_t> variants{folded};
    if (folded < 0x80) {
        if (folded >= 'a' && folded <= 'z') variants.push_back(folded - 32);
    }
    for (const FoldRun& r : kRuns) {
        for (int i = 0; i < r.count; ++i) {
            const auto from = static_cast<char32_t>(static_cast<int>(r.first) + i * r.step);
            if (static_cast<char32_t>(static_cast<int>(from) + r.delta) == folded)
                variants.push_back(from);
        }
    }
    std::sort(variants.begin(), variants.end());
    variants.erase(std::unique(variants.begin(), variants.end()), variants.end());
    return variants;
}

void AppendUtf8(char32_t c, std::string& out) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace velmor::data
