#include "cli/dump_command.h"

#include <charconv>
#include <cstdio>
#include <ctime>

#include "cli/data_options.h"
#include "cli/data_profiles.h"
#include "cli/tools_command.h"
#include "data/convert_text.h"
#include "data/file.h"
#include "data/recorddump.h"

namespace velmor::cli {

namespace {

using tool::kFailed;
using tool::PrintError;
using tool::UsageError;

bool ReadRecord(const std::string& text, data::RecordNo& record) {
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), record);
    return !text.empty() && ec == std::errc() && end == text.data() + text.size() && record >= 1;
}

std::tm Now() {
    const std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return local;
}

// The record's bytes on a text line: a UTF-8 character in the column of
// its first byte with blanks after (as the viewer prints it), any other
// byte one character in the file's code page, so every byte stays under its
// ruler position.
void AppendCells(std::string_view bytes, std::string& out, data::CodePage page) {
    size_t i = 0;
    for (; i < bytes.size() && i < 3 && (static_cast<unsigned char>(bytes[i]) & 0xC0) == 0x80; ++i)
        out += ' ';  // the rest of a character begun in the block before
    while (i < bytes.size()) {
        const auto b = static_cast<unsigned char>(bytes[i]);
        const size_t length = b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
        if (length > 1 && i + length <= bytes.size() &&
            data::IsUtf8(bytes.substr(i, length))) {
            out.append(bytes.substr(i, length));
            out.append(length - 1, ' ');
            i += length;
            continue;
        }
        data::AppendDisplayText(bytes.substr(i, 1), out, page);
        ++i;
    }
}

int Dump(data::File& file, data::RecordNo record) {
    file.MoveTo(record);
    if (file.AtEnd() || file.RecordNumber() != record) {
        PrintError("\"" + file.PathAndName() + "\" has no record " + std::to_string(record) +
                   ".");
        return kFailed;
    }
    // Record bytes as every command writes them (valid UTF-8 kept, other
    // bytes in the file's code page); the rest is already text.
    const bool ebcdic = util::ToUpper(file.DatabaseType()).find("EBCDIC") != std::string::npos;
    const data::CodePage page = ebcdic ? data::CodePage::Latin1 : data::CodePage::Windows1252;
    const data::FilePos length = data::RecordDump::StatedLength(file);
    std::string out;
    for (const std::string& line :
         data::RecordDump::HeaderLines(file.PathAndName(), record, length, Now()))
        out += line + '\n';
    // Written a megabyte of the record at a time: memory stays bounded by
    // the piece, not by the record's (or a stated) length.
    const std::string text = data::RecordDump::PrintableText(file);
    constexpr size_t kPiece = 10000 * data::RecordDump::kBlockWidth;
    for (size_t at = 0; at == 0 || at < text.size(); at += kPiece) {
        const std::string_view piece = std::string_view(text).substr(at, kPiece);
        const auto lines =
            data::RecordDump::BlockLines(piece, length, static_cast<data::FilePos>(at) + 1);
        for (std::size_t i = 0; i < lines.size(); ++i) {
            if (data::RecordDump::IsRecordTextLine(i + 5))  // after the five header lines
                AppendCells(lines[i], out, page);
            else
                out += lines[i];
            out += '\n';
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        out.clear();
        if (lines.empty()) break;
    }
    std::fflush(stdout);
    return std::ferror(stdout) ? kFailed : 0;
}

}  // namespace

const char* DumpUsage() {
    return "\n  velmor-data dump FILE RECORD [--field-names] [options]\n"
           "dump     prints record RECORD as the viewer prints it: header, rulers, text\n"
           "         and hexadecimal codes in blocks of 100 positions\n"
           "         (--field-names: a delimited record field by field, padded)\n";
}

int RunDump(const std::vector<std::string>& args) {
    // The division options are those of the other commands; "fields FILE"
    // lets their parser check them, and tells how many words each takes.
    std::vector<std::string> rest{"fields"};
    std::vector<std::string> positional;
    bool fieldNames = false;
    bool optionsEnded = false;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (!optionsEnded && (a == "--help" || a == "-h")) {
            std::fputs(DumpUsage(), stdout);
            return 0;
        }
        if (!optionsEnded && a == "--field-names") {
            fieldNames = true;
        } else if (!optionsEnded && a == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && a.size() > 1 && a[0] == '-') {
            const std::size_t first = i;
            DataOptions scratch;
            std::string error;
            if (!detail::ReadOption(args, i, scratch, error)) return UsageError(error);
            rest.insert(rest.end(), args.begin() + static_cast<std::ptrdiff_t>(first),
                        args.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        } else {
            positional.push_back(a);
        }
    }
    if (positional.size() != 2) {
        return UsageError("dump needs 2 arguments, not " + std::to_string(positional.size()) +
                          ".");
    }
    data::RecordNo record = 0;
    if (!ReadRecord(positional[1], record))
        return UsageError("RECORD needs a whole number of at least 1, not \"" + positional[1] +
                          "\".");
    rest.insert(rest.end(), {"--", positional[0]});  // a file name may begin with "-"
    DataOptions options;
    std::string error;
    if (!ParseDataOptions(rest, options, error)) return UsageError(error);
    if (!ApplySideFileOptions(options, error)) return UsageError(error);
    // The file is read through the program's profiles, as by every command.
    if (!tool::ReadProfiles(options)) return kFailed;
    data::File file;
    bool failed = false;
    if (!tool::OpenData(file, options, failed)) return kFailed;
    file.SetShowFieldNames(fieldNames);
    const int status = Dump(file, record);
    return failed ? kFailed : status;
}

}  // namespace velmor::cli
