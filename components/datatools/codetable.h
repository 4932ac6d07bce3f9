// Distinct codes with their counts: a hash table while counting, sorted once
// at the end, so a field with a million distinct codes costs a million
// insertions into a hash table rather than into a sorted array.
#pragma once

#include <cstdint>
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
    void Add(std::string_view code, std::int64_t count);
    void Clear() override;
    /// Adds every code and count of Other.
    void Merge(const CodeTable& other);
    std::int64_t Total() const { return total_; }
    std::size_t Size() const { return entries_.size(); }
    /// The codes in ascending byte order (case-sensitive: "B" before "a").
    std::vector<CodeCount> Sorted() const;

private:
    struct Slot {
        std::uint64_t hash = 0;
        std::uint32_t entry = 0;  ///< 1-based index into entries_, 0 = empty
    };
    void Grow();

    std::vector<Slot> slots_;
    std::vector<CodeCount> entries_;
    std::uint64_t mask_ = 0;
    std::int64_t total_ = 0;
};

}  // namespace velmor::datatools
