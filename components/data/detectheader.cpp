// The header test of detection: does the first record hold names or data?
#include <algorithm>
#include <cctype>
#include <map>

#include "data/detection.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

enum class Kind { Missing, Integer, Decimal, Text };

struct Shape {
    Kind kind = Kind::Missing;
    size_t length = 0;
    bool digit = false;
    std::string pattern;  ///< letters as 'a', digits as '9', signs as '+', runs made one
};

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A plain number: sign, digits, one decimal point, an exponent.
Kind NumberKind(std::string_view v) {
    size_t i = 0;
    if (i < v.size() && (v[i] == '+' || v[i] == '-')) ++i;
    size_t digits = 0;
    bool point = false;
    for (; i < v.size(); ++i) {
        if (IsDigit(v[i])) {
            ++digits;
        } else if (v[i] == '.' && !point) {
            point = true;
        } else {
            break;
        }
    }
    if (digits == 0) return Kind::Text;
    if (i < v.size() && (v[i] == 'e' || v[i] == 'E')) {
        size_t at = i + 1;
        if (at < v.size() && (v[at] == '+' || v[at] == '-')) ++at;
        size_t exponent = at;
        while (at < v.size() && IsDigit(v[at])) ++at;
        if (at == exponent) return Kind::Text;
        i = at;
        point = true;
    }
    if (i != v.size()) return Kind::Text;
    return point ? Kind::Decimal : Kind::Integer;
}

Shape ShapeOf(std::string_view raw) {
    std::string v = util::Trim(raw);
    Shape s;
    s.length = v.size();
    s.digit = std::any_of(v.begin(), v.end(), IsDigit);
    // The usual marks of a missing value are no evidence either way.
    static const char* const kMissing[] = {"", "NA", "N/A", "NaN", "nan", "null", "NULL", "-"};
    for (const char* m : kMissing) {
        if (v == m) return s;
    }
    s.kind = NumberKind(v);
    for (char ch : v) {
        const auto u = static_cast<unsigned char>(ch);
        char c = IsDigit(ch) ? '9' : (std::isalpha(u) || u >= 0x80) ? 'a' : ch == '-' ? '+' : ch;
        if (s.pattern.empty() || s.pattern.back() != c) s.pattern += c;
    }
    return s;
}

bool Numeric(Kind k) {
    return k == Kind::Integer || k == Kind::Decimal;
}

struct Column {
    size_t values = 0, integers = 0, decimals = 0, texts = 0, withDigit = 0;
    bool recurs = false;  ///< the candidate's own value occurs below
    size_t minLength = SIZE_MAX, maxLength = 0;
    std::map<std::string, size_t> patterns;
};

// The kind most values below share (nine in ten), Missing when they differ.
Kind ColumnKind(const Column& c) {
    const size_t numbers = c.integers + c.decimals;
    if (numbers * 10 >= c.values * 9) {
        // A column of decimals may hold a few whole numbers, and the reverse.
        return c.decimals * 2 >= numbers ? Kind::Decimal : Kind::Integer;
    }
    if (c.texts * 10 >= c.values * 9) return Kind::Text;
    return Kind::Missing;
}

int ColumnVote(const Shape& head, const Column& c) {
    if (c.values == 0) return 0;
    const Kind kind = ColumnKind(c);
    if (head.kind == Kind::Missing) return Numeric(kind) && head.length == 0 ? 1 : 0;
    // A value that recurs in its column ("Sub" above "Sub") is data.
    if (c.recurs) return -1;
    const bool headNumber = Numeric(head.kind);
    if (kind == Kind::Missing) return 0;
    if (headNumber != Numeric(kind)) return 1;
    // A whole number over decimals (a year over measurements) is a name.
    if (head.kind == Kind::Integer && kind == Kind::Decimal && c.integers * 2 < c.decimals)
        return 1;
    // Of the same kind as the values below, a length of its own says
    // little: a total over its parts, a longer code. Only one that fits
    // among them is evidence (of data).
    const bool fits = head.length >= c.minLength && head.length <= c.maxLength;
    if (headNumber) return fits ? -1 : 0;
    if (c.minLength == c.maxLength && fits) return -1;
    // Text of varying length: names without digits over values that all
    // have some (addresses, codes) are telling; anything else is not.
    if (!head.digit && c.withDigit == c.values) return 1;
    // Values of one built shape (coordinates, codes with marks) tell a
    // name from data by that shape; plain words are too common in both.
    auto common = std::max_element(c.patterns.begin(), c.patterns.end(),
                                   [](auto& a, auto& b) { return a.second < b.second; });
    if (common == c.patterns.end() || common->second * 10 < c.values * 9) return 0;
    const std::string& shape = common->first;
    if (shape.find_first_not_of("a ") == std::string::npos) return 0;
    return head.pattern == shape ? -1 : 1;
}

}  // namespace

int HeaderVote(const std::vector<std::vector<std::string>>& rows) {
    if (rows.size() < 2) return 0;
    int vote = 0;
    const auto& head = rows.front();
    for (size_t col = 0; col < head.size(); ++col) {
        Column c;
        const std::string own = util::Trim(head[col]);
        for (size_t r = 1; r < rows.size(); ++r) {
            if (col >= rows[r].size()) continue;
            Shape s = ShapeOf(rows[r][col]);
            if (s.kind == Kind::Missing) continue;
            c.recurs = c.recurs || util::Trim(rows[r][col]) == own;
            ++c.values;
            c.integers += s.kind == Kind::Integer;
            c.decimals += s.kind == Kind::Decimal;
            c.texts += s.kind == Kind::Text;
            c.withDigit += s.digit;
            c.minLength = std::min(c.minLength, s.length);
            c.maxLength = std::max(c.maxLength, s.length);
            if (s.kind == Kind::Text) ++c.patterns[s.pattern];
        }
        vote += ColumnVote(ShapeOf(head[col]), c);
    }
    return vote;
}

}  // namespace velmor::data
