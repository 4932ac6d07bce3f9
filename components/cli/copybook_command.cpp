#include "cli/copybook_command.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "cli/tools_command.h"
#include "copybook/copybook.h"
#include "copybook/decode.h"
#include "copybook/recordformat.h"
#include "data/convert_format.h"
#include "data/convert_output.h"
#include "data/convert_text.h"
#include "data/convert_typed.h"
#include "data/ebcdic.h"
#include "data/file.h"
#include "datatools/codecounter.h"
#include "util/utilities.h"

namespace velmor::cli {
namespace {

using namespace velmor::copybook;
using tool::kFailed;
using tool::kUsage;
using tool::Print;
using tool::PrintError;

struct Options {
    std::string command, file, copybook;
    std::vector<std::string> positional;  // after the file
    RecordFormat format = RecordFormat::Fixed;
    ResolveOptions resolve;
    DecodeOptions decode;
    bool fixedText = false;  // convert: fixed-width text instead of CSV
    std::int64_t from = 1, count = -1;
};

bool Number(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 15)
        return false;
    value = std::stoll(text);
    return value >= 1;
}

bool Parse(const std::vector<std::string>& args, Options& o, std::string& error) {
    o.command = args[0];
    std::vector<std::string> plain;
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& a = args[i];
        // A negative number is a value to find, not an option.
        if (optionsEnded || a.size() < 2 || a[0] != '-' || std::isdigit(static_cast<unsigned char>(a[1])) ||
            a[1] == '.') {
            plain.push_back(a);
            continue;
        }
        if (a == "--") {
            optionsEnded = true;
            continue;
        }
        auto value = [&](std::string& into) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value.";
                return false;
            }
            into = args[++i];
            return true;
        };
        std::string v;
        if (a == "--copybook") {
            if (!value(o.copybook)) return false;
        } else if (a == "--rdw") {
            o.format = RecordFormat::Rdw;
        } else if (a == "--rdw-le") {
            o.format = RecordFormat::RdwLittleEndian;
        } else if (a == "--bdw") {
            o.format = RecordFormat::Bdw;
        } else if (a == "--redefine") {
            if (!value(v)) return false;
            o.resolve.redefines.push_back(v);
        } else if (a == "--float") {
            if (!value(v)) return false;
            if (v != "ieee" && v != "ibm") {
                error = "--float takes ieee or ibm, not \"" + v + "\".";
                return false;
            }
            o.decode.floats = v == "ieee" ? FloatFormat::Ieee : FloatFormat::Ibm;
        } else if (a == "--ascii") {
            o.decode.charset = o.resolve.charset = Charset::Ascii;
        } else if (a == "--fillers") {
            o.resolve.fillers = true;
        } else if (a == "--fixed") {
            o.fixedText = true;
        } else if (a == "--from" || a == "--count") {
            if (!value(v)) return false;
            if (!Number(v, a == "--from" ? o.from : o.count)) {
                error = a + " takes a whole number of at least 1, not \"" + v + "\".";
                return false;
            }
        } else {
            error = "Unknown option \"" + a + "\" with --copybook.";
            return false;
        }
    }
    if (plain.empty()) {
        error = o.command + " needs a file.";
        return false;
    }
    o.file = plain[0];
    o.positional.assign(plain.begin() + 1, plain.end());
    static const std::map<std::string, size_t> kArguments = {
        {"fields", 0}, {"records", 0}, {"count", 0}, {"find", 2}, {"codes", 1}, {"convert", 1}, {"dump", 0}};
    auto it = kArguments.find(o.command);
    if (it == kArguments.end()) {
        error = "\"" + o.command + "\" does not take --copybook.";
        return false;
    }
    const size_t wanted = it->second + (o.command == "dump" && !o.positional.empty() ? 1 : 0);
    if (o.positional.size() != wanted) {
        error = o.command + " with --copybook needs " + std::to_string(it->second + 1) +
                " argument(s), not " + std::to_string(o.positional.size() + 1) + ".";
        return false;
    }
    return true;
}

// The copybook, its layout and the file's records, with the values of each
// record decoded into text.
class Source {
public:
    explicit Source(const Options& o) : o_(o) {}

    bool Open() {
        std::ifstream in(o_.copybook, std::ios::binary);
        if (!in) {
            PrintError("Cannot read the copybook \"" + o_.copybook + "\".");
            return false;
        }
        std::stringstream text;
        text << in.rdbuf();
        CopybookError error;
        book_ = Copybook::Parse(text.str(), error);
        if (!book_) {
            PrintError("\"" + o_.copybook + "\", " + error.Text());
            return false;
        }
        for (const std::string& note : book_->Notes()) PrintError("\"" + o_.copybook + "\", " + note);
        if (std::string unknown = book_->UnknownAlternative(o_.resolve); !unknown.empty()) {
            PrintError("The copybook has no REDEFINES alternative or record named \"" + unknown + "\".");
            return false;
        }
        layout_ = book_->Resolve(o_.resolve);
        std::string failure;
        if (!reader_.Open(o_.file, o_.format, layout_.length, 0, failure)) {
            PrintError(failure);
            return false;
        }
        return true;
    }

    const Layout& Fields() const { return layout_; }
    bool Variable() const { return book_->Variable(); }
    data::CodePage Page() const {
        return o_.decode.charset == Charset::Ebcdic ? data::CodePage::Latin1
                                                    : data::CodePage::Windows1252;
    }

    /// The next record's values (with Decode); false at the end or at damage.
    bool Next(bool decode = true) {
        std::string_view record;
        if (!reader_.Next(record)) return false;
        if (!decode) return true;
        const Layout* layout = &layout_;
        if (book_->Variable()) {
            current_ = book_->Resolve(o_.resolve, record);
            layout = &current_;
            if (!current_.problem.empty() && problems_++ == 0)
                PrintError("Record " + std::to_string(reader_.RecordNumber()) + ": " + current_.problem);
        }
        fields_ = layout;
        values_.resize(layout->fields.size());
        states_.resize(layout->fields.size());
        for (size_t i = 0; i < layout->fields.size(); ++i) {
            const CopybookField& f = layout->fields[i];
            std::string& v = values_[i];
            v.clear();
            std::string_view bytes;
            if (f.offset < static_cast<std::int64_t>(record.size()))
                bytes = record.substr(static_cast<size_t>(f.offset), static_cast<size_t>(f.format.length));
            states_[i] = Decode(f.format, bytes, o_.decode, v);
            if (f.format.type == FieldType::Text && o_.decode.charset == Charset::Ebcdic)
                data::ebcdic::ToLatin1(v);
            if (states_[i] == ValueState::Invalid) ++invalid_;
        }
        return true;
    }
    std::int64_t Number() const { return reader_.RecordNumber(); }
    const Layout& Current() const { return *fields_; }
    const std::vector<std::string>& Values() const { return values_; }
    const std::vector<ValueState>& States() const { return states_; }

    /// Fixed records of one layout through the engine's decoding stream (a
    /// block decoded ahead on a second thread); nullptr for other files.
    std::unique_ptr<data::TypedStream> Stream() const {
        if (book_->Variable() || o_.format != RecordFormat::Fixed || layout_.length <= 0) return nullptr;
        std::vector<data::TypedColumn> columns;
        for (const CopybookField& f : layout_.fields)
            columns.push_back({static_cast<size_t>(f.offset), f.format});
        std::error_code ec;
        const auto size = static_cast<std::int64_t>(std::filesystem::file_size(o_.file, ec));
        return std::make_unique<data::TypedStream>(o_.file, 0, layout_.length,
                                                   ec ? 0 : (size + layout_.length - 1) / layout_.length,
                                                   data::TypedRecords(std::move(columns), o_.decode));
    }
    void AddInvalid(std::int64_t n) { invalid_ += n; }

    /// Reports damage and invalid values; the exit status.
    int Finish() const {
        if (invalid_ > 0)
            PrintError(std::to_string(invalid_) + " value(s) not valid for their type, shown as ? and their bytes in hex.");
        if (problems_ > 1) PrintError(std::to_string(problems_) + " records had a DEPENDING ON count out of range.");
        if (!reader_.Problem().empty()) {
            PrintError(reader_.Problem());
            return kFailed;
        }
        return 0;
    }

private:
    const Options& o_;
    std::optional<Copybook> book_;
    Layout layout_, current_;
    const Layout* fields_ = &layout_;
    RecordReader reader_;
    std::vector<std::string> values_;
    std::vector<ValueState> states_;
    std::int64_t invalid_ = 0, problems_ = 0;
};

std::int64_t Width(const FieldFormat& f) { return data::TypedWidth(f); }

int FieldsCommand(Source& source) {
    std::string out;
    for (const CopybookField& f : source.Fields().fields)
        out += f.name + "\t" + std::to_string(f.offset + 1) + "\t" + std::to_string(f.format.length) +
               "\t" + TypeName(f.format.type) + "\n";
    Print(out);
    return 0;
}

bool Flush(std::string& out) {
    if (out.size() < (1 << 16)) return true;
    Print(out);
    out.clear();
    return true;
}

int RecordsCommand(Source& source, const Options& o) {
    std::string out;
    while (source.Next()) {
        if (source.Number() < o.from) continue;
        if (o.count > 0 && source.Number() >= o.from + o.count) break;
        out += '[';
        for (size_t i = 0; i < source.Values().size(); ++i) {
            if (i > 0) out += ',';
            data::AppendJsonString(source.Values()[i], out, source.Page());
        }
        out += "]\n";
        Flush(out);
    }
    Print(out);
    return source.Finish();
}

// Counting goes through the engine, as the viewer and a saved connection
// count: the same index, the same stop at a damaged length.
int CountCommand(Source& source, const Options& o) {
    data::File file;
    file.OnError = [](const std::string&, bool& cancel) { cancel = true; };  // not the division counted
    if (!file.Open(o.file)) {
        PrintError("Cannot open \"" + o.file + "\".");
        return kFailed;
    }
    data::Connection c;
    file.CopyConnectionTo(c);
    c.SetDatabaseTypeName(o.decode.charset == Charset::Ebcdic ? "Flat EBCDIC" : "Flat ASCII");
    c.SetIsDelimited(false);
    c.SetIsFixed(true);
    c.SetByteOffset(0);
    c.SetRecordFormat(o.format);
    if (o.format == RecordFormat::Fixed) c.SetRecordLength(source.Fields().length);
    bool failed = false;
    file.OnError = [&failed](const std::string& description, bool& cancel) {
        PrintError(description);
        failed = cancel = true;
    };
    if (c.SameSettings(file.GetConnection()))
        file.Refresh();  // divides again, so damage is told to this handler
    else
        file.CopyConnectionFrom(c);
    file.MoveLast();
    Print(std::to_string(file.RecordCount()) + "\n");
    return failed ? kFailed : 0;
}

int FieldIndex(const Source& source, const std::string& name, const Options& o) {
    const auto& fields = source.Fields().fields;
    for (size_t i = 0; i < fields.size(); ++i)
        if (util::EqualsNoCase(fields[i].name, name)) return static_cast<int>(i);
    PrintError("\"" + o.copybook + "\" has no field named \"" + name + "\".");
    return -1;
}

int FindCommand(Source& source, const Options& o) {
    const int index = FieldIndex(source, o.positional[0], o);
    if (index < 0) return kFailed;
    const FieldFormat& format = source.Fields().fields[static_cast<size_t>(index)].format;
    const std::optional<std::string> number = CanonicalNumber(o.positional[1]);
    std::string phrase;
    if (format.IsNumber() && !number) {
        PrintError("\"" + o.positional[1] + "\" is not a number; " + source.Fields().fields[static_cast<size_t>(index)].name + " holds numbers.");
        return kFailed;
    }
    if (!format.IsNumber() && !data::FromUtf8(o.positional[1], source.Page(), phrase)) {
        PrintError("The phrase holds characters the file's encoding cannot hold.");
        return kFailed;
    }
    std::string out;
    while (source.Next()) {
        if (static_cast<size_t>(index) >= source.Values().size()) continue;
        const std::string& value = source.Values()[static_cast<size_t>(index)];
        bool hit = false;
        if (format.IsNumber()) {
            hit = source.States()[static_cast<size_t>(index)] == ValueState::Value && CanonicalNumber(value) == number;
        } else {
            hit = value.find(phrase) != std::string::npos;
        }
        if (hit) out += std::to_string(source.Number()) + "\n";
        Flush(out);
    }
    Print(out);
    return source.Finish();
}

int CodesCommand(Source& source, const Options& o) {
    const int index = FieldIndex(source, o.positional[0], o);
    if (index < 0) return kFailed;
    std::map<std::string, std::int64_t> counts;
    while (source.Next())
        if (static_cast<size_t>(index) < source.Values().size()) ++counts[source.Values()[static_cast<size_t>(index)]];
    std::vector<datatools::CodeCount> codes;
    for (const auto& [code, n] : counts) codes.push_back({code, n});
    std::string out;
    data::AppendDisplayText(
        datatools::CodeCounter::Report(codes, Width(source.Fields().fields[static_cast<size_t>(index)].format)),
        out, source.Page());
    Print(out);
    return source.Finish();
}

bool SameFile(const std::string& a, const std::string& b) {
    std::error_code ec;
    return std::filesystem::equivalent(a, b, ec);
}

int ConvertCommand(Source& source, const Options& o) {
    const std::string& target = o.positional[0];
    if (SameFile(o.file, target)) {
        PrintError("The target \"" + target + "\" is the data file itself.");
        return kFailed;
    }
    const auto& fields = source.Fields().fields;
    std::vector<std::string> names;
    std::vector<data::FilePos> widths;
    std::vector<bool> numeric;
    for (const CopybookField& f : fields) {
        names.push_back(f.name);
        widths.push_back(std::max<std::int64_t>(Width(f.format), 1));
        numeric.push_back(data::RightAligned(f.format));
    }
    const bool dbase = util::EqualsNoCase(std::filesystem::path(target).extension().string(), ".dbf");
    std::vector<std::string> dbaseNames;
    if (dbase) {
        dbaseNames = data::DbaseFieldNames(names);
        if (std::string problem = data::DbaseLayoutProblem(dbaseNames, widths); !problem.empty()) {
            PrintError(problem);
            return kFailed;
        }
    }
    data::StagedOutput output(target);
    if (!output.Create()) {
        PrintError(output.Error());
        return kFailed;
    }
    std::string out;
    if (dbase) {
        out = data::DbaseHeader(dbaseNames, widths, 0, {});
        // Numbers become numeric fields: type N with their decimal places.
        for (size_t i = 0; i < fields.size(); ++i)
            if (numeric[i] && widths[i] <= data::kDbaseMaxNumericLength)
                data::MarkDbaseNumeric(out, i, std::max(0, fields[i].format.scale));
    } else if (!o.fixedText) {
        data::DelimitedFormat("\r\n", ",", "\"").AppendRecord({names.begin(), names.end()}, names.size(), out);
    }
    const data::DelimitedFormat csv("\r\n", ",", "\"");
    std::uint32_t records = 0;
    std::vector<std::string> padded(fields.size());
    data::Values values;
    const bool pad = dbase || o.fixedText;
    std::unique_ptr<data::TypedStream> stream = source.Stream();
    // CSV from fixed records is written by the decoding threads block by block.
    // Text values lose their trailing blanks, as the window's converter
    // writes them, so both give the same file.
    const bool blocks = stream && !pad;
    if (blocks) stream->SetDelimited(&csv, true);
    if (stream && !stream->Rewind()) {
        PrintError(stream->Error());
        output.Abort();
        return kFailed;
    }
    std::string_view block;
    data::RecordNo inBlock = 0;
    if (blocks) {
        bool ok = output.Write(out);
        out.clear();
        while (ok && stream->NextDelimited(block, inBlock)) {
            records += static_cast<std::uint32_t>(inBlock);
            ok = output.Write(block);
        }
    }
    for (; !blocks;) {
        const data::Values* next = nullptr;
        if (stream) {
            next = stream->Next();
        } else if (source.Next()) {
            values.assign(source.Values().begin(), source.Values().end());
            next = &values;
        }
        if (next == nullptr) break;
        const data::Values* row = next;
        if (!pad) {
            values.assign(next->begin(), next->end());
            for (std::string_view& v : values)
                while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
            row = &values;
        } else {
            // Numbers right-aligned; an invalid one left blank in a numeric dBase field.
            values.assign(next->begin(), next->end());
            for (size_t i = 0; i < values.size() && i < fields.size(); ++i) {
                if (!numeric[i]) continue;
                std::string_view v = values[i];
                if (dbase && !v.empty() && v.front() == '?') v = {};
                padded[i].assign(static_cast<size_t>(std::max<std::int64_t>(widths[i] - static_cast<std::int64_t>(v.size()), 0)), ' ');
                padded[i].append(v);
                values[i] = padded[i];
            }
            row = &values;
        }
        bool ok = dbase ? data::AppendDbaseRecord(*row, widths, out)
                  : o.fixedText ? data::AppendFixedRecord(*row, widths, out)
                                : csv.AppendRecord(*row, fields.size(), out);
        if (!ok) {
            PrintError("Record " + std::to_string(records + 1) + " does not fit the target.");
            output.Abort();
            return kFailed;
        }
        ++records;
        if (out.size() > (1 << 20)) {
            if (!output.Write(out)) break;
            out.clear();
        }
    }
    if (stream) {
        source.AddInvalid(stream->Invalid());
        if (!stream->Error().empty()) PrintError(stream->Error());
    }
    if (dbase) out.push_back(data::kDbaseEndOfFile);
    const int status = source.Finish();
    if (!output.Write(out) || (dbase && !output.WriteAt(data::kDbaseRecordCountOffset, data::DbaseRecordCount(records))) ||
        status != 0 || !output.Commit()) {
        if (!output.Error().empty()) PrintError(output.Error());
        output.Abort();
        return kFailed;
    }
    return 0;
}

int DumpCommand(Source& source, const Options& o) {
    std::int64_t wanted = 1;
    if (!o.positional.empty() && !Number(o.positional[0], wanted)) {
        PrintError("dump takes a record number of at least 1, not \"" + o.positional[0] + "\".");
        return kUsage;
    }
    while (source.Next()) {
        if (source.Number() != wanted) continue;
        size_t nameWidth = 4;
        for (const CopybookField& f : source.Current().fields) nameWidth = std::max(nameWidth, f.name.size());
        std::string out = "Record " + std::to_string(wanted) + "\n";
        for (size_t i = 0; i < source.Values().size(); ++i) {
            const CopybookField& f = source.Current().fields[i];
            std::string line = f.name + std::string(nameWidth - f.name.size() + 2, ' ');
            line += std::to_string(f.offset + 1) + "\t" + std::to_string(f.format.length) + "\t" +
                    TypeName(f.format.type) + "\t" + (f.format.picture.empty() ? f.format.usage : f.format.picture) + "\t";
            data::AppendDisplayText(line, out, source.Page());
            data::AppendDisplayText(source.Values()[i], out, source.Page());
            out += "\n";
        }
        Print(out);
        return source.Finish();
    }
    const int status = source.Finish();
    if (status == 0) PrintError("The file has no record " + std::to_string(wanted) + ".");
    return kFailed;
}

}  // namespace

std::string CopybookUsage() {
    return "velmor-data fields|records|count|find|codes|convert|dump FILE --copybook X.cpy\n"
           "    [--rdw|--rdw-le|--bdw] [--redefine NAME]... [--float ieee|ibm] [--ascii]\n"
           "    [--fillers] [--from N] [--count N] [--fixed]\n"
           "  find FILE FIELD VALUE, codes FILE FIELD, convert FILE TARGET(.csv|.txt|.dbf),\n"
           "  dump FILE [RECORD]: with the layout and value types of a COBOL copybook.\n";
}

bool RunCopybookCommand(const std::vector<std::string>& args, int& status) {
    if (args.empty() || std::find(args.begin(), args.end(), "--copybook") == args.end()) return false;
    Options o;
    std::string error;
    if (!Parse(args, o, error)) {
        status = tool::UsageError(error);
        return true;
    }
    Source source(o);
    if (!source.Open()) {
        status = kFailed;
        return true;
    }
    if (o.command == "fields") status = FieldsCommand(source);
    else if (o.command == "records") status = RecordsCommand(source, o);
    else if (o.command == "count") status = CountCommand(source, o);
    else if (o.command == "find") status = FindCommand(source, o);
    else if (o.command == "codes") status = CodesCommand(source, o);
    else if (o.command == "convert") status = ConvertCommand(source, o);
    else status = DumpCommand(source, o);
    std::fflush(stdout);
    return true;
}

}  // namespace velmor::cli
