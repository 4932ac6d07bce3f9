#include "datatools/textcells.h"

#include <locale.h>
#include <wctype.h>

#include <cctype>

#include "data/casefold.h"

namespace velmor::datatools {

namespace {

// Length of the well-formed UTF-8 sequence at At; 0 when there is none (an
// ASCII byte is a sequence of 1).
std::size_t SequenceAt(std::string_view s, std::size_t at, char32_t* code = nullptr) {
    const auto b = static_cast<unsigned char>(s[at]);
    std::size_t n = 0;
    char32_t c = 0;
    if (b < 0x80) {
        n = 1;
        c = b;
    } else if (b >= 0xC2 && b <= 0xDF) {
        n = 2;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        n = 3;
        c = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        n = 4;
        c = b & 0x07;
    } else {
        return 0;
    }
    if (at + n > s.size()) return 0;
    for (std::size_t i = 1; i < n; ++i) {
        const auto t = static_cast<unsigned char>(s[at + i]);
        if ((t & 0xC0) != 0x80) return 0;
        c = (c << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and values past Unicode are no characters.
    if ((n == 3 && c < 0x800) || (n == 4 && (c < 0x10000 || c > 0x10FFFF)) ||
        (c >= 0xD800 && c <= 0xDFFF)) {
        return 0;
    }
    if (code) *code = c;
    return n;
}

locale_t UnicodeLocale() {
    static const locale_t locale = ::newlocale(LC_CTYPE_MASK, "C.UTF-8", locale_t{});
    return locale;
}

char32_t CaseCode(char32_t c, bool upper) {
    if (c < 0x80) return static_cast<char32_t>(upper ? std::toupper(static_cast<int>(c))
                                                     : std::tolower(static_cast<int>(c)));
    const locale_t locale = UnicodeLocale();
    if (locale == locale_t{}) return c;
    const auto w = static_cast<wint_t>(c);
    return static_cast<char32_t>(upper ? ::towupper_l(w, locale) : ::towlower_l(w, locale));
}

// A byte that is not UTF-8, as a Windows-1252 letter.
unsigned char CaseByte(unsigned char b, bool upper) {
    if (b < 0x80) return static_cast<unsigned char>(upper ? std::toupper(b) : std::tolower(b));
    if (upper) {
        if (b >= 0xE0 && b <= 0xFE && b != 0xF7) return b - 0x20;
        if (b == 0x9A || b == 0x9C || b == 0x9E) return b - 0x10;
        if (b == 0xFF) return 0x9F;
    } else {
        if (b >= 0xC0 && b <= 0xDE && b != 0xD7) return b + 0x20;
        if (b == 0x8A || b == 0x8C || b == 0x8E) return b + 0x10;
        if (b == 0x9F) return 0xFF;
    }
    return b;
}

}  // namespace

std::size_t TextWidth(std::string_view bytes) {
    std::size_t width = 0;
    for (std::size_t at = 0; at < bytes.size(); ++width) {
        const std::size_t n = SequenceAt(bytes, at);
        at += n == 0 ? 1 : n;
    }
    return width;
}

std::string_view CutToWidth(std::string_view bytes, std::size_t width) {
    std::size_t at = 0;
    for (std::size_t shown = 0; at < bytes.size() && shown < width; ++shown) {
        const std::size_t n = SequenceAt(bytes, at);
        at += n == 0 ? 1 : n;
    }
    return bytes.substr(0, at);
}

void AppendPadded(std::string_view bytes, std::size_t width, std::string& out) {
    const std::string_view cut = CutToWidth(bytes, width);
    out.append(cut);
    out.append(width - TextWidth(cut), ' ');
}

std::string CaseText(std::string_view bytes, LetterCase letterCase) {
    std::string out;
    out.reserve(bytes.size());
    bool startOfWord = true;
    for (std::size_t at = 0; at < bytes.size();) {
        const bool upper = letterCase == LetterCase::Upper ||
                           (letterCase == LetterCase::Proper && startOfWord);
        startOfWord = bytes[at] == ' ';
        char32_t code = 0;
        const std::size_t n = SequenceAt(bytes, at, &code);
        if (n == 0) {
            out += static_cast<char>(CaseByte(static_cast<unsigned char>(bytes[at]), upper));
            ++at;
        } else {
            data::AppendUtf8(CaseCode(code, upper), out);
            at += n;
        }
    }
    return out;
}

}  // namespace velmor::datatools
