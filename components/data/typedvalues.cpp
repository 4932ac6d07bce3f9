#include "data/typedvalues.h"

#include <algorithm>
#include <cstring>

#include "data/ebcdic.h"
#include "data/fields.h"

namespace velmor::data {

using copybook::FieldType;

namespace {

// EBCDIC to Latin-1 as one table read a byte: text columns of every record
// pass through it.
struct Latin1Table {
    char to[256];
    Latin1Table() {
        for (int b = 0; b < 256; ++b) to[b] = static_cast<char>(ebcdic::ToLatin1(static_cast<unsigned char>(b)));
    }
};
const Latin1Table kLatin1;

}  // namespace

FilePos TypedWidth(const copybook::FieldFormat& f) {
    FilePos width = f.length;
    if (f.type == FieldType::Zoned || f.type == FieldType::Packed || f.type == FieldType::Binary ||
        f.type == FieldType::NativeBinary) {
        int digits = f.digits;
        if (f.type == FieldType::Binary || f.type == FieldType::NativeBinary)
            digits = std::max(digits, f.length <= 2 ? 5 : f.length <= 4 ? 10 : 20);
        // Sign, digits (zeros for trailing P), and the point with at least
        // one digit before it.
        width = (f.scale <= 0 ? digits - f.scale : std::max(1, digits - f.scale) + 1 + f.scale) + 1;
    } else if (f.type == FieldType::Float) {
        width = 24;
    }
    if (f.IsNumber()) width = std::max<FilePos>(width, 1 + 2 * FilePos{f.length});
    return width;
}

FilePos ValueWidth(const Field& field) {
    return field.Format().IsNumber() ? TypedWidth(field.Format()) : field.Length();
}

bool RightAligned(const copybook::FieldFormat& f) {
    return f.IsNumber() && f.type != FieldType::Float;
}

copybook::DecodeOptions DecodeOptionsFor(bool ebcdic) {
    return {ebcdic ? copybook::Charset::Ebcdic : copybook::Charset::Ascii,
            ebcdic ? copybook::FloatFormat::Ibm : copybook::FloatFormat::Ieee};
}

TypedRecords::TypedRecords(std::vector<TypedColumn> columns, copybook::DecodeOptions options)
    : columns_(std::move(columns)), options_(options) {}

TypedRecords TypedRecords::ForFields(const Fields& fields, FilePos recordLength, bool ebcdic) {
    std::vector<TypedColumn> columns;
    for (int i = 1; i <= fields.Count(); ++i) {
        const Field* f = fields.Item(i);
        TypedColumn c{static_cast<std::size_t>(std::max<FilePos>(f->StartingPosition(), 1) - 1),
                      f->Format()};
        c.format.length = static_cast<int>(std::clamp<FilePos>(f->Length(), 0, INT32_MAX));
        columns.push_back(std::move(c));
    }
    if (columns.empty()) {
        TypedColumn whole;
        whole.format.length = static_cast<int>(std::clamp<FilePos>(recordLength, 0, INT32_MAX));
        columns.push_back(whole);
    }
    return TypedRecords(std::move(columns), DecodeOptionsFor(ebcdic));
}

bool TypedRecords::AnyNumber() const {
    return std::any_of(columns_.begin(), columns_.end(),
                       [](const TypedColumn& c) { return c.format.IsNumber(); });
}

std::string_view TypedRecords::Bytes(std::size_t i, std::string_view record) const {
    const TypedColumn& c = columns_[i];
    return c.offset < record.size() ? record.substr(c.offset, static_cast<std::size_t>(c.format.length))
                                    : std::string_view();
}

std::size_t TypedRecords::Room(std::size_t i) const { return copybook::DecodeRoom(columns_[i].format); }

char* TypedRecords::Put(std::size_t i, std::string_view record, char* out,
                        copybook::ValueState& state) const {
    const std::string_view bytes = Bytes(i, record);
    if (columns_[i].format.type != FieldType::Text) return copybook::DecodeTo(columns_[i].format, bytes, options_, out, state);
    state = copybook::ValueState::Value;
    if (options_.charset != copybook::Charset::Ebcdic) {
        std::memcpy(out, bytes.data(), bytes.size());
        return out + bytes.size();
    }
    for (const char b : bytes) *out++ = kLatin1.to[static_cast<unsigned char>(b)];
    return out;
}

copybook::ValueState TypedRecords::Append(std::size_t i, std::string_view record,
                                          std::string& out) const {
    const TypedColumn& c = columns_[i];
    const std::string_view bytes = Bytes(i, record);
    if (c.format.type == FieldType::Text) {
        if (options_.charset != copybook::Charset::Ebcdic) {
            out.append(bytes);
            return copybook::ValueState::Value;
        }
        const std::size_t mark = out.size();
        out.resize(mark + bytes.size());
        char* to = out.data() + mark;
        for (const char b : bytes) *to++ = kLatin1.to[static_cast<unsigned char>(b)];
        return copybook::ValueState::Value;
    }
    return copybook::Decode(c.format, bytes, options_, out);
}

std::string TypedCells(std::string_view value, bool number, std::size_t width) {
    const bool invalid = !value.empty() && value.front() == '?';
    if (value.size() > width) {
        if (number && !invalid) return std::string(width, '#');
        return std::string(value.substr(0, width));
    }
    std::string cells(width, ' ');
    const std::size_t at = number && !invalid ? width - value.size() : 0;
    std::copy(value.begin(), value.end(), cells.begin() + static_cast<std::ptrdiff_t>(at));
    return cells;
}

}  // namespace velmor::data
