// The values of typed (mainframe) fields as text, decoded from a record's
// bytes one way wherever they are shown, counted or written: the converter,
// the code counter, the viewer and velmor-data --copybook.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "copybook/decode.h"
#include "data/types.h"

namespace velmor::data {

class Fields;

/// The widest text a value of Format can take (an invalid one is "?" and two
/// hex digits a byte), so that fixed and dBase targets hold every value.
FilePos TypedWidth(const copybook::FieldFormat& format);

class Field;
/// The widest text of Field's values: its length for text.
FilePos ValueWidth(const Field& field);

/// Numbers written right-aligned in fixed text and as numeric dBase fields
/// (floats keep their exponent, so they stay character fields).
bool RightAligned(const copybook::FieldFormat& format);

/// How a file's numbers are read: EBCDIC files have IBM floats.
copybook::DecodeOptions DecodeOptionsFor(bool ebcdic);

struct TypedColumn {
    std::size_t offset = 0;  ///< of the field in the record, 0-based
    copybook::FieldFormat format;
};

/// Decodes the columns of fixed records.
class TypedRecords {
public:
    TypedRecords(std::vector<TypedColumn> columns, copybook::DecodeOptions options);
    /// The fields of a fixed layout (a record of RecordLength bytes when
    /// there are none).
    static TypedRecords ForFields(const Fields& fields, FilePos recordLength, bool ebcdic);

    std::size_t Columns() const { return columns_.size(); }
    const copybook::FieldFormat& Format(std::size_t i) const { return columns_[i].format; }
    bool AnyNumber() const;

    /// Appends column I's value of Record: numbers decoded, text as its
    /// bytes (EBCDIC translated to Latin-1, as the engine shows it).
    copybook::ValueState Append(std::size_t i, std::string_view record, std::string& out) const;

    /// As Append, writing at Out, which has room for Room(I) bytes; the end.
    char* Put(std::size_t i, std::string_view record, char* out, copybook::ValueState& state) const;
    std::size_t Room(std::size_t i) const;

private:
    std::string_view Bytes(std::size_t i, std::string_view record) const;

    std::vector<TypedColumn> columns_;
    copybook::DecodeOptions options_;
};

/// A decoded value laid into Width cells: numbers right-aligned, text left;
/// a number wider than the cells is shown as "#" in every cell (never cut
/// into another number), an invalid value is cut after its "?".
std::string TypedCells(std::string_view value, bool number, std::size_t width);

}  // namespace velmor::data
