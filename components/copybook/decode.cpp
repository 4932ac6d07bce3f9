#include "copybook/decode.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "copybook/picture.h"

namespace velmor::copybook {
namespace {

using Bytes = std::string_view;

unsigned char At(Bytes b, size_t i) { return static_cast<unsigned char>(b[i]); }

// The few characters edited numbers and separate signs use, read from
// either character set (everything else becomes '\x01', never valid).
char Char(unsigned char c, Charset charset) {
    if (charset == Charset::Ascii) return c < 0x80 ? static_cast<char>(c) : '\x01';
    if (c >= 0xF0 && c <= 0xF9) return static_cast<char>('0' + (c - 0xF0));
    switch (c) {
        case 0x40: return ' ';
        case 0x4E: return '+';
        case 0x60: return '-';
        case 0x5C: return '*';
        case 0x5B: return '$';
        case 0x6B: return ',';
        case 0x4B: return '.';
        case 0x61: return '/';
        case 0xC3: return 'C';
        case 0xD9: return 'R';
        case 0xC4: return 'D';
        case 0xC2: return 'B';
        default: return '\x01';
    }
}

unsigned char Blank(Charset charset) { return charset == Charset::Ebcdic ? 0x40 : 0x20; }

bool AllBlank(Bytes b, Charset charset) {
    for (char c : b)
        if (static_cast<unsigned char>(c) != Blank(charset)) return false;
    return true;
}

// Writes Digits (leading zeros allowed, at most kMaxPut of them, |Scale| at
// most kMaxPut) at P as a decimal with Scale places; the end. This runs for
// every number of every record a conversion writes, so it composes in place.
constexpr size_t kMaxPut = 64;

char* PutDecimal(bool negative, std::string_view digits, int scale, char* p) {
    size_t first = 0;
    while (first < digits.size() && digits[first] == '0') ++first;
    const char* d = digits.data() + first;
    const size_t n = digits.size() - first;
    const size_t places = scale > 0 ? static_cast<size_t>(scale) : 0;
    if (n > 0 && negative) *p++ = '-';  // negative zero is zero
    if (places == 0) {
        if (n == 0) *p++ = '0';
        std::memcpy(p, d, n);
        p += n;
        // P positions on the right: zeros after the digits.
        if (n > 0 && scale < 0) {
            std::memset(p, '0', static_cast<size_t>(-scale));
            p += -scale;
        }
    } else if (n <= places) {
        *p++ = '0';
        *p++ = '.';
        std::memset(p, '0', places - n);
        p += places - n;
        std::memcpy(p, d, n);
        p += n;
    } else {
        std::memcpy(p, d, n - places);
        p += n - places;
        *p++ = '.';
        std::memcpy(p, d + n - places, places);
        p += places;
    }
    return p;
}

bool Fits(std::string_view digits, int scale) {
    return digits.size() <= kMaxPut && scale <= static_cast<int>(kMaxPut) && scale >= -static_cast<int>(kMaxPut);
}

// Appends Digits as PutDecimal writes them; long edited pictures piece by piece.
void AppendDecimal(bool negative, std::string_view digits, int scale, std::string& out) {
    if (Fits(digits, scale)) {
        char text[3 * kMaxPut];
        out.append(text, PutDecimal(negative, digits, scale, text));
        return;
    }
    const size_t first = std::min(digits.find_first_not_of('0'), digits.size());
    const std::string_view d = digits.substr(first);
    const size_t n = d.size();
    const size_t places = scale > 0 ? static_cast<size_t>(scale) : 0;
    if (n > 0 && negative) out.push_back('-');
    if (places == 0) {
        out.append(n == 0 ? std::string_view("0") : d);
        if (n > 0 && scale < 0) out.append(static_cast<size_t>(-static_cast<long>(scale)), '0');
    } else if (n <= places) {
        out += "0.";
        out.append(places - n, '0');
        out.append(d);
    } else {
        out.append(d.substr(0, n - places));
        out.push_back('.');
        out.append(d.substr(n - places));
    }
}

/// The digits and sign of a zoned, packed or binary value.
struct Digits {
    char d[48];
    size_t n = 0;
    bool negative = false;
    std::string_view View() const { return {d, n}; }
};

// The digit of an overpunched sign byte and whether it is negative.
bool Overpunch(unsigned char c, Charset charset, char& digit, bool& negative) {
    if (charset == Charset::Ebcdic) {
        const int zone = c >> 4, low = c & 0x0F;
        if (low > 9 || zone < 0xA) return false;
        digit = static_cast<char>('0' + low);
        negative = zone == 0xB || zone == 0xD;
        return true;
    }
    negative = false;
    if (c >= '0' && c <= '9') digit = static_cast<char>(c);
    else if (c == '{') digit = '0';
    else if (c >= 'A' && c <= 'I') digit = static_cast<char>('1' + (c - 'A'));
    else if (c == '}') digit = '0', negative = true;
    else if (c >= 'J' && c <= 'R') digit = static_cast<char>('1' + (c - 'J')), negative = true;
    else if (c >= 0x70 && c <= 0x79) digit = static_cast<char>('0' + (c - 0x70)), negative = true;
    else return false;
    return true;
}

bool PlainDigit(unsigned char c, Charset charset, char& digit) {
    const unsigned char zero = charset == Charset::Ebcdic ? 0xF0 : 0x30;
    if (c < zero || c > zero + 9) return false;
    digit = static_cast<char>('0' + (c - zero));
    return true;
}

ValueState ZonedDigits(const FieldFormat& f, Bytes b, Charset charset, Digits& out) {
    size_t s = 0, e = b.size();
    while (s < e && At(b, s) == Blank(charset)) ++s;
    while (e > s && At(b, e - 1) == Blank(charset)) --e;
    if (s == e) return ValueState::Empty;
    if (e - s > 40) return ValueState::Invalid;
    bool& negative = out.negative;
    size_t punch = std::string_view::npos;
    if (f.sign == SignForm::LeadingSeparate || f.sign == SignForm::TrailingSeparate) {
        const size_t at = f.sign == SignForm::LeadingSeparate ? s++ : --e;
        const char c = Char(At(b, at), charset);
        if (c != '+' && c != '-') return ValueState::Invalid;
        negative = c == '-';
    } else if (f.sign == SignForm::TrailingOverpunch) {
        punch = e - 1;
    } else if (f.sign == SignForm::LeadingOverpunch) {
        punch = s;
    }
    if (s >= e) return ValueState::Invalid;
    if (charset == Charset::Ebcdic) {
        // The usual form, digits F0-F9, read without a call a byte.
        for (size_t i = s; i < e; ++i) {
            const unsigned char c = At(b, i);
            if (i == punch) {
                if (!Overpunch(c, charset, out.d[out.n], negative)) return ValueState::Invalid;
            } else if ((c & 0xF0) != 0xF0 || (c & 0x0F) > 9) {
                return ValueState::Invalid;
            } else {
                out.d[out.n] = static_cast<char>('0' + (c & 0x0F));
            }
            ++out.n;
        }
        return ValueState::Value;
    }
    for (size_t i = s; i < e; ++i) {
        bool ok = i == punch ? Overpunch(At(b, i), charset, out.d[out.n], negative)
                             : PlainDigit(At(b, i), charset, out.d[out.n]);
        if (!ok) return ValueState::Invalid;
        ++out.n;
    }
    return ValueState::Value;
}

ValueState PackedDigits(const FieldFormat& f, Bytes b, Charset charset, Digits& out) {
    // Blanks are not valid packed bytes (their last nibble is no sign), so
    // the all-blank test waits until the bytes fail.
    const size_t size = b.size();
    if (size == 0 || size > 20) return AllBlank(b, charset) ? ValueState::Empty : ValueState::Invalid;
    char* d = out.d;
    for (size_t i = 0; i + 1 < size; ++i) {
        const unsigned char c = At(b, i);
        if ((c >> 4) > 9 || (c & 0x0F) > 9) return AllBlank(b, charset) ? ValueState::Empty : ValueState::Invalid;
        *d++ = static_cast<char>('0' + (c >> 4));
        *d++ = static_cast<char>('0' + (c & 0x0F));
    }
    const unsigned char last = At(b, size - 1);
    const int hi = last >> 4, lo = last & 0x0F;
    if (hi > 9 || lo < 0xA) return AllBlank(b, charset) ? ValueState::Empty : ValueState::Invalid;
    *d++ = static_cast<char>('0' + hi);
    out.n = static_cast<size_t>(d - out.d);
    out.negative = lo == 0xB || lo == 0xD;
    if (out.negative && !f.Signed()) return ValueState::Invalid;
    return ValueState::Value;
}

ValueState BinaryDigits(const FieldFormat& f, Bytes b, Digits& out) {
    if (b.empty() || b.size() > 8) return ValueState::Invalid;
    std::uint64_t v = 0;
    for (size_t i = 0; i < b.size(); ++i) v = (v << 8) | At(b, i);
    if (f.Signed() && (At(b, 0) & 0x80) != 0) {
        if (b.size() < 8) v |= ~std::uint64_t{0} << (8 * b.size());  // sign-extend
        v = ~v + 1;  // magnitude, also of the smallest value
        out.negative = true;
    }
    // Two digits at a time from the end, then moved to the front.
    static constexpr char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    char tail[24];
    char* p = tail + sizeof tail;
    while (v >= 100) {
        const auto pair = static_cast<size_t>(v % 100) * 2;
        v /= 100;
        *--p = kPairs[pair + 1];
        *--p = kPairs[pair];
    }
    if (v >= 10) {
        *--p = kPairs[v * 2 + 1];
        *--p = kPairs[v * 2];
    } else {
        *--p = static_cast<char>('0' + v);
    }
    out.n = static_cast<size_t>(tail + sizeof tail - p);
    std::memcpy(out.d, p, out.n);
    return ValueState::Value;
}

void AppendFloat(double v, int precision, std::string& out) {
    char text[64];
    auto r = precision > 0 ? std::to_chars(text, text + sizeof text, v, std::chars_format::general,
                                           precision)
                           : std::to_chars(text, text + sizeof text, v);
    out.append(text, r.ptr);
}

ValueState Float(Bytes b, FloatFormat form, std::string& out) {
    if (b.size() != 4 && b.size() != 8) return ValueState::Invalid;
    std::uint64_t bits = 0;
    for (size_t i = 0; i < b.size(); ++i) bits = (bits << 8) | At(b, i);
    if (form == FloatFormat::Ieee) {
        if (b.size() == 4) {
            const auto u = static_cast<std::uint32_t>(bits);
            float f;
            std::memcpy(&f, &u, 4);
            if (!std::isfinite(f)) return ValueState::Invalid;
            char text[64];
            auto r = std::to_chars(text, text + sizeof text, f);
            out.append(text, r.ptr);
            return ValueState::Value;
        }
        double d;
        std::memcpy(&d, &bits, 8);
        if (!std::isfinite(d)) return ValueState::Invalid;
        AppendFloat(d, 0, out);
        return ValueState::Value;
    }
    // IBM hexadecimal: sign, 7-bit exponent of 16 biased by 64, fraction.
    const int fractionBits = b.size() == 4 ? 24 : 56;
    const int shift = fractionBits;
    const bool negative = (bits >> (8 * b.size() - 1)) & 1;
    const int exponent = static_cast<int>((bits >> shift) & 0x7F) - 64;
    const std::uint64_t fraction = bits & ((std::uint64_t{1} << fractionBits) - 1);
    double v = std::ldexp(static_cast<double>(fraction), 4 * exponent - fractionBits);
    if (negative && fraction != 0) v = -v;
    AppendFloat(v, b.size() == 4 ? 7 : 16, out);
    return ValueState::Value;
}

ValueState Edited(const FieldFormat& f, Bytes b, Charset charset, std::string& out) {
    if (AllBlank(b, charset)) return ValueState::Empty;
    Picture pic;
    std::string error;
    int errorAt = 0;
    if (!ParsePicture(f.picture, pic, error, errorAt) || pic.symbols.size() != b.size())
        return ValueState::Invalid;
    const std::string& sym = pic.symbols;
    std::string digits;
    bool negative = false;
    for (size_t i = 0; i < sym.size(); ++i) {
        const char c = Char(At(b, i), charset);
        const char s = sym[i];
        if (s == 'C' || s == 'D') {
            const char next = Char(At(b, i + 1), charset);
            if (c == s && next == sym[i + 1]) negative = true;
            else if (c != ' ' || next != ' ') return ValueState::Invalid;
            ++i;
            continue;
        }
        const bool digit = EditedDigitPosition(sym, i);
        if (digit && c >= '0' && c <= '9') {
            digits.push_back(c);
            continue;
        }
        if (c == '-' && (s == '-' || s == '+')) negative = true;
        else if (c == '+' && s == '+') negative = false;
        else if (!(c == ' ' || (c == '*' && (s == '*' || sym.find('*') != std::string::npos)) ||
                   (c == '$' && s == '$') || (c == s && std::string_view(",./0").find(s) != std::string_view::npos) ||
                   (s == 'B' && c == ' ')))
            return ValueState::Invalid;
        if (digit) digits.push_back('0');
    }
    AppendDecimal(negative, digits, f.scale, out);
    return ValueState::Value;
}

}  // namespace

void AppendInvalid(std::string_view bytes, std::string& out) {
    static const char kHex[] = "0123456789ABCDEF";
    out.push_back('?');
    for (char c : bytes) {
        out.push_back(kHex[static_cast<unsigned char>(c) >> 4]);
        out.push_back(kHex[static_cast<unsigned char>(c) & 0x0F]);
    }
}

ValueState Decode(const FieldFormat& format, std::string_view bytes, const DecodeOptions& options,
                  std::string& out) {
    if (format.type == FieldType::Text) {
        out.append(bytes);
        return ValueState::Value;
    }
    if (bytes.empty()) return ValueState::Empty;
    const size_t mark = out.size();
    ValueState state = ValueState::Invalid;
    if (static_cast<int>(bytes.size()) == format.length) {
        Digits digits;
        switch (format.type) {
            case FieldType::Zoned: state = ZonedDigits(format, bytes, options.charset, digits); break;
            case FieldType::Packed: state = PackedDigits(format, bytes, options.charset, digits); break;
            case FieldType::Binary:
            case FieldType::NativeBinary: state = BinaryDigits(format, bytes, digits); break;
            case FieldType::Float: state = Float(bytes, options.floats, out); break;
            case FieldType::Edited: state = Edited(format, bytes, options.charset, out); break;
            case FieldType::Text: break;
        }
        if (state == ValueState::Value && format.type != FieldType::Float && format.type != FieldType::Edited)
            AppendDecimal(digits.negative, digits.View(), format.scale, out);
    }
    if (state == ValueState::Invalid) {
        out.resize(mark);
        AppendInvalid(bytes, out);
    }
    return state;
}

char* DecodeTo(const FieldFormat& format, std::string_view bytes, const DecodeOptions& options,
               char* out, ValueState& state) {
    Digits digits;
    state = ValueState::Invalid;
    if (!bytes.empty() && static_cast<int>(bytes.size()) == format.length) {
        switch (format.type) {
            case FieldType::Zoned: state = ZonedDigits(format, bytes, options.charset, digits); break;
            case FieldType::Packed: state = PackedDigits(format, bytes, options.charset, digits); break;
            case FieldType::Binary:
            case FieldType::NativeBinary: state = BinaryDigits(format, bytes, digits); break;
            default: {  // text, floats and edited numbers: through Decode
                thread_local std::string text;
                text.clear();
                state = Decode(format, bytes, options, text);
                std::memcpy(out, text.data(), text.size());
                return out + text.size();
            }
        }
    } else if (bytes.empty() && format.type != FieldType::Text) {
        state = ValueState::Empty;
    }
    if (state == ValueState::Empty) return out;
    if (state == ValueState::Value && Fits(digits.View(), format.scale))
        return PutDecimal(digits.negative, digits.View(), format.scale, out);
    // Rare: invalid bytes, or a scale beyond the composed form.
    thread_local std::string text;
    text.clear();
    state = Decode(format, bytes, options, text);
    std::memcpy(out, text.data(), text.size());
    return out + text.size();
}

std::optional<std::string> CanonicalNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    const size_t point = text.find('.');
    std::string_view whole = text.substr(0, point);
    std::string_view part = point == std::string_view::npos ? std::string_view() : text.substr(point + 1);
    auto digitsOnly = [](std::string_view s) { return s.find_first_not_of("0123456789") == std::string_view::npos; };
    if ((whole.empty() && part.empty()) || !digitsOnly(whole) || !digitsOnly(part)) return std::nullopt;
    while (!part.empty() && part.back() == '0') part.remove_suffix(1);
    std::string out;
    AppendDecimal(negative, std::string(whole) + std::string(part), static_cast<int>(part.size()), out);
    return out;
}

const char* TypeName(FieldType type) {
    switch (type) {
        case FieldType::Text: return "text";
        case FieldType::Zoned: return "zoned";
        case FieldType::Packed: return "packed";
        case FieldType::Binary: return "binary";
        case FieldType::NativeBinary: return "comp-5";
        case FieldType::Float: return "float";
        case FieldType::Edited: return "edited";
    }
    return "text";
}

bool TypeFromName(std::string_view name, FieldType& type) {
    for (FieldType t : {FieldType::Text, FieldType::Zoned, FieldType::Packed, FieldType::Binary,
                        FieldType::NativeBinary, FieldType::Float, FieldType::Edited}) {
        std::string_view n = TypeName(t);
        if (n.size() != name.size()) continue;
        bool same = true;
        for (size_t i = 0; i < n.size() && same; ++i)
            same = n[i] == std::tolower(static_cast<unsigned char>(name[i]));
        if (same) {
            type = t;
            return true;
        }
    }
    return false;
}

}  // namespace velmor::copybook
