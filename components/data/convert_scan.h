// Streams the records of a delimited file out of consecutive buffers: record
// and field delimiters of any length, an optional text qualifier that may
// enclose delimiters and doubled qualifiers. Used for whole-file passes where
// going record by record through File would cost far more than the reading.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::data {

struct DelimitedSyntax {
    std::string recordDelimiter;
    std::string fieldDelimiter;
    std::string qualifier;  ///< empty: no quoting
};

class DelimitedSplitter {
public:
    explicit DelimitedSplitter(DelimitedSyntax syntax);

    /// Splits the complete records at the front of Data. Values() holds the
    /// unqualified values of the record just found. Returns false when Data
    /// holds no complete record; when Last is set, whatever remains is the
    /// last record (a file need not end with a record delimiter).
    bool Next(std::string_view data, bool last, std::size_t& consumed);
    const std::vector<std::string_view>& Values() const { return values_; }
    /// Values past the first Most of a record are split but not kept: a
    /// record of a hundred million empty values must not cost gigabytes
    /// when the caller looks at a few of them, or refuses so many anyway.
    void KeepAtMost(std::size_t most) { most_ = most; }

private:
    enum class Stop { Field, Record, End, Incomplete };
    Stop FindDelimiter(std::string_view data, bool last, std::size_t from, std::size_t& at) const;
    Stop FindShortDelimiter(std::string_view data, bool last, std::size_t from,
                            std::size_t& at) const;
    Stop ReadQualified(std::string_view data, bool last, std::size_t& pos);
    void AddValue(std::string_view data, std::size_t begin, std::size_t end);
    void AddRebuilt(std::size_t scratchStart);

    DelimitedSyntax syntax_;
    char fieldFirst_ = 0;
    char recordFirst_ = 0;
    bool hasField_ = false;
    bool shortDelimiters_ = false;
    std::vector<std::string_view> values_;
    std::size_t most_ = static_cast<std::size_t>(-1);
    // Values that had doubled qualifiers or bytes after the closing qualifier
    // are rebuilt here.
    std::string scratch_;
};

}  // namespace velmor::data
