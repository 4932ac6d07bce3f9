#include "viewer/columnmap.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "data/typedvalues.h"

namespace velmor::viewer {

using copybook::FieldType;

std::int64_t ColumnWidth(const copybook::FieldFormat& f, std::int64_t length) {
    switch (f.type) {
        case FieldType::Text:
            return std::max<std::int64_t>(length, 0);
        case FieldType::Float:
            return data::TypedWidth(f);
        default:
            break;
    }
    std::int64_t digits = f.digits;
    if (f.type == FieldType::Binary || f.type == FieldType::NativeBinary)
        // Whatever the picture says, the value shown is what the bytes hold.
        digits = std::max<std::int64_t>(digits, static_cast<std::int64_t>(std::ceil(
                                                    static_cast<double>(length) * 8 * std::log10(2.0))));
    const std::int64_t scale = f.scale;
    const std::int64_t body =
        scale <= 0 ? digits - scale : std::max<std::int64_t>(1, digits - scale) + 1 + scale;
    // An edited picture may be negative whatever its sign symbols, and is
    // never narrower than its own characters.
    if (f.type == FieldType::Edited) return std::max(length, body + 1);
    return std::max<std::int64_t>(1, body + (f.Signed() ? 1 : 0));
}

ColumnMap::ColumnMap(const std::vector<MappedField>& fields) {
    std::vector<std::size_t> order(fields.size());
    std::iota(order.begin(), order.end(), std::size_t{0});
    std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return fields[a].start < fields[b].start;
    });
    std::int64_t nextByte = 1, nextColumn = 1;
    for (const std::size_t i : order) {
        const MappedField& f = fields[i];
        if (!f.number || f.start < nextByte || f.length <= 0 || f.width <= 0) continue;
        nextColumn += f.start - nextByte;
        segments_.push_back({f.start, f.length, nextColumn, f.width, i});
        nextColumn += f.width;
        nextByte = f.start + f.length;
    }
    // Numbers exactly as wide as their bytes change nothing.
    const bool same = std::all_of(segments_.begin(), segments_.end(),
                                  [](const Segment& s) { return s.byte == s.column && s.length == s.width; });
    if (same) segments_.clear();
}

bool ColumnMap::operator==(const ColumnMap& other) const {
    return segments_ == other.segments_;
}

const ColumnMap::Segment* ColumnMap::ByByte(std::int64_t byte) const {
    auto it = std::upper_bound(segments_.begin(), segments_.end(), byte,
                               [](std::int64_t b, const Segment& s) { return b < s.byte; });
    return it == segments_.begin() ? nullptr : &*(it - 1);
}

const ColumnMap::Segment* ColumnMap::ByColumn(std::int64_t column) const {
    auto it = std::upper_bound(segments_.begin(), segments_.end(), column,
                               [](std::int64_t c, const Segment& s) { return c < s.column; });
    return it == segments_.begin() ? nullptr : &*(it - 1);
}

std::int64_t ColumnMap::ColumnOfByte(std::int64_t byte) const {
    const Segment* s = ByByte(byte);
    if (!s) return byte;
    const std::int64_t k = byte - s->byte;
    if (k < s->length) return s->column + std::min(k, s->width - 1);
    return s->column + s->width + (k - s->length);
}

std::int64_t ColumnMap::LastColumnOfByte(std::int64_t byte) const {
    const Segment* s = ByByte(byte);
    if (s && byte == s->byte + s->length - 1) return s->column + s->width - 1;
    return ColumnOfByte(byte);
}

std::int64_t ColumnMap::ByteOfColumn(std::int64_t column) const {
    const Segment* s = ByColumn(column);
    if (!s) return column;
    const std::int64_t k = column - s->column;
    if (k < s->width) return s->byte + std::min(k, s->length - 1);
    return s->byte + s->length + (k - s->width);
}

std::string ColumnMap::Line(std::string_view record, std::int64_t recordLength,
                            const std::function<std::string(std::size_t)>& value) const {
    std::string line;
    line.reserve(static_cast<std::size_t>(std::max<std::int64_t>(Columns(recordLength), 0)));
    auto copyBytes = [&](std::int64_t from, std::int64_t to) {  // 1-based, inclusive
        for (std::int64_t b = from; b <= to; ++b)
            line += b <= static_cast<std::int64_t>(record.size()) ? record[static_cast<std::size_t>(b - 1)] : ' ';
    };
    std::int64_t nextByte = 1;
    for (const Segment& s : segments_) {
        if (s.byte > recordLength) break;
        copyBytes(nextByte, s.byte - 1);
        line += data::TypedCells(value(s.field), true, static_cast<std::size_t>(s.width));
        nextByte = s.byte + s.length;
    }
    copyBytes(nextByte, recordLength);
    return line;
}

}  // namespace velmor::viewer
