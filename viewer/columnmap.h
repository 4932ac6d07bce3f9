// Where a record's bytes stand on screen in field-name mode. A typed number
// is shown decoded, so its field takes as many columns as its widest value
// ("-1234567.89" for a five-byte S9(7)V99 COMP-3), not its bytes; text and
// bytes outside typed fields keep one column a byte. Byte-bar mode and the
// hex view keep byte positions; everything in field-name mode (the names
// strip, the grid's width, scrolling, moving) goes through this one map.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "copybook/fieldformat.h"

namespace velmor::viewer {

/// Columns the widest decoded value of Format takes: sign, digits (zeros of
/// trailing P), point and places; binary fields by what their bytes hold.
/// Length (the field's bytes) for text.
std::int64_t ColumnWidth(const copybook::FieldFormat& format, std::int64_t length);

/// One field as the map is built from it: bytes from Start (1-based) for
/// Length, Width columns when it is a typed number.
struct MappedField {
    std::int64_t start = 0;
    std::int64_t length = 0;
    std::int64_t width = 0;
    bool number = false;
};

class ColumnMap {
public:
    /// Identity: every byte its own column.
    ColumnMap() = default;
    /// Numbers laid out in byte order; a number overlapping one before it
    /// (another view of the same bytes) keeps that one's columns.
    explicit ColumnMap(const std::vector<MappedField>& fields);

    bool Identity() const { return segments_.empty(); }
    bool operator==(const ColumnMap& other) const;

    /// The column byte Byte (1-based) stands in: a typed field's first bytes
    /// keep their own offset in its columns, bytes beyond its width its last.
    std::int64_t ColumnOfByte(std::int64_t byte) const;
    /// The last column of byte Byte: a typed field's last byte takes the
    /// field's remaining columns.
    std::int64_t LastColumnOfByte(std::int64_t byte) const;
    /// The byte column Column shows (the reverse of ColumnOfByte).
    std::int64_t ByteOfColumn(std::int64_t column) const;
    /// Columns of a record of RecordLength bytes.
    std::int64_t Columns(std::int64_t recordLength) const {
        return recordLength <= 0 ? 0 : LastColumnOfByte(recordLength);
    }

    /// A record's line on screen: Record's bytes where they keep their
    /// columns, Value(I) laid into the columns of the I-th field given
    /// (0-based) that is a number, right-aligned (data::TypedCells).
    std::string Line(std::string_view record, std::int64_t recordLength,
                     const std::function<std::string(std::size_t)>& value) const;

private:
    struct Segment {
        std::int64_t byte = 0;    ///< first byte, 1-based
        std::int64_t length = 0;  ///< bytes
        std::int64_t column = 0;  ///< first column, 1-based
        std::int64_t width = 0;   ///< columns
        std::size_t field = 0;    ///< index into the fields given
        bool operator==(const Segment&) const = default;
    };
    /// The segment holding or last before Byte; null when none.
    const Segment* ByByte(std::int64_t byte) const;
    const Segment* ByColumn(std::int64_t column) const;

    std::vector<Segment> segments_;
};

}  // namespace velmor::viewer
