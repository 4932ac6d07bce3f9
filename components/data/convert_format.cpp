#include "data/convert_format.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace velmor::data {

DelimitedFormat::DelimitedFormat(std::string recordDelimiter, std::string fieldDelimiter,
                                 std::string qualifier)
    : recordDelimiter_(std::move(recordDelimiter)),
      fieldDelimiter_(std::move(fieldDelimiter)),
      qualifier_(std::move(qualifier)) {
    // Any byte of a delimiter counts, not just the whole delimiter: a value
    // ending in "\r" before a CR LF record end, or overlapping delimiters,
    // would otherwise be read back differently.
    for (const std::string* text : {&recordDelimiter_, &fieldDelimiter_, &qualifier_}) {
        for (char c : *text) special_[static_cast<unsigned char>(c)] = true;
    }
    for (int b = 0; b < 256; ++b) {
        if (!special_[b]) continue;
        if (patterns_ == kMaxPatterns) {
            patterns_ = 0;  // many: byte by byte
            break;
        }
        pattern_[patterns_++] = 0x0101010101010101ULL * static_cast<std::uint64_t>(b);
    }
}

bool DelimitedFormat::NeedsQualifier(std::string_view value) const {
    // Eight bytes at a time against each special byte (a zero byte of
    // word ^ pattern is a match), while there are few of them.
    if (patterns_ > 0) {
        constexpr std::uint64_t kLow = 0x0101010101010101ULL, kHigh = 0x8080808080808080ULL;
        while (value.size() >= 8) {
            std::uint64_t word;
            std::memcpy(&word, value.data(), 8);
            std::uint64_t hit = 0;
            for (int k = 0; k < patterns_; ++k) {
                const std::uint64_t x = word ^ pattern_[k];
                hit |= (x - kLow) & ~x & kHigh;
            }
            if (hit != 0) return true;
            value.remove_prefix(8);
        }
    }
    for (char c : value) {
        if (special_[static_cast<unsigned char>(c)]) return true;
    }
    return false;
}

void DelimitedFormat::AppendValue(std::string_view value, std::string& out) const {
    if (!NeedsQualifier(value)) {
        out.append(value);
        return;
    }
    out.append(qualifier_);
    std::size_t from = 0;
    for (;;) {
        std::size_t at = value.find(qualifier_, from);
        if (at == std::string_view::npos) break;
        out.append(value.substr(from, at + qualifier_.size() - from));
        out.append(qualifier_);
        from = at + qualifier_.size();
    }
    out.append(value.substr(from));
    out.append(qualifier_);
}

bool DelimitedFormat::AppendRecord(const Values& values, std::size_t columns,
                                   std::string& out) const {
    if (qualifier_.empty()) {
        for (std::string_view v : values) {
            if (NeedsQualifier(v)) return false;
        }
    }
    const std::size_t count = std::max(columns, values.size());
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out.append(fieldDelimiter_);
        if (i < values.size()) AppendValue(values[i], out);
    }
    out.append(recordDelimiter_);
    return true;
}

namespace {

bool AppendPadded(const Values& values, const std::vector<FilePos>& widths, std::string& out) {
    std::size_t mark = out.size();
    for (std::size_t i = 0; i < widths.size(); ++i) {
        std::string_view v = i < values.size() ? values[i] : std::string_view();
        auto width = static_cast<std::size_t>(std::max<FilePos>(widths[i], 0));
        if (v.size() > width) {
            out.resize(mark);
            return false;
        }
        out.append(v);
        out.append(width - v.size(), ' ');
    }
    return true;
}

void PutLittleEndian(std::string& out, std::size_t at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        out[at + static_cast<std::size_t>(i)] = static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

char UpperAscii(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool IsNameByte(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

std::string CleanDbaseName(const std::string& name) {
    const bool letterFirst =
        !name.empty() && UpperAscii(name[0]) >= 'A' && UpperAscii(name[0]) <= 'Z';
    std::string clean(letterFirst ? 0 : 1, 'F');
    for (char c : name) {
        if (clean.size() == 10) break;
        char u = UpperAscii(c);
        clean.push_back(IsNameByte(u) ? u : '_');
    }
    return clean;
}

}  // namespace

bool AppendFixedRecord(const Values& values, const std::vector<FilePos>& widths, std::string& out) {
    if (values.size() > widths.size()) return false;
    if (!AppendPadded(values, widths, out)) return false;
    out.append("\r\n");
    return true;
}

std::vector<std::string> DbaseFieldNames(const std::vector<std::string>& names) {
    std::vector<std::string> result;
    std::set<std::string> taken;
    for (const std::string& name : names) {
        std::string candidate = CleanDbaseName(name);
        for (int n = 2; taken.count(candidate) > 0; ++n) {
            std::string suffix = "_" + std::to_string(n);
            candidate = CleanDbaseName(name).substr(0, 10 - suffix.size()) + suffix;
        }
        taken.insert(candidate);
        result.push_back(candidate);
    }
    return result;
}

std::string DbaseLayoutProblem(const std::vector<std::string>& names,
                               const std::vector<FilePos>& widths) {
    if (widths.empty()) return "A dBase table needs at least one field.";
    // The header length is a 16-bit number: 32 bytes per field plus 33.
    if (widths.size() > 2046) return "A dBase table holds at most 2046 fields.";
    FilePos recordLength = 1;
    for (std::size_t i = 0; i < widths.size(); ++i) {
        if (widths[i] > kDbaseMaxFieldLength) {
            return "The field \"" + (i < names.size() ? names[i] : std::string()) + "\" holds " +
                   std::to_string(widths[i]) +
                   " bytes in a record; a dBase character field holds at most 254.";
        }
        recordLength += std::max<FilePos>(widths[i], 1);
    }
    if (recordLength > 65535) return "A dBase record holds at most 65535 bytes.";
    return {};
}

std::string DbaseRecordCount(std::uint32_t recordCount) {
    std::string bytes(4, '\0');
    PutLittleEndian(bytes, 0, recordCount, 4);
    return bytes;
}

std::string DbaseHeader(const std::vector<std::string>& dbaseNames,
                        const std::vector<FilePos>& widths, std::uint32_t recordCount,
                        DbaseDate date) {
    const std::size_t fields = widths.size();
    std::string header(32 + 32 * fields + 1, '\0');
    header[0] = 0x03;  // dBase III without memo
    header[1] = static_cast<char>(std::clamp(date.year - 1900, 0, 255));
    header[2] = static_cast<char>(date.month);
    header[3] = static_cast<char>(date.day);
    PutLittleEndian(header, 4, recordCount, 4);
    PutLittleEndian(header, 8, static_cast<std::uint32_t>(header.size()), 2);
    std::uint32_t recordLength = 1;
    for (FilePos w : widths) recordLength += static_cast<std::uint32_t>(std::max<FilePos>(w, 1));
    PutLittleEndian(header, 10, recordLength, 2);
    for (std::size_t i = 0; i < fields; ++i) {
        std::size_t at = 32 + 32 * i;
        const std::string& name = dbaseNames[i];
        std::copy_n(name.begin(), std::min<std::size_t>(name.size(), 10), header.begin() + at);
        header[at + 11] = 'C';
        header[at + 16] = static_cast<char>(std::max<FilePos>(widths[i], 1));
    }
    header.back() = 0x0D;
    return header;
}

void MarkDbaseNumeric(std::string& header, std::size_t index, int decimals) {
    const std::size_t at = 32 + 32 * index;
    header[at + 11] = 'N';
    header[at + 17] = static_cast<char>(std::clamp(decimals, 0, 15));
}

bool AppendDbaseRecord(const Values& values, const std::vector<FilePos>& widths, std::string& out,
                       bool deleted) {
    if (values.size() > widths.size()) return false;
    std::size_t mark = out.size();
    out.push_back(deleted ? '*' : ' ');
    if (!AppendPadded(values, widths, out)) {
        out.resize(mark);
        return false;
    }
    return true;
}

}  // namespace velmor::data
