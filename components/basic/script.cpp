#include "basic/script.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

#include "util/utilities.h"

namespace velmor::basic {
namespace {

std::vector<std::string> SplitLines(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r' && text[i] != '\n') continue;
        lines.emplace_back(text.substr(start, i - start));
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        start = i + 1;
    }
    if (start < text.size()) lines.emplace_back(text.substr(start));
    return lines;
}

std::string FolderOf(const std::string& path) {
    std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// Outside procedures only blank lines, comments and "Option Explicit" may stand.
bool IsModuleLevelNothing(std::string_view line) {
    LexResult lexed = Tokenize(line);
    if (!lexed.error.empty()) return false;
    const auto& t = lexed.tokens;
    if (t.empty()) return true;
    if (t[0].kind == TokenKind::Name && util::EqualsNoCase(t[0].text, "rem")) return true;
    return t.size() == 2 && util::EqualsNoCase(t[0].text, "option") &&
           util::EqualsNoCase(t[1].text, "explicit");
}

bool StartsProcedure(const ParseResult& parsed) {
    return parsed.error.empty() && parsed.statement.kind == StatementKind::Procedure;
}

}  // namespace

bool Script::Load(std::string_view text, std::string path, std::string& error, int& errorLine) {
    path_ = std::move(path);
    folder_ = FolderOf(path_);
    lines_ = SplitLines(text);
    procedures_.clear();
    return ScanStructure(error, errorLine);
}

bool Script::LoadFile(const std::string& path, std::string& error, int& errorLine) {
    errorLine = 0;
    std::error_code ec;
    std::filesystem::path absolute = std::filesystem::absolute(path, ec);
    std::string full = ec ? path : absolute.lexically_normal().string();
    path_ = full;
    folder_ = FolderOf(full);
    lines_.clear();
    procedures_.clear();
    if (!util::FileExists(full)) {
        error = "The script file \"" + full + "\" does not exist or is not a file.";
        return false;
    }
    std::uintmax_t size = std::filesystem::file_size(full, ec);
    if (ec || size > kMaxScriptBytes) {
        error = "The script file \"" + full + "\" is too large to be a script.";
        return false;
    }
    std::ifstream in(full, std::ios::binary);
    std::ostringstream text;
    if (!in || (size > 0 && !(text << in.rdbuf()))) {
        error = "The script file \"" + full + "\" cannot be read.";
        return false;
    }
    return Load(text.str(), full, error, errorLine);
}

const Procedure* Script::Find(std::string_view name) const {
    for (const Procedure& procedure : procedures_) {
        if (util::EqualsNoCase(procedure.heading.name, name)) return &procedure;
    }
    return nullptr;
}

// Each line of a procedure is read once here; runs reuse the statement as
// long as the line's text is not changed by the caller.
bool Script::ScanProcedureLine(Procedure& open, int number, std::string& error) {
    LexResult lexed = Tokenize(Line(number));
    if (IsEndSub(lexed)) {
        open.endLine = number;
        return true;
    }
    auto parsed = std::make_unique<const ParseResult>(ParseLexed(std::move(lexed)));
    if (StartsProcedure(*parsed)) {
        error = "A procedure cannot begin inside the procedure \"" + open.heading.name +
                "\" (\"End Sub\" is missing).";
        return false;
    }
    parsed_[static_cast<std::size_t>(number - 1)] = std::move(parsed);
    return true;
}

bool Script::ScanStructure(std::string& error, int& errorLine) {
    parsed_.clear();
    parsed_.resize(lines_.size());
    Procedure* open = nullptr;
    for (int number = 1; number <= LineCount(); ++number) {
        const std::string& line = Line(number);
        errorLine = number;
        if (open != nullptr) {
            if (!ScanProcedureLine(*open, number, error)) return false;
            if (open->endLine != 0) open = nullptr;
            continue;
        }
        if (IsModuleLevelNothing(line)) continue;
        if (IsEndSub(line)) {
            error = "\"End Sub\" without \"Sub\".";
            return false;
        }
        Procedure procedure;
        if (!ParseProcedureHeading(line, procedure.heading, error)) {
            if (!StartsProcedure(ParseStatement(line))) {
                error = "Only procedures may stand outside a procedure.";
            }
            return false;
        }
        if (Find(procedure.heading.name) != nullptr) {
            error = "The procedure \"" + procedure.heading.name + "\" is defined twice.";
            return false;
        }
        procedure.headingLine = number;
        procedures_.push_back(std::move(procedure));
        open = &procedures_.back();
    }
    if (open != nullptr) {
        errorLine = open->headingLine;
        error = "The procedure \"" + open->heading.name + "\" has no \"End Sub\".";
        return false;
    }
    errorLine = 0;
    return true;
}

}  // namespace velmor::basic
