#include "datatools/layoutreport.h"

#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <charconv>

#include "copybook/copybook.h"
#include "data/fields.h"
#include "datatools/textcells.h"
#include "util/utilities.h"

namespace velmor::datatools {

namespace {

void AppendNumber(std::int64_t n, std::string& out) {
    char digits[24];
    auto [end, ec] = std::to_chars(digits, digits + sizeof digits, n);
    (void)ec;
    out.append(digits, end);
}

}  // namespace

std::string GetFieldName(const data::Fields& fields, int index, Casing casing) {
    const data::Field* field = fields.Item(index);
    if (field == nullptr) return {};
    std::string name = util::Trim(field->Name());
    switch (casing) {
        case Casing::Upper: return CaseText(name, LetterCase::Upper);
        case Casing::Lower: return CaseText(name, LetterCase::Lower);
        case Casing::Proper: return CaseText(name, LetterCase::Proper);
        case Casing::None: break;
    }
    return name;
}

std::size_t GetMaxWidth(const data::Fields& fields) {
    std::size_t widest = 0;
    for (int i = 1; i <= fields.Count(); ++i)
        widest = std::max(widest, TextWidth(fields.Item(i)->Name()));
    return widest;
}

namespace {

// A typed field's type and picture ("packed PIC S9(5)V99 COMP-3"); text
// fields add nothing, so their reports read as they always did.
void AppendType(const data::Field& field, const char* lead, std::string& out) {
    const std::string clauses = copybook::FormatClauses(field.Format());
    if (clauses.empty()) return;
    out += lead;
    out += copybook::TypeName(field.Format().type);
    out += ' ';
    out += clauses;
}

}  // namespace

std::string DrawStandardLayout(const data::Fields& fields, Casing casing) {
    const std::size_t width = GetMaxWidth(fields) + 1;
    std::string out;
    out.reserve(static_cast<std::size_t>(fields.Count()) * (width + 16));
    for (int i = 1; i <= fields.Count(); ++i) {
        AppendPadded(GetFieldName(fields, i, casing), width, out);
        AppendNumber(fields.Item(i)->StartingPosition(), out);
        out += '-';
        AppendNumber(fields.Item(i)->EndingPosition(), out);
        AppendType(*fields.Item(i), "  ", out);
        out += "\r\n";
    }
    return out;
}

std::string DrawFormatFile(const data::Fields& fields, Casing casing) {
    std::string out;
    for (int i = 1; i <= fields.Count(); ++i) {
        out += GetFieldName(fields, i, casing);
        out += ", ";
        AppendNumber(fields.Item(i)->Length(), out);
        out += "\r\n";
    }
    return out;
}

std::string DrawTypeStatement(const data::Fields& fields, const std::string& fileTitle,
                              Casing casing) {
    std::string out = "Type " + fileTitle + "\r\n";
    for (int i = 1; i <= fields.Count(); ++i) {
        out += "  ";
        out += GetFieldName(fields, i, casing);
        out += " AS STRING * ";
        AppendNumber(fields.Item(i)->Length(), out);
        AppendType(*fields.Item(i), " ' ", out);
        out += "\r\n";
    }
    out += "End Type";
    return out;
}

std::string DrawLayout(const data::Fields& fields, const std::string& fileTitle, LayoutType type,
                       Casing casing) {
    switch (type) {
        case LayoutType::Standard: return DrawStandardLayout(fields, casing);
        case LayoutType::FormatFile: return DrawFormatFile(fields, casing);
        case LayoutType::TypeStatement: return DrawTypeStatement(fields, fileTitle, casing);
        case LayoutType::None: break;
    }
    return {};
}

std::string ProposedSaveName(const std::string& name, const std::string& extension,
                             LayoutType type) {
    const char* x = type == LayoutType::FormatFile      ? "fmt"
                    : type == LayoutType::Standard      ? "lay"
                    : type == LayoutType::TypeStatement ? "typ"
                                                        : "txt";
    std::string proposed = name + "." + x;
    if (util::EqualsNoCase(proposed, name + "." + extension)) proposed += ".txt";
    return proposed;
}

bool SameFileAs(const std::string& candidate, const std::string& dataFile) {
    if (util::EqualsNoCase(candidate, dataFile)) return true;
    struct stat a {};
    struct stat b {};
    return ::stat(candidate.c_str(), &a) == 0 && ::stat(dataFile.c_str(), &b) == 0 &&
           a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace velmor::datatools
