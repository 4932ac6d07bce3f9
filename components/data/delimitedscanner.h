// Finding record ends and field values in delimited text: configurable,
// possibly multi-byte record delimiter, field delimiter and text qualifier.
// A qualifier opens a qualified field only at the start of a field; inside it
// delimiters are data and a doubled qualifier stands for one. A qualifier in
// the middle of an unqualified field is an ordinary character, so a stray
// inch mark cannot swallow the rest of the file. An empty qualifier means no
// qualifying at all.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::data {

struct Delimiters {
    std::string record;     ///< never empty when scanning
    std::string field;      ///< empty: the record is one field
    std::string qualifier;  ///< empty: no qualifying
};

/// Where the scanner stands between two bytes.
enum class ScanMode : std::uint8_t {
    FieldStart,    ///< at the first byte of a field
    Unquoted,      ///< inside an unqualified field
    Quoted,        ///< inside a qualified field
    QuotePending,  ///< just after a qualifier inside a qualified field
};

/// The values of the records a scan goes through: field delimiters outside
/// qualified fields counted per record (a record of N values has N - 1).
struct ValueTally {
    std::uint64_t run = 0;   ///< delimiters of the record being scanned
    std::uint64_t most = 0;  ///< most delimiters in one ended record
    void EndRecord() {
        most = std::max(most, run);
        run = 0;
    }
};

class DelimitedScanner {
public:
    explicit DelimitedScanner(Delimiters delimiters, bool allowVector = true);

    const Delimiters& Get() const { return d_; }
    /// Longest delimiter: a scan that is not at the end of the data keeps
    /// that many bytes minus one unconsumed, so no delimiter is split.
    size_t Lookahead() const { return maxLength_; }
    bool Vectorised() const { return vector_; }

    /// Finds record ends in Data[0, Length). Each end is written to Ends as
    /// the offset just after the record delimiter; at most MaxEnds are
    /// written. Mode is the state at Data[0] on entry and at Consumed on
    /// return; the caller continues from Data + Consumed with that Mode.
    /// Unless Eof, a few final bytes may stay unconsumed. Returns the count.
    /// Tally, when given, goes on counting the values of the records scanned.
    size_t Scan(const char* data, size_t length, bool eof, ScanMode& mode, size_t* ends,
                size_t maxEnds, size_t& consumed, ValueTally* tally = nullptr) const;

    /// Field values of one record (its bytes without the record delimiter),
    /// qualifiers removed and doubled qualifiers made single; no more than
    /// MaxValues of them (a line of commas holds millions).
    void SplitFields(std::string_view record, std::vector<std::string>& values,
                     size_t maxValues = SIZE_MAX) const;
    /// The value of field Index (0-based) alone; "" when the record has fewer.
    std::string FieldAt(std::string_view record, size_t index) const;
    /// Number of fields in the record.
    size_t CountFields(std::string_view record) const;

private:
    size_t ScanScalar(const char* data, size_t length, bool eof, size_t from, size_t stop,
                      ScanMode& mode, size_t* ends, size_t maxEnds, size_t& count,
                      ValueTally* tally = nullptr) const;
    size_t ScanVector(const char* data, size_t length, ScanMode& mode, size_t* ends, size_t maxEnds,
                      size_t& count, bool& full, ValueTally* tally) const;
    size_t ScanVectorPortable(const char* data, size_t length, ScanMode& mode, size_t* ends,
                              size_t maxEnds, size_t& count, bool& full, ValueTally* tally) const;
    size_t ScanVectorAvx2(const char* data, size_t length, ScanMode& mode, size_t* ends,
                          size_t maxEnds, size_t& count, bool& full, ValueTally* tally) const;
    size_t ScanVectorAvx512(const char* data, size_t length, ScanMode& mode, size_t* ends,
                            size_t maxEnds, size_t& count, bool& full, ValueTally* tally) const;
    bool Match(const char* p, size_t available, const std::string& what) const;

    Delimiters d_;
    size_t maxLength_ = 1;
    bool vector_ = false;
    int vectors_ = 0;  ///< a masks::VectorSet
};

}  // namespace velmor::data
