#include "datatools/codetable.h"

#include <algorithm>
#include <cstring>

namespace velmor::datatools {

namespace {

constexpr std::size_t kFirstSlots = 64;

// Eight bytes at a time, each word mixed by a multiply; codes are usually
// short, so this is a handful of instructions.
inline std::uint64_t Hash(std::string_view text) {
    constexpr std::uint64_t k = 0x9E3779B97F4A7C15ULL;
    std::uint64_t h = text.size() * k;
    const char* p = text.data();
    std::size_t n = text.size();
    while (n >= 8) {
        std::uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ w) * k;
        h ^= h >> 29;
        p += 8;
        n -= 8;
    }
    if (n > 0) {
        std::uint64_t w = 0;
        std::memcpy(&w, p, n);
        h = (h ^ w) * k;
    }
    h ^= h >> 32;
    h *= k;
    return h ^ (h >> 29);
}

}  // namespace

CodeTable::CodeTable() {
    Clear();
}

void CodeTable::Clear() {
    slots_.assign(kFirstSlots, Slot{});
    mask_ = kFirstSlots - 1;
    entries_.clear();
    total_ = 0;
}

void CodeTable::Add(std::string_view code, std::int64_t count) {
    const std::uint64_t h = Hash(code);
    total_ += count;
    for (std::uint64_t i = h & mask_;; i = (i + 1) & mask_) {
        Slot& slot = slots_[i];
        if (slot.entry == 0) {
            entries_.push_back({std::string(code), count});
            slot = {h, static_cast<std::uint32_t>(entries_.size())};
            if (entries_.size() * 2 > slots_.size()) Grow();
            return;
        }
        if (slot.hash == h && entries_[slot.entry - 1].code == code) {
            entries_[slot.entry - 1].count += count;
            return;
        }
    }
}

void CodeTable::Grow() {
    std::vector<Slot> old = std::move(slots_);
    slots_.assign(old.size() * 2, Slot{});
    mask_ = slots_.size() - 1;
    for (const Slot& s : old) {
        if (s.entry == 0) continue;
        std::uint64_t i = s.hash & mask_;
        while (slots_[i].entry != 0) i = (i + 1) & mask_;
        slots_[i] = s;
    }
}

void CodeTable::Merge(const CodeTable& other) {
    for (const CodeCount& e : other.entries_) Add(e.code, e.count);
}

std::vector<CodeCount> CodeTable::Sorted() const {
    std::vector<CodeCount> sorted = entries_;
    std::sort(sorted.begin(), sorted.end(),
              [](const CodeCount& a, const CodeCount& b) { return a.code < b.code; });
    return sorted;
}

}  // namespace velmor::datatools
