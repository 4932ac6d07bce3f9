// velmor-data: the data engine from the command line, for batch use, checks
// and benchmarks. Every answer goes to stdout as UTF-8; every failure to
// stderr with a non-zero exit status.
#include <cstdio>
#include <exception>
#include <filesystem>
#include <string>
#include <vector>

#include "cli/bytes_command.h"
#include "cli/copybook_command.h"
#include "cli/data_options.h"
#include "cli/dump_command.h"
#include "cli/data_profiles.h"
#include "cli/tools_command.h"
#include "data/convert_text.h"
#include "data/converter.h"
#include "data/file.h"
#include "util/utilities.h"

namespace {

using velmor::cli::DataOptions;
using velmor::data::File;
using velmor::data::RecordNo;

using velmor::cli::tool::kFailed;
using velmor::cli::tool::kUsage;
using velmor::cli::tool::Print;
using velmor::cli::tool::PrintError;

velmor::data::CodePage PageOf(const File& file) {
    std::string type = velmor::util::ToUpper(file.DatabaseType());
    return type.find("EBCDIC") != std::string::npos ? velmor::data::CodePage::Latin1
                                                    : velmor::data::CodePage::Windows1252;
}

std::vector<std::string> RecordValues(const File& file) {
    std::vector<std::string> values;
    const int fields = file.GetFields().Count();
    if (fields == 0) values.push_back(file.RecordText());
    for (int i = 1; i <= fields; ++i) values.push_back(file.FieldValue(i));
    return values;
}

int Count(File& file) {
    file.MoveLast();
    Print(std::to_string(file.RecordCount()) + "\n");
    return 0;
}

// True (after a warning) when the file's size is no longer what it was when
// it was opened: what was read since may be cut off.
bool Changed(const File& file, const DataOptions& options) {
    std::error_code ec;
    auto size = std::filesystem::file_size(options.file, ec);
    if (!ec && static_cast<velmor::data::FilePos>(size) == file.FileLength()) return false;
    PrintError("\"" + options.file +
               "\" changed while it was read; the records printed last may be cut off.");
    return true;
}

int Records(File& file, const DataOptions& options) {
    const velmor::data::CodePage page = PageOf(file);
    std::string out;
    RecordNo last = options.count ? options.from + *options.count - 1 : INT64_MAX;
    for (RecordNo r = options.from; r <= last; ++r) {
        file.MoveTo(r);
        if (file.AtEnd() || file.RecordNumber() != r) break;
        if (!options.keepDeleted && file.RecordDeleted()) continue;
        out += '[';
        bool first = true;
        for (const std::string& value : RecordValues(file)) {
            if (!first) out += ',';
            first = false;
            velmor::data::AppendJsonString(value, out, page);
        }
        out += "]\n";
        if (out.size() > (1 << 16)) {
            Print(out);
            out.clear();
            if (Changed(file, options)) return kFailed;
        }
    }
    Print(out);
    return Changed(file, options) ? kFailed : 0;
}

int FieldsOf(File& file) {
    file.CompleteLayout();  // fields met past the detection's sample
    const velmor::data::Fields& fields = file.GetFields();
    std::string out;
    if (fields.Count() == 0) {
        out.append("Field1\t1\t");
        out.append(std::to_string(file.GetConnection().RecordLength()));
        out.push_back('\n');
    }
    for (int i = 1; i <= fields.Count(); ++i) {
        const velmor::data::Field* f = fields.Item(i);
        velmor::data::AppendDisplayText(f->Name(), out, PageOf(file));
        out += "\t" + std::to_string(f->StartingPosition()) + "\t" + std::to_string(f->Length()) +
               "\n";
    }
    Print(out);
    return 0;
}

int Find(File& file, const DataOptions& options) {
    // "fields" shows a file without a layout as one field, Field1: the same
    // name searches the whole record.
    if (file.GetFields().Count() == 0 && velmor::util::EqualsNoCase(options.field, "Field1"))
        file.GetFields().Add("Field1", velmor::data::FilePos{1} << 40, {}, 1);
    if (!file.GetFields().Exists(options.field)) file.CompleteLayout();
    if (!file.GetFields().Exists(options.field)) {
        PrintError("\"" + options.file + "\" has no field named \"" + options.field + "\".");
        return kFailed;
    }
    RecordNo position = 0;
    std::string out;
    for (;;) {
        RecordNo before = position;
        RecordNo found = file.Find(options.field, options.phrase, position);
        if (found <= 0 || found <= before) break;
        out += std::to_string(found) + "\n";
        if (out.size() > (1 << 16)) {
            Print(out);
            out.clear();
        }
    }
    Print(out);
    return 0;
}

int Convert(const DataOptions& options) {
    velmor::data::Converter converter;
    velmor::cli::ApplyConverterSettings(converter, options);
    converter.OnError = [](const std::string& description, bool& cancel) {
        PrintError(description);
        cancel = true;
    };
    return converter.Convert(options.file, options.target) ? 0 : kFailed;
}

int Run(const DataOptions& options) {
    if (options.command == "convert") return Convert(options);
    File file;
    bool failed = false;
    if (!velmor::cli::tool::OpenData(file, options, failed)) return kFailed;
    int status = kFailed;
    if (options.command == "count") status = Count(file);
    if (options.command == "records") status = Records(file, options);
    if (options.command == "fields") status = FieldsOf(file);
    if (options.command == "find") status = Find(file, options);
    std::fflush(stdout);
    return failed ? kFailed : status;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        std::vector<std::string> args(argv + 1, argv + argc);
        if (int status = 0; velmor::cli::RunCopybookCommand(args, status)) return status;
        if (int status = 0; velmor::cli::RunToolCommand(args, status)) return status;
        if (!args.empty() && args[0] == "dump") return velmor::cli::RunDump(args);
        if (!args.empty() && args[0] == "bytes")
            return velmor::cli::RunBytesCommand({args.begin() + 1, args.end()});
        DataOptions options;
        std::string error;
        if (!velmor::cli::ParseDataOptions(args, options, error)) {
            PrintError(error);
            std::fputs("Try \"velmor-data --help\".\n", stderr);
            return kUsage;
        }
        if (options.help) {
            Print(velmor::cli::DataUsage());
            Print(velmor::cli::DumpUsage());
            Print(velmor::cli::CopybookUsage());
            return 0;
        }
        if (!velmor::cli::ApplySideFileOptions(options, error)) {
            PrintError(error);
            return kUsage;
        }
        if (!options.noProfiles &&
            !velmor::cli::UseProfiles(
                options.profiles.value_or(velmor::cli::DefaultProfileFile()), error)) {
            PrintError(error);
            return kFailed;
        }
        int status = Run(options);
        if (std::ferror(stdout)) {
            PrintError("Cannot write the output.");
            return kFailed;
        }
        return status;
    } catch (const std::exception& e) {
        PrintError(std::string("Unexpected failure: ") + e.what());
    } catch (...) {
        PrintError("Unexpected failure.");
    }
    return kFailed;
}
