#include "viewer/recordtext.h"

#include <algorithm>

namespace velmor::viewer {

namespace {

constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t ByteChar(unsigned char b, DisplayEncoding encoding) {
    if (encoding == DisplayEncoding::Windows1252 && b >= 0x80 && b < 0xA0)
        return kCp1252High[b - 0x80];
    return b;
}

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// The valid UTF-8 character of two to four bytes at Bytes[I]: its length, or
// 0 when none begins there. Cut is set when the bytes end inside a character
// that was valid so far.
int Utf8Char(std::string_view bytes, size_t i, char32_t& cp, bool& cut) {
    cut = false;
    const auto lead = static_cast<unsigned char>(bytes[i]);
    int length = 0;
    unsigned char low = 0x80, high = 0xBF;  // range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) low = 0xA0;   // no overlong forms
        if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) low = 0x90;
        if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
        return 0;
    }
    for (int k = 1; k < length; ++k) {
        if (i + static_cast<size_t>(k) >= bytes.size()) {
            cut = true;
            return 0;
        }
        const auto b = static_cast<unsigned char>(bytes[i + static_cast<size_t>(k)]);
        if (k == 1 ? (b < low || b > high) : !IsContinuation(b)) return 0;
        cp = (cp << 6) | (b & 0x3F);
    }
    return length;
}

// Walks the bytes as DisplayCells describes; Cells false leaves out the
// spaces that stand for continuation bytes.
std::u32string Characters(std::string_view bytes, DisplayEncoding encoding, bool cells) {
    std::u32string out;
    out.reserve(bytes.size());
    size_t i = 0;
    const bool utf8 = encoding == DisplayEncoding::Utf8;
    if (utf8 && cells) {
        for (; i < bytes.size() && i < 3 && IsContinuation(static_cast<unsigned char>(bytes[i]));
             ++i)
            out.push_back(U' ');
    }
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        char32_t cp = 0;
        bool cut = false;
        const int length = utf8 && b >= 0x80 ? Utf8Char(bytes, i, cp, cut) : 0;
        if (length > 0) {
            out.push_back(cp);
            if (cells) out.append(static_cast<size_t>(length - 1), U' ');
            i += static_cast<size_t>(length);
            continue;
        }
        out.push_back(ByteChar(b, encoding));
        ++i;
    }
    return out;
}

}  // namespace

std::string CellText(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        const auto code = static_cast<unsigned char>(text[i]);
        out.push_back(code < 30 ? ' ' : text[i]);
    }
    return out;
}

std::string BuildByteBarText(qint64 first, qint64 last, int& lineCount) {
    const std::string lastText = std::to_string(last < 0 ? -last : last);
    const int d = static_cast<int>(lastText.size());
    lineCount = d;
    std::vector<std::string> lines(static_cast<size_t>(d));
    for (auto& line : lines)
        line.reserve(static_cast<size_t>(std::max<qint64>(last - first + 1, 0)));
    for (qint64 c = first; c <= last; ++c) {
        std::string s = std::to_string(c < 0 ? -c : c);
        if (static_cast<int>(s.size()) < d) s.insert(0, static_cast<size_t>(d) - s.size(), '0');
        const bool tens = s.back() == '0';
        for (int k = 1; k <= d; ++k) {
            const bool leadingZeros = s.find_first_not_of('0') >= static_cast<size_t>(k);
            const bool show = k == d || (tens && !leadingZeros);
            lines[static_cast<size_t>(k - 1)].push_back(show ? s[static_cast<size_t>(k - 1)] : ' ');
        }
    }
    std::string text;
    for (int k = 0; k < d; ++k) {
        if (k > 0) text += "\r\n";
        text += lines[static_cast<size_t>(k)];
    }
    return text;
}

std::string DelimitedDisplayLine(const std::string& raw, bool showFieldNames,
                                 const std::vector<FieldCell>& fields, qint64 recordLength) {
    if (!showFieldNames) {
        std::string line = raw;
        if (recordLength > 0 && static_cast<qint64>(line.size()) < recordLength)
            line.append(static_cast<size_t>(recordLength) - line.size(), ' ');
        return line;
    }
    std::string line;
    for (const FieldCell& f : fields) {
        if (f.length <= 0) continue;
        std::string cell = f.value.substr(0, static_cast<size_t>(f.length));
        cell.append(static_cast<size_t>(f.length) - cell.size(), ' ');
        line += cell;
    }
    return line;
}

std::string ColumnRange(const std::string& line, qint64 first, qint64 last) {
    if (first < 1 || last < first || first > static_cast<qint64>(line.size())) return {};
    return line.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

DisplayEncoding ChooseDisplayEncoding(std::string_view sample, bool ebcdic) {
    if (ebcdic) return DisplayEncoding::Latin1;
    bool multiByte = false;
    for (size_t i = 0; i < sample.size();) {
        if (static_cast<unsigned char>(sample[i]) < 0x80) {
            ++i;
            continue;
        }
        char32_t cp = 0;
        bool cut = false;
        const int length = Utf8Char(sample, i, cp, cut);
        if (cut) break;
        if (length == 0) return DisplayEncoding::Windows1252;
        multiByte = true;
        i += static_cast<size_t>(length);
    }
    return multiByte ? DisplayEncoding::Utf8 : DisplayEncoding::Windows1252;
}

std::u32string DisplayCells(std::string_view bytes, DisplayEncoding encoding) {
    return Characters(bytes, encoding, true);
}

QString DisplayText(std::string_view bytes, DisplayEncoding encoding) {
    const std::u32string chars = Characters(bytes, encoding, false);
    return QString::fromUcs4(chars.data(), static_cast<qsizetype>(chars.size()));
}

LabelFit FitLabel(const QString& name, const QFontMetrics& metrics, int width) {
    if (metrics.horizontalAdvance(name) <= width) return {name, true};
    QString text = metrics.elidedText(name, Qt::ElideRight, width);
    // Too narrow even for the ellipsis: the first letter, cut at the right.
    if (text.isEmpty() || text == QStringLiteral("\u2026")) text = name.left(1);
    return {text, false};
}

}  // namespace velmor::viewer
