#include "datatools/conversionscript.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "util/safewrite.h"
#include "util/utilities.h"

namespace velmor::datatools {

namespace {

constexpr const char* kEol = "\r\n";
constexpr char kQ = '"';

std::string Failure(const std::string& what, const std::string& path) {
    return what + " \"" + path + "\": " + std::strerror(errno) + ".";
}

// Lines of a script as written on either system: CR LF, LF or CR.
std::vector<std::string> LinesOf(std::string_view text) {
    std::vector<std::string> lines;
    lines.reserve(30);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) end = text.size();
        lines.emplace_back(text.substr(start, end - start));
        const bool crlf = end + 1 < text.size() && text[end] == '\r' && text[end + 1] == '\n';
        start = end + (crlf ? 2 : 1);
    }
    return lines;
}

bool ReadWhole(const std::string& path, std::string& text, std::string& error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = Failure("Cannot read the folder script", path);
        return false;
    }
    std::ostringstream buffer;
    buffer << in.rdbuf();
    if (in.bad()) {
        error = Failure("Cannot read the folder script", path);
        return false;
    }
    text = buffer.str();
    return true;
}

// A file name with its extension, without a dot when there is none.
std::string Named(const std::string& title, const std::string& extension) {
    return extension.empty() ? title : title + "." + extension;
}

// Text as a script's string literal: quotation marks inside are doubled.
std::string Literal(std::string_view text) {
    std::string out(1, kQ);
    for (char c : text) {
        out += c;
        if (c == kQ) out += kQ;
    }
    return out + kQ;
}

}  // namespace

ConversionNames ConversionNames::Of(const std::string& pathAndName) {
    ConversionNames names;
    util::SplitPath(pathAndName, names.folder, names.title, names.extension);
    return names;
}

std::string ConversionNames::Target() const {
    return folder + Named(title + "Cf", targetExtension);
}

std::string ConversionNames::Script() const {
    return folder + title + "C.VelmorBasic";
}

std::string ConversionNames::FolderScript() const {
    std::string trimmed = folder;
    while (!trimmed.empty() && trimmed.back() == '/') trimmed.pop_back();
    const std::size_t slash = trimmed.rfind('/');
    const std::string last = slash == std::string::npos ? trimmed : trimmed.substr(slash + 1);
    return folder + last + ".VelmorBasic";
}

std::string FileScriptText(const ConversionNames& n, const ConversionSettings& s) {
    const std::string v = util::ToVariableName(n.title + "C");
    const std::string q(1, kQ);
    const char* header = s.firstRecordContainsFieldNames ? "True" : "False";
    std::string out;
    out += "Sub Main()" + std::string(kEol);
    out += "  Dim " + v + kEol;
    out += "  Set " + v + " = CreateObject(" + q + "Velmor_Data.Converter" + q + ")" + kEol;
    if (s.isFixed) {
        out += "  " + v + ".IsFixed = True" + kEol;
        out += "  " + v + ".FirstRecordContainsFieldNames = " + header + kEol;
    } else {
        out += "  " + v + ".IsDelimited = True" + kEol;
        out += "  " + v + ".FirstRecordContainsFieldNames = " + header + kEol;
        out += "  " + v + ".RecordDelimiterRepresentation = " + q + s.recordDelimiterRepresentation + q + kEol;
        out += "  " + v + ".FieldDelimiterRepresentation = " + q + s.fieldDelimiterRepresentation + q + kEol;
        out += "  " + v + ".TextQualifierRepresentation = " + q + s.textQualifierRepresentation + q + kEol;
    }
    if (!s.sourceConnection.empty()) {
        // The recorded layout wins over any connection file found later, so
        // that a saved script keeps writing what it wrote the first time.
        out += "  ' The layout " + Named(n.title, n.extension) +
               " was read with, kept over later connection files" + kEol;
    }
    for (const std::string& line : LinesOf(s.sourceConnection)) {
        out += "  Call " + v + ".AddSourceConnectionLine(" + Literal(line) + ")" + kEol;
    }
    out += "  Call " + v + ".Convert(App.Path & " + Literal(Named(n.title, n.extension)) +
           ", App.Path & " + Literal(Named(n.title + "Cf", n.targetExtension)) + ")" + kEol;
    out += "End Sub" + std::string(kEol);
    return out;
}

std::string FolderScriptLine(const std::string& title) {
    return "  Call Execute(App.Path & " + Literal(title + "C.VelmorBasic") + ")";
}

std::string FolderScriptWithLine(std::string_view current, const std::string& line) {
    std::vector<std::string> lines = LinesOf(current);
    for (const std::string& l : lines) {
        if (util::EqualsNoCase(l, line)) return {};
    }
    std::size_t endSub = lines.size();
    for (std::size_t i = lines.size(); i-- > 0;) {
        if (lines[i] == "End Sub") {
            endSub = i;
            break;
        }
    }
    if (endSub == lines.size()) return {};
    lines[endSub] = line;
    lines.emplace_back("End Sub");
    std::string out;
    for (const std::string& l : lines) out += l + kEol;
    return out;
}

bool WriteFileAtomically(const std::string& path, std::string_view text, std::string& error) {
    return util::WriteWholeFile(path, text, error);
}

bool CanWriteConversionScripts(const ConversionNames& names, std::string& error) {
    for (const std::string& path : {names.Script(), names.FolderScript()}) {
        std::string real, reason;
        bool exists = false;
        if (!util::ResolveWriteTarget(path, real, exists, reason)) {
            error = "Cannot write \"" + path + "\": " + reason + ".";
            return false;
        }
    }
    return true;
}

bool WriteConversionScripts(const ConversionNames& names, const ConversionSettings& settings,
                            std::string& error) {
    // Both refusals come before either file is written.
    if (!CanWriteConversionScripts(names, error)) return false;
    const std::string folderScript = names.FolderScript();
    if (!WriteFileAtomically(names.Script(), FileScriptText(names, settings), error)) return false;
    const std::string line = FolderScriptLine(names.title);
    if (!util::FileExists(folderScript)) {
        return WriteFileAtomically(folderScript,
                                   "Sub Main()" + std::string(kEol) + line + kEol + "End Sub" + kEol,
                                   error);
    }
    std::string current;
    if (!ReadWhole(folderScript, current, error)) return false;
    const std::string updated = FolderScriptWithLine(current, line);
    return updated.empty() || WriteFileAtomically(folderScript, updated, error);
}

bool IsConversionLine(std::string_view line) {
    return util::ToLower(line).find(".convert(") != std::string::npos;
}

std::string TargetExtensionOf(std::string_view line) {
    // The target is the line's last string literal ("" inside stands for ").
    std::string last;
    for (std::size_t i = 0; i < line.size(); ++i) {
        if (line[i] != kQ) continue;
        last.clear();
        for (++i; i < line.size(); ++i) {
            if (line[i] == kQ && (i + 1 >= line.size() || line[i + 1] != kQ)) break;
            if (line[i] == kQ) ++i;
            last += line[i];
        }
    }
    std::string folder, title, extension;
    util::SplitPath(last, folder, title, extension);
    return extension;
}

std::string CreatedConverterVariable(std::string_view line) {
    if (line.find("CreateObject(\"Velmor_Data.Converter\")") == std::string_view::npos) return {};
    // An object assignment after a three-letter keyword ("Set"): the name
    // runs from the fourth character to the first "=".
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals < 3) return {};
    return util::Trim(line.substr(3, equals - 3));
}

}  // namespace velmor::datatools
