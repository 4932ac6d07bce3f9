#include "datatools/codetable.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace velmor::datatools {

namespace {

// Roomy enough that a few codes seldom share a first slot (a shared one
// costs every later code of the two a probe), and still in the first-level cache.
constexpr std::size_t kFirstSlots = 1024;

constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15ULL;

// A code of at most eight bytes as one word, without a byte-by-byte copy
// (whose narrow stores would stall the wide load after them): overlapping
// loads of eight, four or one. For one length, different codes give
// different words.
inline std::uint64_t ShortWord(const char* p, std::size_t n) {
    std::uint64_t w = 0;
    if (n == 8) {
        std::memcpy(&w, p, 8);
    } else if (n >= 4) {
        std::uint32_t a, b;
        std::memcpy(&a, p, 4);
        std::memcpy(&b, p + n - 4, 4);
        w = (std::uint64_t{a} << 32) | b;
    } else if (n > 0) {
        w = (std::uint64_t{static_cast<unsigned char>(p[0])} << 16) |
            (std::uint64_t{static_cast<unsigned char>(p[n / 2])} << 8) |
            static_cast<unsigned char>(p[n - 1]);
    }
    return w;
}

// Codes of up to eight bytes, the usual ones, hash by a mix that loses
// nothing (each step can be undone), so a slot of the same length and hash
// holds the same code and no bytes need comparing. Longer ones take eight
// bytes at a time, each word mixed by a multiply.
inline std::uint64_t Hash(std::string_view text) {
    const std::size_t size = text.size();
    std::uint64_t h;
    if (size <= 8) {
        h = ShortWord(text.data(), size) ^ (std::uint64_t{size} << 59);
    } else {
        h = (size + 1) * kMultiplier;
        const char* p = text.data();
        std::size_t n = size;
        for (; n >= 8; p += 8, n -= 8) {
            std::uint64_t w;
            std::memcpy(&w, p, 8);
            h = (h ^ w) * kMultiplier;
            h ^= h >> 29;
        }
        if (n > 0) {
            std::uint64_t w;
            std::memcpy(&w, text.data() + size - 8, 8);  // the last eight bytes again
            h ^= w;
        }
    }
    h *= kMultiplier;
    h ^= h >> 32;
    h *= 0xD6E8FEB86659FD93ULL;
    h ^= h >> 32;
    return h;
}

// A and B hold the same N bytes (N at most 12): overlapping loads as in
// Hash, since a library call per lookup costs more than the lookup itself.
inline bool SameShort(const char* a, const char* b, std::size_t n) {
    if (n >= 8) {
        std::uint64_t a0, b0, a1, b1;
        std::memcpy(&a0, a, 8);
        std::memcpy(&b0, b, 8);
        std::memcpy(&a1, a + n - 8, 8);
        std::memcpy(&b1, b + n - 8, 8);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    if (n >= 4) {
        std::uint32_t a0, b0, a1, b1;
        std::memcpy(&a0, a, 4);
        std::memcpy(&b0, b, 4);
        std::memcpy(&a1, a + n - 4, 4);
        std::memcpy(&b1, b + n - 4, 4);
        return ((a0 ^ b0) | (a1 ^ b1)) == 0;
    }
    return n == 0 || (a[0] == b[0] && a[n / 2] == b[n / 2] && a[n - 1] == b[n - 1]);
}

}  // namespace

void CodeTable::SlotMemory::operator()(Slot* p) const {
    std::free(p);
}

CodeTable::Slots CodeTable::NewSlots(std::size_t count) {
    constexpr std::size_t kHugePage = std::size_t{2} << 20;
    const std::size_t bytes = count * sizeof(Slot);
    const std::size_t alignment = bytes >= kHugePage ? kHugePage : 64;
    void* p = nullptr;
    if (::posix_memalign(&p, alignment, bytes) != 0) throw std::bad_alloc();
    if (alignment == kHugePage) ::madvise(p, bytes, MADV_HUGEPAGE);
    std::memset(p, 0, bytes);
    return Slots(static_cast<Slot*>(p));
}

CodeTable::CodeTable() {
    Clear();
}

void CodeTable::Clear() {
    slots_ = NewSlots(kFirstSlots);
    capacity_ = kFirstSlots;
    mask_ = kFirstSlots - 1;
    arena_.clear();
    long_.clear();
    size_ = 0;
    total_ = 0;
}

std::string_view CodeTable::KeyOf(const Slot& slot) const {
    if (slot.length <= kInline) return {slot.text, slot.length};
    std::uint64_t offset = 0;
    std::memcpy(&offset, slot.text, sizeof offset);
    return {arena_.data() + offset, slot.length};
}

[[gnu::always_inline]] inline bool CodeTable::Holds(const Slot& slot, std::uint64_t hash,
                                                    std::string_view code) const {
    if (slot.hash != hash || slot.length != code.size()) return false;
    if (code.size() <= 8) return true;  // the hash of a short code says which it is
    if (code.size() <= kInline) return SameShort(slot.text, code.data(), code.size());
    return KeyOf(slot) == code;
}

void CodeTable::Insert(std::string_view code, std::uint64_t hash, std::int64_t count) {
    if (count <= 0) return;  // a count of 0 marks a free slot
    total_ += count;
    for (std::uint64_t i = hash & mask_;; i = (i + 1) & mask_) {
        Slot& slot = slots_[i];
        if (slot.count == 0) {
            slot.hash = hash;
            slot.count = count;
            slot.length = static_cast<std::uint32_t>(code.size());
            if (code.size() <= kInline) {
                // An empty code may have no bytes at all to copy from.
                if (!code.empty()) std::memcpy(slot.text, code.data(), code.size());
            } else {
                const std::uint64_t offset = arena_.size();
                std::memcpy(slot.text, &offset, sizeof offset);
                arena_.append(code);
            }
            // At most seven slots in ten taken keeps the probes short.
            if (++size_ * 10 > capacity_ * 7) Grow();
            return;
        }
        if (Holds(slot, hash, code)) {
            slot.count += count;
            return;
        }
    }
}

void CodeTable::Add(std::string_view code, std::int64_t count) {
    if (code.size() > data::kKeptValueBytes) return AddCut(code, count);
    Insert(code, Hash(code), count);
}

void CodeTable::AddCut(std::string_view code, std::int64_t count) {
    data::PieceHash hash;
    hash.Add(code.data(), code.size());
    long_[{std::string(code.substr(0, data::kKeptValueBytes + 1)), code.size(), hash.Value()}] +=
        count;
    total_ += count;
}

void CodeTable::AddLong(std::string_view start, std::uint64_t length, std::uint64_t hash) {
    long_[{std::string(start), length, hash}] += 1;
    ++total_;
}

[[gnu::always_inline]] inline void CodeTable::AddOne(std::string_view code, std::uint64_t hash) {
    // Most codes are met again in their first slot: counted here, without
    // the call.
    if (code.size() > data::kKeptValueBytes) return AddCut(code, 1);
    Slot& slot = slots_[hash & mask_];
    if (Holds(slot, hash, code)) {
        ++slot.count;
        ++total_;
        return;
    }
    Insert(code, hash, 1);
}

void CodeTable::AddMany(const std::string_view* codes, std::size_t n) {
    constexpr std::size_t kCachedSlots = 4096;  // 128 KB
    if (capacity_ <= kCachedSlots) {
        // The table stays in the cache: nothing to fetch ahead.
        for (std::size_t i = 0; i < n; ++i) AddOne(codes[i], Hash(codes[i]));
        return;
    }
    // Hash the whole batch first and ask for its slots, so the cache misses
    // of a large table overlap instead of following one another.
    hashes_.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        hashes_[i] = Hash(codes[i]);
        __builtin_prefetch(&slots_[hashes_[i] & mask_]);
    }
    for (std::size_t i = 0; i < n; ++i) AddOne(codes[i], hashes_[i]);
}

void CodeTable::Grow() {
    Slots old = std::move(slots_);
    const std::size_t oldCapacity = capacity_;
    capacity_ *= 2;
    slots_ = NewSlots(capacity_);
    mask_ = capacity_ - 1;
    for (std::size_t k = 0; k < oldCapacity; ++k) {
        const Slot& s = old[k];
        if (s.count == 0) continue;
        std::uint64_t i = s.hash & mask_;
        while (slots_[i].count != 0) i = (i + 1) & mask_;
        slots_[i] = s;
    }
}

void CodeTable::Merge(const CodeTable& other) {
    for (std::size_t k = 0; k < other.capacity_; ++k) {
        const Slot& s = other.slots_[k];
        if (s.count != 0) Insert(other.KeyOf(s), s.hash, s.count);
    }
    for (const auto& [key, count] : other.long_) {
        long_[key] += count;
        total_ += count;
    }
}

std::vector<CodeCount> CodeTable::Sorted() const {
    std::vector<CodeCount> sorted;
    sorted.reserve(size_);
    for (std::size_t k = 0; k < capacity_; ++k) {
        const Slot& s = slots_[k];
        if (s.count != 0) sorted.push_back({std::string(KeyOf(s)), s.count});
    }
    std::sort(sorted.begin(), sorted.end(),
              [](const CodeCount& a, const CodeCount& b) { return a.code < b.code; });
    if (long_.empty()) return sorted;
    // Each long code after the shorter ones below its first bytes (kept one
    // byte longer than any shorter code, so this order is exact).
    std::vector<CodeCount> merged;
    merged.reserve(sorted.size() + long_.size());
    auto next = sorted.begin();
    for (const auto& [key, count] : long_) {
        for (; next != sorted.end() && next->code < key.start; ++next) merged.push_back(*next);
        merged.push_back({std::string(data::KeptStart(key.start)), count});
    }
    merged.insert(merged.end(), next, sorted.end());
    return merged;
}

}  // namespace velmor::datatools
