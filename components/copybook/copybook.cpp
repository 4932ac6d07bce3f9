#include "copybook/copybook.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "copybook/decode.h"
#include "copybook/picture.h"

namespace velmor::copybook {

std::string CopybookError::Text() const {
    return "line " + std::to_string(line) + ", column " + std::to_string(column) + ": " + message;
}

namespace {

std::string Upper(std::string_view s) {
    std::string u(s);
    for (char& c : u) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return u;
}

struct Token {
    std::string text;
    std::string upper;
    int line = 0, column = 0;
    bool IsPeriod() const { return text == "."; }
};

// The program text of the copybook: columns 8 to 72 of each line (column 7
// is the indicator), continuation lines joined, comment lines dropped; Pos
// keeps each character's line and column for messages.
struct Source {
    std::string text;
    std::vector<std::pair<int, int>> pos;

    void Add(char c, int line, int column) {
        text.push_back(c);
        pos.emplace_back(line, column);
    }
};

Source Prepare(std::string_view all) {
    Source src;
    bool inLiteral = false;
    char quote = 0;
    int lineNo = 0;
    size_t at = 0;
    while (at <= all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string_view::npos) end = all.size();
        std::string line(all.substr(at, end - at));
        at = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        for (char& c : line)
            if (c == '\t') c = ' ';
        if (line.size() > 72) line.resize(72);
        const char indicator = line.size() > 6 ? line[6] : ' ';
        if (indicator == '*' || indicator == '/' || indicator == 'D' || indicator == 'd') continue;
        const std::string body = line.size() > 7 ? line.substr(7) : std::string();
        size_t from = 0;
        if (indicator == '-') {
            if (inLiteral) {
                const size_t q = body.find(quote);
                from = q == std::string::npos ? body.size() : q + 1;
            } else {
                while (!src.text.empty() && src.text.back() == ' ') {
                    src.text.pop_back();
                    src.pos.pop_back();
                }
                from = body.find_first_not_of(' ');
                if (from == std::string::npos) from = body.size();
            }
        } else {
            inLiteral = false;  // an unclosed literal ends with its line
            src.Add(' ', lineNo, 1);
        }
        for (size_t i = from; i < body.size(); ++i) {
            const char c = body[i];
            if (inLiteral && c == quote) inLiteral = false;
            else if (!inLiteral && (c == '\'' || c == '"')) inLiteral = true, quote = c;
            src.Add(c, lineNo, static_cast<int>(i) + 8);
        }
    }
    src.Add(' ', lineNo, 1);
    return src;
}

std::vector<Token> Tokenize(const Source& src) {
    std::vector<Token> tokens;
    const std::string& t = src.text;
    size_t i = 0;
    auto separator = [&](size_t k) { return k >= t.size() || t[k] == ' '; };
    while (i < t.size()) {
        if (t[i] == ' ' || ((t[i] == ',' || t[i] == ';') && separator(i + 1))) {
            ++i;
            continue;
        }
        Token tok;
        tok.line = src.pos[i].first;
        tok.column = src.pos[i].second;
        if (t[i] == '.' && separator(i + 1)) {
            tok.text = ".";
            tokens.push_back(tok);
            ++i;
            continue;
        }
        size_t j = i;
        while (j < t.size() && t[j] != ' ') {
            if (t[j] == '\'' || t[j] == '"') {
                const char q = t[j++];
                while (j < t.size() && t[j] != q) ++j;
                if (j < t.size()) ++j;
                continue;
            }
            if ((t[j] == '.' || t[j] == ',' || t[j] == ';') && separator(j + 1)) break;
            ++j;
        }
        tok.text = t.substr(i, j - i);
        tok.upper = Upper(tok.text);
        tokens.push_back(tok);
        i = j;
    }
    return tokens;
}

bool IsNumber(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(),
                                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); });
}

// The usage a word names, "" for none; Known is false for usages this reader
// refuses (INDEX, POINTER, NATIONAL, ...).
std::string UsageOf(const std::string& w, bool& known) {
    known = true;
    static const std::map<std::string, std::string> kUsages = {
        {"DISPLAY", "DISPLAY"},       {"COMP", "COMP"},           {"COMPUTATIONAL", "COMP"},
        {"BINARY", "BINARY"},         {"COMP-4", "COMP-4"},       {"COMPUTATIONAL-4", "COMP-4"},
        {"COMP-5", "COMP-5"},         {"COMPUTATIONAL-5", "COMP-5"}, {"COMP-3", "COMP-3"},
        {"COMPUTATIONAL-3", "COMP-3"}, {"PACKED-DECIMAL", "PACKED-DECIMAL"},
        {"COMP-1", "COMP-1"},         {"COMPUTATIONAL-1", "COMP-1"}, {"COMP-2", "COMP-2"},
        {"COMPUTATIONAL-2", "COMP-2"}};
    if (auto it = kUsages.find(w); it != kUsages.end()) return it->second;
    known = !(w == "INDEX" || w == "POINTER" || w == "NATIONAL" || w == "DISPLAY-1" ||
              w.rfind("COMP-", 0) == 0 || w.rfind("COMPUTATIONAL-", 0) == 0 ||
              w == "PROCEDURE-POINTER" || w == "FUNCTION-POINTER" || w == "OBJECT");
    return {};
}

bool IsFigurative(const std::string& w) {
    static const char* const kWords[] = {"ZERO", "ZEROS", "ZEROES", "SPACE", "SPACES",
                                         "HIGH-VALUE", "HIGH-VALUES", "LOW-VALUE", "LOW-VALUES",
                                         "QUOTE", "QUOTES", "NULL", "NULLS", "ALL", "THRU",
                                         "THROUGH", "IS", "ARE"};
    for (const char* k : kWords)
        if (w == k) return true;
    return false;
}

bool IsLiteral(const Token& t) {
    const std::string& s = t.text;
    if (s.empty()) return false;
    if (s.find('\'') != std::string::npos || s.find('"') != std::string::npos) return true;
    const size_t start = (s[0] == '+' || s[0] == '-') ? 1 : 0;
    return start < s.size() && s.find_first_not_of("0123456789.,", start) == std::string::npos &&
           std::isdigit(static_cast<unsigned char>(s[start])) != 0;
}

}  // namespace

// Beyond this many fields a layout is no use in a viewer and costs memory.
constexpr std::int64_t kMaxItems = 1000000;
constexpr std::int64_t kMaxRecord = std::int64_t{1} << 40;

struct Parser {
    const std::vector<Token>& tokens;
    Copybook& book;
    CopybookError& error;
    size_t at = 0;

    bool Fail(const Token& t, const std::string& message) {
        error.line = t.line;
        error.column = t.column;
        error.message = message;
        return false;
    }
    bool FailEnd(const std::string& message) {
        if (!tokens.empty()) {
            Token end = tokens.back();
            end.column += static_cast<int>(end.text.size());
            return Fail(end, message);
        }
        error = {1, 1, message};
        return false;
    }
    const Token* Peek() const { return at < tokens.size() ? &tokens[at] : nullptr; }
    bool PeekIs(const char* word) const { return Peek() && Peek()->upper == word; }
    void SkipOptional(const char* word) {
        if (PeekIs(word)) ++at;
    }
    // The next word, or a failure saying what was expected.
    const Token* Need(const std::string& what) {
        const Token* t = Peek();
        if (!t || t->IsPeriod()) {
            if (t) Fail(*t, "expected " + what + ", found '.'");
            else FailEnd("expected " + what + " before the end of the copybook");
            return nullptr;
        }
        ++at;
        return t;
    }

    bool Entry(std::vector<int>& stack);
    bool Clause(Copybook::Node& node, const Token& t);
    bool Finish(int index, const Copybook::Node* parent);
};

bool Parser::Clause(Copybook::Node& node, const Token& t) {
    const std::string& w = t.upper;
    if (w == "PIC" || w == "PICTURE") {
        SkipOptional("IS");
        const Token* p = Need("a picture string after " + w);
        if (!p) return false;
        node.picture = p->upper;
        Picture pic;
        std::string message;
        int errorAt = 0;
        if (!ParsePicture(p->text, pic, message, errorAt)) {
            Token where = *p;
            where.column += std::min(errorAt, static_cast<int>(p->text.size()) - 1);
            return Fail(where, message);
        }
        return true;
    }
    if (w == "USAGE") {
        SkipOptional("IS");
        const Token* u = Need("a usage (DISPLAY, COMP, COMP-3, ...)");
        if (!u) return false;
        bool known = false;
        node.usage = UsageOf(u->upper, known);
        if (node.usage.empty())
            return Fail(*u, known ? "expected a usage (DISPLAY, COMP, BINARY, COMP-1 to COMP-5, "
                                    "PACKED-DECIMAL), found '" + u->text + "'"
                                  : "USAGE " + u->upper + " is not supported");
        return true;
    }
    bool known = true;
    if (std::string usage = UsageOf(w, known); !usage.empty()) {
        node.usage = usage;
        return true;
    }
    if (!known) return Fail(t, "USAGE " + w + " is not supported");
    if (w == "SIGN" || w == "LEADING" || w == "TRAILING") {
        const Token* s = &t;
        if (w == "SIGN") {
            SkipOptional("IS");
            s = Need("LEADING or TRAILING after SIGN");
            if (!s) return false;
            if (s->upper != "LEADING" && s->upper != "TRAILING")
                return Fail(*s, "expected LEADING or TRAILING after SIGN, found '" + s->text + "'");
        }
        node.signGiven = true;
        node.signLeading = s->upper == "LEADING";
        if (PeekIs("SEPARATE")) {
            ++at;
            node.signSeparate = true;
            SkipOptional("CHARACTER");
        }
        return true;
    }
    if (w == "OCCURS") {
        const Token* n = Need("a count after OCCURS");
        if (!n) return false;
        if (!IsNumber(n->text) || n->text.size() > 7)
            return Fail(*n, "expected a count after OCCURS, found '" + n->text + "'");
        node.occursMax = node.occursMin = std::stoi(n->text);
        if (PeekIs("TO")) {
            ++at;
            const Token* m = Need("the largest count after TO");
            if (!m) return false;
            if (!IsNumber(m->text) || m->text.size() > 7 || std::stoi(m->text) < node.occursMin)
                return Fail(*m, "expected a count of at least " + n->text + " after TO");
            node.occursMax = std::stoi(m->text);
        }
        SkipOptional("TIMES");
        if (PeekIs("DEPENDING")) {
            ++at;
            SkipOptional("ON");
            const Token* d = Need("the name of the counter after DEPENDING ON");
            if (!d) return false;
            node.dependsOn = d->upper;
            book.variable_ = true;
        } else if (node.occursMin != node.occursMax) {
            return Fail(*n, "expected DEPENDING ON after OCCURS " + n->text + " TO ...");
        }
        if (node.occursMax < 1)
            return Fail(*n, "expected a count of at least 1 after OCCURS");
        // ASCENDING/DESCENDING KEY and INDEXED BY name things a program uses.
        while (PeekIs("ASCENDING") || PeekIs("DESCENDING") || PeekIs("INDEXED")) {
            ++at;
            while (Peek() && !Peek()->IsPeriod() &&
                   (Peek()->upper == "KEY" || Peek()->upper == "IS" || Peek()->upper == "BY" ||
                    (Peek()->upper != "ASCENDING" && Peek()->upper != "DESCENDING" &&
                     Peek()->upper != "INDEXED" && Peek()->upper != "PIC" &&
                     Peek()->upper != "PICTURE" && Peek()->upper != "USAGE" &&
                     Peek()->upper != "VALUE" && UsageOf(Peek()->upper, known).empty())))
                ++at;
        }
        return true;
    }
    if (w == "REDEFINES") {
        const Token* r = Need("the name of the redefined item after REDEFINES");
        if (!r) return false;
        node.redefines = r->upper;
        return true;
    }
    if (w == "RENAMES") return Fail(t, "RENAMES (level 66) is not supported");
    if (w == "SYNC" || w == "SYNCHRONIZED") {
        if (PeekIs("LEFT") || PeekIs("RIGHT")) ++at;
        book.notes_.push_back("line " + std::to_string(t.line) + ": " + w +
                              " ignored; no slack bytes are added");
        return true;
    }
    if (w == "JUST" || w == "JUSTIFIED") {
        SkipOptional("RIGHT");
        return true;
    }
    if (w == "BLANK") {
        SkipOptional("WHEN");
        const Token* z = Need("ZERO after BLANK WHEN");
        return z != nullptr;
    }
    if (w == "GLOBAL" || w == "EXTERNAL") return true;
    if (w == "VALUE" || w == "VALUES") {
        while (Peek() && !Peek()->IsPeriod() && (IsLiteral(*Peek()) || IsFigurative(Peek()->upper)))
            ++at;
        return true;
    }
    return Fail(t, "expected a clause (PIC, USAGE, OCCURS, REDEFINES, SIGN, VALUE) or '.', found '" +
                       t.text + "'");
}

bool Parser::Entry(std::vector<int>& stack) {
    const Token& lv = tokens[at++];
    if (!IsNumber(lv.text) || lv.text.size() > 2)
        return Fail(lv, "expected a level number (01 to 49, 66, 77 or 88), found '" + lv.text + "'");
    const int level = std::stoi(lv.text);
    if (level == 66) return Fail(lv, "level 66 (RENAMES) is not supported");
    if (level == 0 || (level > 49 && level != 77 && level != 88))
        return Fail(lv, "expected a level number (01 to 49, 66, 77 or 88), found '" + lv.text + "'");
    Copybook::Node node;
    node.level = level;
    node.line = lv.line;
    node.column = lv.column;
    const Token* name = Peek();
    bool known = true;
    if (name && !name->IsPeriod() && (name->upper == "FILLER" ||
                                      (name->upper != "PIC" && name->upper != "PICTURE" &&
                                       name->upper != "USAGE" && name->upper != "REDEFINES" &&
                                       name->upper != "OCCURS" && name->upper != "VALUE" &&
                                       UsageOf(name->upper, known).empty() && known))) {
        ++at;
        if (name->text.find_first_of("'\"().") != std::string::npos)
            return Fail(*name, "expected a data name after the level number, found '" + name->text + "'");
        node.name = name->upper;
    }
    node.filler = node.name.empty() || node.name == "FILLER";
    if (level == 88) {
        while (Peek() && !Peek()->IsPeriod()) ++at;
        if (!Peek()) return FailEnd("expected '.' at the end of the entry");
        ++at;
        if (stack.size() < 2) return Fail(lv, "expected a data item before the level-88 condition");
        book.nodes_[static_cast<size_t>(stack.back())].conditions.push_back(node.name);
        return true;
    }
    for (;;) {
        const Token* t = Peek();
        if (!t) return FailEnd("expected '.' at the end of the entry");
        ++at;
        if (t->IsPeriod()) break;
        if (!Clause(node, *t)) return false;
    }
    const int top = (level == 1 || level == 77) ? 0 : level;
    while (stack.size() > 1 && top <= book.nodes_[static_cast<size_t>(stack.back())].level &&
           book.nodes_[static_cast<size_t>(stack.back())].level != 0)
        stack.pop_back();
    if (top != 0 && stack.size() == 1)
        return Fail(lv, "expected level 01 or 77 before level " + lv.text);
    const int parent = top == 0 ? 0 : stack.back();
    if (top == 0) stack.resize(1);
    if (!book.nodes_[static_cast<size_t>(parent)].picture.empty())
        return Fail(lv, "expected no items below " + book.nodes_[static_cast<size_t>(parent)].name +
                            ", which has a PICTURE");
    const int index = static_cast<int>(book.nodes_.size());
    book.nodes_.push_back(std::move(node));
    book.nodes_[static_cast<size_t>(parent)].children.push_back(index);
    stack.push_back(index);
    return true;
}

// Settles the format of elementary items (usage and sign inherited from
// their groups) and every item's size.
bool Parser::Finish(int index, const Copybook::Node* parent) {
    Copybook::Node& n = book.nodes_[static_cast<size_t>(index)];
    if (parent && parent->level != 0) {
        if (n.usage.empty()) n.usage = parent->usage;
        if (!n.signGiven && parent->signGiven) {
            n.signGiven = true;
            n.signLeading = parent->signLeading;
            n.signSeparate = parent->signSeparate;
        }
    }
    const Token where{"", "", std::max(n.line, 1), std::max(n.column, 1)};  // the record's root has no place of its own
    if (!n.children.empty()) {
        std::int64_t size = 0, area = 0;
        n.items = 0;
        for (int c : n.children) {
            if (!Finish(c, &n)) return false;
            const Copybook::Node& child = book.nodes_[static_cast<size_t>(c)];
            // The child's entry holds the OCCURS that overflows (the record's root has no line).
            const Token childAt{"", "", child.line, child.column};
            if (child.size > kMaxRecord / child.occursMax)
                return Fail(childAt, "expected a record of at most 1 TiB");
            const std::int64_t bytes = child.size * child.occursMax;
            n.items += child.items * child.occursMax;
            if (n.items > kMaxItems)
                return Fail(childAt, "expected at most " + std::to_string(kMaxItems) +
                                       " fields in a record (OCCURS counts multiplied)");
            if (child.redefines.empty()) {
                size += area;
                area = bytes;
            } else {
                area = std::max(area, bytes);
            }
        }
        n.size = size + area;
        if (n.size > kMaxRecord) return Fail(where, "expected a record of at most 1 TiB");
        return true;
    }
    if (n.level == 0) return FailEnd("expected a data description entry such as 01 RECORD-NAME.");
    FieldFormat& f = n.format;
    f.picture = n.picture;
    f.usage = n.usage.empty() ? "DISPLAY" : n.usage;
    if (f.usage == "COMP-1" || f.usage == "COMP-2") {
        if (!n.picture.empty()) return Fail(where, "expected no PICTURE with " + f.usage);
        f.type = FieldType::Float;
        f.length = f.usage == "COMP-1" ? 4 : 8;
        f.sign = SignForm::TrailingOverpunch;
        n.size = f.length;
        return true;
    }
    if (n.picture.empty()) return Fail(where, "expected a PICTURE clause for the elementary item " +
                                               (n.filler ? std::string("FILLER") : n.name));
    Picture pic;
    std::string message;
    int errorAt = 0;
    ParsePicture(n.picture, pic, message, errorAt);  // checked when read
    f.digits = pic.digits;
    f.scale = pic.scale;
    if (pic.kind != Picture::Kind::Numeric && f.usage != "DISPLAY")
        return Fail(where, "expected a numeric picture (9, S, V, P) with USAGE " + f.usage);
    if (pic.kind == Picture::Kind::Alphanumeric) {
        f.type = FieldType::Text;
        f.usage.clear();
        f.length = pic.length;
    } else if (pic.kind == Picture::Kind::Edited) {
        f.type = FieldType::Edited;
        f.length = pic.length;
        f.sign = pic.isSigned ? SignForm::TrailingOverpunch : SignForm::None;
    } else {
        if (pic.isSigned)
            f.sign = !n.signGiven ? SignForm::TrailingOverpunch
                     : n.signLeading ? (n.signSeparate ? SignForm::LeadingSeparate
                                                       : SignForm::LeadingOverpunch)
                                     : (n.signSeparate ? SignForm::TrailingSeparate
                                                       : SignForm::TrailingOverpunch);
        if (f.usage == "DISPLAY") {
            f.type = FieldType::Zoned;
            f.length = pic.digits + ((f.sign == SignForm::LeadingSeparate ||
                                      f.sign == SignForm::TrailingSeparate) ? 1 : 0);
        } else if (f.usage == "COMP-3" || f.usage == "PACKED-DECIMAL") {
            f.type = FieldType::Packed;
            f.length = pic.digits / 2 + 1;
        } else {
            if (pic.digits > 18) return Fail(where, "expected at most 18 digits in a binary item");
            f.type = f.usage == "COMP-5" ? FieldType::NativeBinary : FieldType::Binary;
            f.length = pic.digits <= 4 ? 2 : pic.digits <= 9 ? 4 : 8;
        }
    }
    n.size = f.length;
    return true;
}

std::optional<Copybook> Copybook::Parse(std::string_view text, CopybookError& error) {
    Copybook book;
    book.nodes_.emplace_back();  // the root: the records are its children
    const Source src = Prepare(text);
    const std::vector<Token> tokens = Tokenize(src);
    Parser parser{tokens, book, error};
    std::vector<int> stack{0};
    while (parser.at < tokens.size())
        if (!parser.Entry(stack)) return std::nullopt;
    if (!parser.Finish(0, nullptr)) return std::nullopt;
    // A REDEFINES must name the item its area starts with, or another
    // redefinition of it, directly before it.
    for (const Node& n : book.nodes_) {
        std::string base;
        for (int c : n.children) {
            const Node& child = book.nodes_[static_cast<size_t>(c)];
            if (child.redefines.empty()) {
                base = child.name;
            } else if (child.redefines != base) {
                parser.Fail(Token{"", "", child.line, child.column},
                            "expected REDEFINES to name " +
                                (base.empty() ? std::string("the item before it") : base));
                return std::nullopt;
            }
            if (child.occursMax > 1 && child.level == 1) {
                parser.Fail(Token{"", "", child.line, child.column}, "expected no OCCURS at level 01");
                return std::nullopt;
            }
        }
    }
    return book;
}

}  // namespace velmor::copybook
