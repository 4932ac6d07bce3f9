#include "util/utilities.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <system_error>

namespace velmor::util {

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
bool IsLetter(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
char UpperOf(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}
char LowerOf(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view TrimView(std::string_view text) {
    std::size_t first = 0;
    while (first < text.size() && IsBlank(text[first])) ++first;
    std::size_t last = text.size();
    while (last > first && IsBlank(text[last - 1])) --last;
    return text.substr(first, last - first);
}

// Reads the whole text as a plain decimal number; nullopt when it is not one.
std::optional<double> WholeTextAsNumber(std::string_view text) {
    if (text.empty()) return std::nullopt;
    std::size_t start = (text[0] == '+' || text[0] == '-') ? 1 : 0;
    if (start == text.size() || !(IsDigit(text[start]) || text[start] == '.')) return std::nullopt;
    double value = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data() + start, end, value);
    if (ptr != end || (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        return std::nullopt;
    }
    if (ec == std::errc::result_out_of_range && value == 0) value = 1;  // a huge number
    return text[0] == '-' ? -value : value;
}

}  // namespace

bool FileExists(std::string_view path) {
    // A name with a NUL byte would be cut short by the system and could
    // name some other file.
    if (path.empty() || path.find('\0') != std::string_view::npos) return false;
    std::error_code ec;
    return std::filesystem::is_regular_file(std::filesystem::path(std::string(path)), ec);
}

bool ToBoolean(std::string_view text) {
    std::string_view t = TrimView(text);
    if (EqualsNoCase(t, "yes") || EqualsNoCase(t, "true")) return true;
    std::optional<double> number = WholeTextAsNumber(t);
    return number.has_value() && *number != 0;
}

std::string Unquote(std::string_view text) {
    std::string_view t = TrimView(text);
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"') t = t.substr(1, t.size() - 2);
    return std::string(t);
}

std::string RemoveCharacter(std::string_view text, char character) {
    std::string result;
    result.reserve(text.size());
    for (char c : text) {
        if (c != character) result.push_back(c);
    }
    return result;
}

void RemoveText(std::string& text, std::string_view find, bool all) {
    if (find.empty()) return;
    std::size_t pos = text.find(find);
    while (pos != std::string::npos) {
        text.erase(pos, find.size());
        if (!all) return;
        pos = text.find(find, pos);
    }
}

void SplitAt(std::string_view text, std::string_view separator, std::string& before,
             std::string& after) {
    std::size_t pos = separator.empty() ? std::string_view::npos : text.find(separator);
    if (pos == std::string_view::npos) {
        before = std::string(text);
        after.clear();
        return;
    }
    before = std::string(text.substr(0, pos));
    after = std::string(text.substr(pos + separator.size()));
}

void SplitPath(std::string_view pathAndName, std::string& folder, std::string& name,
               std::string& extension) {
    std::size_t slash = pathAndName.rfind('/');
    std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    folder = std::string(pathAndName.substr(0, nameStart));
    std::string_view file = pathAndName.substr(nameStart);
    // A leading dot belongs to the name (".profile" has no extension).
    std::size_t dot = file.rfind('.');
    if (dot == std::string_view::npos || dot == 0) {
        name = std::string(file);
        extension.clear();
        return;
    }
    name = std::string(file.substr(0, dot));
    extension = std::string(file.substr(dot + 1));
}

std::vector<std::string> SplitList(std::string_view text, int separatorCode) {
    std::vector<std::string> parts;
    if (text.empty()) return parts;
    const char separator = static_cast<char>(separatorCode);
    std::size_t start = 0;
    for (;;) {
        std::size_t pos = text.find(separator, start);
        if (pos == std::string_view::npos) {
            parts.emplace_back(text.substr(start));
            return parts;
        }
        parts.emplace_back(text.substr(start, pos - start));
        start = pos + 1;
    }
}

std::int64_t FindLast(std::string_view text, std::string_view find) {
    if (find.empty()) return 0;
    std::size_t pos = text.rfind(find);
    return pos == std::string_view::npos ? 0 : static_cast<std::int64_t>(pos) + 1;
}

namespace {

constexpr std::string_view kReservedWords[] = {"dim", "set",    "let",     "call",    "sub",
                                               "end", "exit",   "true",    "false",   "nothing",
                                               "rem", "public", "private", "function"};

}  // namespace

bool IsReservedWord(std::string_view name) {
    for (std::string_view word : kReservedWords) {
        if (EqualsNoCase(word, name)) return true;
    }
    return false;
}

std::string ToVariableName(std::string_view text) {
    std::string name;
    name.reserve(text.size() + 1);
    for (char c : text) name.push_back(IsLetter(c) || IsDigit(c) ? c : '_');
    bool begetsReserved = false;
    for (std::string_view word : kReservedWords) {
        if (name.size() <= word.size() && EqualsNoCase(word.substr(0, name.size()), name))
            begetsReserved = true;
    }
    if (begetsReserved || IsDigit(name.front())) name.insert(name.begin(), '_');
    return name;
}

void NextLine(std::string& text, bool& more, std::string& line) {
    std::size_t end = text.find_first_of("\r\n");
    if (end == std::string::npos) {
        line = std::move(text);
        text.clear();
        more = false;
        return;
    }
    line = text.substr(0, end);
    std::size_t next = end + 1;
    if (text[end] == '\r' && next < text.size() && text[next] == '\n') ++next;
    text.erase(0, next);
    more = !text.empty();
}

std::string CharactersToRepresentation(std::string_view characters) {
    std::string result;
    result.reserve(characters.size() * 11);
    for (std::size_t i = 0; i < characters.size(); ++i) {
        if (i > 0) result += " & ";
        result += "CHR$(";
        result += std::to_string(static_cast<unsigned char>(characters[i]));
        result += ')';
    }
    return result;
}

namespace {

// Reads the text one term at a time; Pos is a 0-based index into Text.
class RepresentationReader {
public:
    explicit RepresentationReader(std::string_view text) : text_(text) {}

    RepresentationResult Read() {
        RepresentationResult result;
        SkipBlanks();
        if (pos_ == text_.size()) return result;
        for (;;) {
            if (!ReadTerm(result)) return result;
            SkipBlanks();
            if (pos_ == text_.size()) return result;
            if (text_[pos_] != '&') return Fail(result, "expected \"&\" between terms");
            ++pos_;
            SkipBlanks();
        }
    }

private:
    bool ReadTerm(RepresentationResult& result) {
        static constexpr std::string_view kOpen = "CHR$(";
        if (text_.substr(pos_, kOpen.size()) != kOpen) {
            Fail(result, "expected \"CHR$(\"");
            return false;
        }
        pos_ += kOpen.size();
        const std::size_t digitsStart = pos_;
        while (pos_ < text_.size() && IsDigit(text_[pos_]) && pos_ - digitsStart < 4) ++pos_;
        const std::size_t count = pos_ - digitsStart;
        if (count == 0) {
            Fail(result, "expected a character code from 0 to 255");
            return false;
        }
        if (count > 1 && text_[digitsStart] == '0') {
            pos_ = digitsStart;
            Fail(result, "a character code has no leading zeros");
            return false;
        }
        int code = 0;
        for (std::size_t i = digitsStart; i < pos_; ++i) code = code * 10 + (text_[i] - '0');
        if (code > 255 || (pos_ < text_.size() && IsDigit(text_[pos_]))) {
            pos_ = digitsStart;
            Fail(result, "a character code must be from 0 to 255");
            return false;
        }
        if (pos_ >= text_.size() || text_[pos_] != ')') {
            Fail(result, "expected \")\"");
            return false;
        }
        ++pos_;
        result.characters.push_back(static_cast<char>(static_cast<unsigned char>(code)));
        return true;
    }

    RepresentationResult& Fail(RepresentationResult& result, std::string_view what) {
        result.characters.clear();
        result.error = "Invalid representation at position " + std::to_string(pos_ + 1) + ": " +
                       std::string(what) + ".";
        return result;
    }

    void SkipBlanks() {
        while (pos_ < text_.size() && IsBlank(text_[pos_])) ++pos_;
    }

    std::string_view text_;
    std::size_t pos_ = 0;
};

}  // namespace

RepresentationResult RepresentationToCharacters(std::string_view representation) {
    return RepresentationReader(representation).Read();
}

double LeadingNumber(std::string_view text) {
    std::size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos])) ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t start = pos;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
    std::size_t end = pos;
    if (pos < text.size() && text[pos] == '.') {
        ++pos;
        while (pos < text.size() && IsDigit(text[pos])) ++pos;
        if (pos > end + 1 || end > start) end = pos;
    }
    if (end == start) return 0.0;
    double value = 0;
    auto result = std::from_chars(text.data() + start, text.data() + end, value);
    if (result.ec == std::errc::result_out_of_range) {
        // Too many digits before the point overflow; a tiny fraction is nothing.
        const std::string_view whole = text.substr(start, end - start);
        const bool big = whole.find_first_of("123456789") < whole.find('.');
        value = big ? std::numeric_limits<double>::infinity() : 0.0;
    }
    return negative ? -value : value;
}

std::int64_t RoundHalfEven(double value) {
    if (std::isnan(value)) return 0;
    constexpr double kTwoTo63 = 9223372036854775808.0;
    if (value >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
    if (value <= -kTwoTo63) return std::numeric_limits<std::int64_t>::min();
    double whole = std::floor(value);
    const double fraction = value - whole;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
    if (whole >= kTwoTo63) return std::numeric_limits<std::int64_t>::max();
    return static_cast<std::int64_t>(whole);
}

std::int64_t ReadWholeNumber(std::string_view text) {
    return RoundHalfEven(LeadingNumber(text));
}

std::string Trim(std::string_view text) {
    return std::string(TrimView(text));
}

std::string ToUpper(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = UpperOf(c);
    return result;
}

std::string ToLower(std::string_view text) {
    std::string result(text);
    for (char& c : result) c = LowerOf(c);
    return result;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (UpperOf(a[i]) != UpperOf(b[i])) return false;
    }
    return true;
}

}  // namespace velmor::util
