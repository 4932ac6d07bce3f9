#include "data/convert_text.h"

#include <cstdint>

namespace velmor::data {

namespace {

// Code points of the bytes 0x80..0x9F in code page 1252; the five bytes it
// leaves undefined keep their Latin-1 (C1 control) meaning.
constexpr std::uint16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

void AppendCodePoint(std::uint32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

std::uint32_t CodePoint(unsigned char b, CodePage page) {
    if (page == CodePage::Windows1252 && b >= 0x80 && b < 0xA0) return kCp1252High[b - 0x80];
    return b;
}

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence starting at Text[i], 0 when none
// (overlong forms, surrogates and code points past U+10FFFF are refused).
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    unsigned char b = at(0);
    std::size_t left = text.size() - i;
    if (b >= 0xC2 && b <= 0xDF) return left >= 2 && IsContinuation(at(1)) ? 2 : 0;
    if (b >= 0xE0 && b <= 0xEF) {
        if (left < 3 || !IsContinuation(at(1)) || !IsContinuation(at(2))) return 0;
        if (b == 0xE0 && at(1) < 0xA0) return 0;
        if (b == 0xED && at(1) >= 0xA0) return 0;
        return 3;
    }
    if (b >= 0xF0 && b <= 0xF4) {
        if (left < 4 || !IsContinuation(at(1)) || !IsContinuation(at(2)) ||
            !IsContinuation(at(3))) {
            return 0;
        }
        if (b == 0xF0 && at(1) < 0x90) return 0;
        if (b == 0xF4 && at(1) >= 0x90) return 0;
        return 4;
    }
    return 0;
}

// Calls Ascii(byte) for plain ASCII and appends everything else as UTF-8.
template <typename AsciiHandler>
void Transcode(std::string_view bytes, CodePage page, std::string& out, AsciiHandler ascii) {
    std::size_t i = 0;
    while (i < bytes.size()) {
        auto b = static_cast<unsigned char>(bytes[i]);
        if (b < 0x80) {
            ascii(static_cast<char>(b));
            ++i;
            continue;
        }
        // Translated EBCDIC is Latin-1 throughout: two of its characters in a
        // row can look like UTF-8 ("\xC9\xB0" for "É°") and must not be read so.
        std::size_t n = page == CodePage::Latin1 ? 0 : Utf8SequenceLength(bytes, i);
        if (n > 0) {
            out.append(bytes.substr(i, n));
            i += n;
        } else {
            AppendCodePoint(CodePoint(b, page), out);
            ++i;
        }
    }
}

std::uint32_t DecodeUtf8(std::string_view text, std::size_t i, std::size_t n) {
    auto b = static_cast<unsigned char>(text[i]);
    std::uint32_t cp = n == 2 ? (b & 0x1Fu) : n == 3 ? (b & 0x0Fu) : (b & 0x07u);
    for (std::size_t k = 1; k < n; ++k)
        cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3Fu);
    return cp;
}

// The byte for code point Cp in Page; -1 when the page has none.
int ByteFor(std::uint32_t cp, CodePage page) {
    if (page == CodePage::Latin1) return cp <= 0xFF ? static_cast<int>(cp) : -1;
    for (int k = 0; k < 32; ++k) {
        if (kCp1252High[k] == cp) return 0x80 + k;
    }
    return cp >= 0xA0 && cp <= 0xFF ? static_cast<int>(cp) : -1;
}

}  // namespace

bool IsUtf8(std::string_view text) {
    for (std::size_t i = 0; i < text.size();) {
        std::size_t n =
            static_cast<unsigned char>(text[i]) < 0x80 ? 1 : Utf8SequenceLength(text, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

bool FromUtf8(std::string_view text, CodePage page, std::string& bytes) {
    bytes.clear();
    for (std::size_t i = 0; i < text.size();) {
        if (static_cast<unsigned char>(text[i]) < 0x80) {
            bytes.push_back(text[i++]);
            continue;
        }
        std::size_t n = Utf8SequenceLength(text, i);
        int b = n == 0 ? -1 : ByteFor(DecodeUtf8(text, i, n), page);
        if (b < 0) return false;
        bytes.push_back(static_cast<char>(b));
        i += n;
    }
    return true;
}

void AppendDisplayText(std::string_view bytes, std::string& out, CodePage page) {
    Transcode(bytes, page, out, [&out](char c) { out.push_back(c); });
}

void AppendJsonString(std::string_view bytes, std::string& out, CodePage page) {
    static constexpr char kHex[] = "0123456789abcdef";
    out.push_back('"');
    Transcode(bytes, page, out, [&out](char c) {
        switch (c) {
            case '"':
                out.append("\\\"");
                return;
            case '\\':
                out.append("\\\\");
                return;
            case '\n':
                out.append("\\n");
                return;
            case '\r':
                out.append("\\r");
                return;
            case '\t':
                out.append("\\t");
                return;
            default:
                break;
        }
        if (static_cast<unsigned char>(c) < 0x20) {
            out.append("\\u00");
            out.push_back(kHex[(c >> 4) & 0xF]);
            out.push_back(kHex[c & 0xF]);
        } else {
            out.push_back(c);
        }
    });
    out.push_back('"');
}

}  // namespace velmor::data
