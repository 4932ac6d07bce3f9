// Distinct codes with their counts: an open-addressing hash table while
// counting, sorted once at the end, so a field with a million distinct codes
// costs a million hash insertions rather than a million insertions into a
// sorted array. Short codes live in the table's own slots, so finding one
// costs one memory access; batches of codes are looked up with their slots
// fetched ahead.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/convert_fast.h"

namespace velmor::datatools {

struct CodeCount {
    std::string code;
    std::int64_t count = 0;
    bool operator==(const CodeCount&) const = default;
};

class CodeTable : public data::ColumnSink {
public:
    CodeTable();
    void Add(std::string_view code) override { Add(code, 1); }
    void AddMany(const std::string_view* codes, std::size_t n) override;
    void AddLong(std::string_view start, std::uint64_t length, std::uint64_t hash) override;
    void Add(std::string_view code, std::int64_t count);
    void Clear() override;
    /// Adds every code and count of Other.
    void Merge(const CodeTable& other);
    std::int64_t Total() const { return total_; }
    std::size_t Size() const { return size_ + long_.size(); }
    /// The codes in ascending byte order (case-sensitive: "B" before "a");
    /// a code longer than data::kKeptValueBytes shows its KeptStart.
    std::vector<CodeCount> Sorted() const;

private:
    static constexpr std::size_t kInline = 12;
    struct Slot {
        std::uint64_t hash = 0;
        std::int64_t count = 0;  ///< 0: a free slot
        std::uint32_t length = 0;
        char text[kInline] = {};  ///< the code, or its offset in arena_ when longer
    };
    static_assert(sizeof(Slot) == 32);

    /// Zeroed slots; large tables on huge pages where the system allows,
    /// since every lookup of a large table lands on a page of its own.
    struct SlotMemory {
        void operator()(Slot* p) const;
    };
    using Slots = std::unique_ptr<Slot[], SlotMemory>;
    static Slots NewSlots(std::size_t count);

    void Insert(std::string_view code, std::uint64_t hash, std::int64_t count);
    void AddOne(std::string_view code, std::uint64_t hash);
    std::string_view KeyOf(const Slot& slot) const;
    bool Holds(const Slot& slot, std::uint64_t hash, std::string_view code) const;
    void Grow();
    void AddCut(std::string_view code, std::int64_t count);

    // Codes longer than data::kKeptValueBytes: their first bytes (one more
    // than kept, so that they order exactly against every shorter code),
    // length and hash. Such codes are rare; a map is enough.
    struct LongKey {
        std::string start;
        std::uint64_t length = 0;
        std::uint64_t hash = 0;
        auto operator<=>(const LongKey&) const = default;
    };
    std::map<LongKey, std::int64_t> long_;

    Slots slots_;
    std::size_t capacity_ = 0;
    std::string arena_;
    std::uint64_t mask_ = 0;
    std::size_t size_ = 0;
    std::int64_t total_ = 0;
    std::vector<std::uint64_t> hashes_;  // of a batch
};

}  // namespace velmor::datatools
