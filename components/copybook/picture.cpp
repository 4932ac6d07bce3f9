#include "copybook/picture.h"

#include <cctype>
#include <vector>

namespace velmor::copybook {

namespace {

// Expands repeat counts ("9(5)" to "99999"); CR and DB stay two letters.
bool Expand(std::string_view text, std::string& out, std::vector<int>& origin, std::string& error,
            int& errorAt) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(text[i])));
        if (c == '(') {
            size_t close = text.find(')', i);
            long count = 0;
            size_t d = i + 1;
            for (; d < close && d < text.size() && std::isdigit(static_cast<unsigned char>(text[d]));
                 ++d)
                if (count <= 100000) count = count * 10 + (text[d] - '0');  // past the limit stays past it
            if (out.empty() || close == std::string_view::npos || d != close || d == i + 1 ||
                count < 1 || count > 100000) {
                error = "expected a repeat count such as (5) after a picture character";
                errorAt = static_cast<int>(i);
                return false;
            }
            out.append(static_cast<size_t>(count - 1), out.back());
            origin.resize(out.size(), origin.back());
            i = close;
            continue;
        }
        out.push_back(c);
        origin.push_back(static_cast<int>(i));
    }
    return true;
}

bool Numeric(const std::string& s, Picture& p, std::string& error, int& errorAt) {
    p.kind = Picture::Kind::Numeric;
    size_t v = s.find('V');
    bool leadingP = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if ((c == 'S' && i != 0) || (c == 'V' && i != v)) {
            error = c == 'S' ? "expected S only as the first picture character"
                             : "expected at most one V";
            errorAt = static_cast<int>(i);
            return false;
        }
        if (c == 'P' && p.digits == 0) leadingP = true;
        if (c == 'P' && p.digits > 0 && i + 1 < s.size() && s[i + 1] == '9') {
            error = "expected P only before or after all the 9s";
            errorAt = static_cast<int>(i);
            return false;
        }
        if (c == '9') ++p.digits;
    }
    p.isSigned = !s.empty() && s[0] == 'S';
    // The assumed point: at V, else left of leading Ps, else at the right end.
    const size_t point = v != std::string::npos ? v + 1 : (leadingP ? s.find('P') : s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '9' && s[i] != 'P') continue;
        if (i >= point) ++p.scale;
        else if (s[i] == 'P') --p.scale;
    }
    p.length = p.digits;
    if (p.digits == 0) {
        error = "expected at least one 9 in a numeric picture";
        errorAt = 0;
        return false;
    }
    return true;
}

bool Edited(const std::string& s, Picture& p, std::string& error, int& errorAt) {
    p.kind = Picture::Kind::Edited;
    bool point = false;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == 'S' || c == 'P') {
            error = "expected no S or P in an edited picture";
            errorAt = static_cast<int>(i);
            return false;
        }
        if (c == 'V' || c == '.') {
            point = true;
            if (c == 'V') continue;
        } else if (EditedDigitPosition(s, i)) {
            ++p.digits;
            if (point) ++p.scale;
        } else if (c == 'C' || c == 'D') {
            if (i + 1 >= s.size() || s[i + 1] != (c == 'C' ? 'R' : 'B') || i + 2 != s.size()) {
                error = "expected CR or DB only at the end of the picture";
                errorAt = static_cast<int>(i);
                return false;
            }
            p.symbols += s.substr(i, 2);
            break;
        }
        p.symbols.push_back(c);
    }
    p.isSigned = s.find_first_of("+-") != std::string::npos || s.find("CR") != std::string::npos ||
                 s.find("DB") != std::string::npos;
    p.length = static_cast<int>(p.symbols.size());
    if (p.digits == 0) {
        error = "expected a digit position (9, Z, * or a floating + - $) in an edited picture";
        errorAt = 0;
        return false;
    }
    return true;
}

bool Check(const std::string& s, Picture& picture, std::string& error, int& errorAt);

}  // namespace

bool EditedDigitPosition(std::string_view symbols, size_t i) {
    const char c = symbols[i];
    if (c == '9' || c == 'Z' || c == '*') return true;
    if (c != '+' && c != '-' && c != '$') return false;
    // The first of a floating string holds only the sign or the currency sign.
    while (i > 0) {
        const char before = symbols[--i];
        if (before == c) return true;
        if (std::string_view(",.B0/").find(before) == std::string_view::npos) return false;
    }
    return false;
}

bool ParsePicture(std::string_view text, Picture& picture, std::string& error, int& errorAt) {
    picture = {};
    std::string s;
    std::vector<int> origin;
    if (!Expand(text, s, origin, error, errorAt)) return false;
    if (!Check(s, picture, error, errorAt)) {
        if (errorAt >= 0 && errorAt < static_cast<int>(origin.size()))
            errorAt = origin[static_cast<size_t>(errorAt)];
        return false;
    }
    return true;
}

namespace {

bool Check(const std::string& s, Picture& picture, std::string& error, int& errorAt) {
    if (s.empty()) {
        error = "expected a picture string";
        errorAt = 0;
        return false;
    }
    bool alpha = false, numeric = true;
    for (size_t i = 0; i < s.size(); ++i) {
        const char c = s[i];
        if (c == 'X' || c == 'A') alpha = true;
        if (c != '9' && c != 'S' && c != 'V' && c != 'P') numeric = false;
        if (std::string_view("XA9SVPZ*+-CRDB0/.,$").find(c) == std::string_view::npos) {
            error = std::string("expected a picture character (X A 9 S V P Z * + - CR DB B 0 / . , $), "
                                "found '") + c + "'";
            errorAt = static_cast<int>(i);
            return false;
        }
    }
    bool ok = true;
    if (alpha) {
        const size_t bad = s.find_first_not_of("XA9B0/");
        if (bad != std::string::npos) {
            error = "expected only X, A, 9, B, 0 and / in an alphanumeric picture";
            errorAt = static_cast<int>(bad);
            return false;
        }
        picture.length = static_cast<int>(s.size());
    } else {
        ok = numeric ? Numeric(s, picture, error, errorAt) : Edited(s, picture, error, errorAt);
    }
    if (ok && picture.digits > kMaxDigits) {
        error = "expected at most " + std::to_string(kMaxDigits) + " digits";
        errorAt = 0;
        return false;
    }
    return ok;
}

}  // namespace
}  // namespace velmor::copybook
