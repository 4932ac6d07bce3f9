#include "data/converter.h"

#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <exception>
#include <filesystem>
#include <limits>

#include "data/carriedconnection.h"
#include "data/convert_fast.h"
#include "data/convert_format.h"
#include "data/convert_output.h"
#include "data/convert_source.h"
#include "data/convert_typed.h"
#include "data/file.h"
#include "data/sidefiles.h"
#include "data/typedvalues.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

enum class OutputKind { Delimited, Fixed, Dbase };

// Progress is reported about every hundredth of the work (every few
// megabytes at most), not per record, so the callback costs nothing
// measurable.
FilePos ProgressStep(FilePos total) {
    return std::clamp<FilePos>(total / 100, FilePos{256} << 10, FilePos{8} << 20);
}

bool EndsWithNoCase(const std::string& text, std::string_view end) {
    return text.size() >= end.size() &&
           util::EqualsNoCase(std::string_view(text).substr(text.size() - end.size()), end);
}

bool SameFile(const std::string& a, const std::string& b) {
    namespace fs = std::filesystem;
    std::error_code ec1;
    std::error_code ec2;
    fs::path ca = fs::weakly_canonical(fs::path(a), ec1);
    fs::path cb = fs::weakly_canonical(fs::path(b), ec2);
    if (!ec1 && !ec2 && ca == cb) return true;
    // Hard links and bind mounts name one file by two paths.
    struct stat sa {};
    struct stat sb {};
    return ::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
           sa.st_ino == sb.st_ino;
}

DbaseDate Today() {
    std::time_t now = std::time(nullptr);
    std::tm parts{};
    ::localtime_r(&now, &parts);
    return {parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday};
}

std::string_view TrimRight(std::string_view v) {
    while (!v.empty() && (v.back() == ' ' || v.back() == '\0')) v.remove_suffix(1);
    return v;
}

// One run of Convert: the settings are read once, the source is opened once.
class Conversion {
public:
    Conversion(const Converter& settings, std::string source, std::string target)
        : settings_(settings), source_(std::move(source)), target_(std::move(target)) {}

    bool Run();
    const std::string& Error() const { return error_; }

private:
    bool Fail(std::string description) {
        if (error_.empty()) error_ = std::move(description);
        return false;
    }
    bool ChooseOutput();
    bool OpenSource();
    void HandOptions(File& file) const;
    bool MeasureWidths();
    void SettleWidths(const std::vector<FilePos>& widest);
    bool WriteGuessed(StagedOutput& out, bool& done);
    bool WriteTarget();
    void SaveTargetConnection();
    bool WriteHeader(StagedOutput& out);
    bool WriteRecords(StagedOutput& out, std::uint32_t& written);
    bool AppendRecord(const Values& values, std::string& line, std::uint32_t written);
    bool Progress(int pass, bool final = false);
    bool ProgressAt(int pass, FilePos done, FilePos total, bool final);
    DelimitedPasses::Progress PassProgress(int pass) {
        return [this, pass](FilePos done, FilePos total) {
            return ProgressAt(pass, done, total, false);
        };
    }
    void WidenFor(std::size_t columns, bool withNames);
    bool FailRunTogether() { return Fail(RunTogetherMessage()); }
    bool WriteDelimitedBlocks(TypedStream& typed, const DelimitedFormat& delimited,
                              StagedOutput& out, std::uint32_t& written);
    void TrimValues(const Values& values);
    const Values& AlignNumbers(const Values& values);

    const Converter& settings_;
    std::string source_;
    std::string target_;
    std::string error_;
    OutputKind kind_ = OutputKind::Delimited;
    std::string recordDelimiter_;
    std::string fieldDelimiter_;
    std::string qualifier_;
    File file_;
    std::unique_ptr<RecordStream> stream_;
    std::unique_ptr<DelimitedPasses> fast_;
    std::vector<std::string> names_;
    std::vector<FilePos> widths_;
    std::size_t layoutColumns_ = 0;
    std::uint64_t recordCount_ = 0;
    int passes_ = 1;
    FilePos nextProgress_ = 0;
    Values trimmed_;
    std::vector<bool> numbers_;  ///< typed numbers: right-aligned, numeric in dBase
    std::vector<int> decimals_;
    std::vector<std::string> aligned_;
    Values alignedValues_;
};

bool Conversion::ChooseOutput() {
    if (EndsWithNoCase(target_, ".dbf")) {
        kind_ = OutputKind::Dbase;
    } else if (settings_.IsFixed()) {
        kind_ = OutputKind::Fixed;
    } else if (settings_.IsDelimited()) {
        kind_ = OutputKind::Delimited;
    } else {
        return Fail("Choose fixed-length or delimited output before converting.");
    }
    if (kind_ != OutputKind::Delimited) return true;
    struct Setting {
        const std::string& text;
        const char* what;
        std::string& bytes;
    };
    for (const Setting& s :
         {Setting{settings_.RecordDelimiterRepresentation(), "end of record marker",
                  recordDelimiter_},
          Setting{settings_.FieldDelimiterRepresentation(), "field separator", fieldDelimiter_},
          Setting{settings_.TextQualifierRepresentation(), "text qualifier", qualifier_}}) {
        util::RepresentationResult r = util::RepresentationToCharacters(s.text);
        if (!r.ok()) {
            return Fail(std::string("The ") + s.what + " \"" + s.text +
                        "\" is not a valid representation: " + r.error);
        }
        s.bytes = r.characters;
    }
    if (recordDelimiter_.empty()) return Fail("The end of record marker of the output is empty.");
    return true;
}

bool Conversion::OpenSource() {
    if (source_.empty()) return Fail("No source file was given for the conversion.");
    if (target_.empty()) return Fail("No target file was given for the conversion.");
    if (SameFile(source_, target_)) {
        return Fail("The conversion would overwrite its own source \"" + source_ +
                    "\"; choose another target.");
    }
    // With a layout given, what the source's own connection would have been
    // (a side file left elsewhere, one that cannot be read) does not matter.
    const bool given = !settings_.SourceConnection().empty();
    std::string openError;
    file_.OnError = [this, given, &openError](const std::string& description, bool& cancel) {
        if (given && openError.empty()) openError = description;
        if (!given) Fail(description);
        cancel = true;
    };
    HandOptions(file_);
    if (!file_.Open(source_) || !file_.Connected()) {
        return Fail(openError.empty() ? "Cannot open the source \"" + source_ + "\"." : openError);
    }
    file_.OnError = [this](const std::string& description, bool& cancel) {
        Fail(description);
        cancel = true;
    };
    std::string layoutError;
    if (given && !ApplyCarriedConnection(file_, settings_.SourceConnection(), layoutError)) {
        return Fail("The layout given for \"" + source_ + "\" cannot be used: " + layoutError + ".");
    }
    if (!error_.empty()) return false;
    std::string streamError;
    // A dBase target keeps every record with its deletion mark; other
    // targets have no such mark, so deleted records stay out unless asked for.
    stream_ = RecordStream::For(file_, streamError,
                                kind_ == OutputKind::Dbase || settings_.KeepDeletedRecords());
    if (!stream_) return Fail(streamError);
    const Fields& fields = file_.GetFields();
    for (int i = 1; i <= fields.Count(); ++i) {
        const Field* f = fields.Item(i);
        const bool number = stream_->FixedPositions() && RightAligned(f->Format());
        names_.push_back(f->Name());
        // Decoded numbers take more characters than their bytes.
        widths_.push_back(number ? TypedWidth(f->Format()) : std::max<FilePos>(f->Length(), 0));
        numbers_.push_back(number);
        decimals_.push_back(std::max(0, f->Format().scale));
    }
    if (names_.empty()) {
        // A file without a layout: each record is one value.
        names_.push_back("Field1");
        widths_.push_back(std::max<FilePos>(file_.GetConnection().RecordLength(), 0));
    }
    layoutColumns_ = names_.size();
    return true;
}

void Conversion::HandOptions(File& file) const {
    if (!settings_.StoreConnectionAndIndexingFilesInDataPath().empty()) {
        file.SetStoreConnectionAndIndexingFilesInDataPath(
            settings_.StoreConnectionAndIndexingFilesInDataPath());
    }
    file.SetSecondaryConnectionAndIndexingPath(settings_.SecondaryConnectionAndIndexingPath());
    const FileTypes& types = settings_.GetFileTypes();
    file.GetFileTypes().Clear();
    for (int i = 1; i <= types.Count(); ++i) {
        Connection& copy = file.GetFileTypes().Add(types.Item(i)->Name());
        copy = *types.Item(i);
    }
}

bool Conversion::Progress(int pass, bool final) {
    return ProgressAt(pass, stream_->Done(), stream_->Total(), final);
}

bool Conversion::ProgressAt(int pass, FilePos done, FilePos total, bool final) {
    if (!settings_.OnProgress) return true;
    total = std::max<FilePos>(total, 1);
    if (final) done = total;
    if (done < nextProgress_ && !final) return true;
    nextProgress_ = done + ProgressStep(total);
    if (!settings_.OnProgress(pass * total + std::min(done, total), passes_ * total)) {
        return Fail("The conversion was cancelled; \"" + target_ + "\" was not written.");
    }
    return true;
}

void Conversion::TrimValues(const Values& values) {
    trimmed_.assign(values.begin(), values.end());
    for (std::string_view& v : trimmed_) v = TrimRight(v);
}

// Typed numbers stand right-aligned in fixed and dBase targets; in dBase an
// invalid one ("?" and its bytes) is left blank, as a numeric field holds no
// such text.
const Values& Conversion::AlignNumbers(const Values& values) {
    if (std::find(numbers_.begin(), numbers_.end(), true) == numbers_.end()) return values;
    alignedValues_.assign(values.begin(), values.end());
    aligned_.resize(numbers_.size());
    for (std::size_t i = 0; i < numbers_.size() && i < alignedValues_.size(); ++i) {
        if (!numbers_[i]) continue;
        std::string_view v = alignedValues_[i];
        if (kind_ == OutputKind::Dbase && !v.empty() && v.front() == '?') v = {};
        const auto width = static_cast<std::size_t>(std::max<FilePos>(widths_[i], 0));
        aligned_[i].assign(width > v.size() ? width - v.size() : 0, ' ');
        aligned_[i].append(v);
        alignedValues_[i] = aligned_[i];
    }
    return alignedValues_;
}

// From a delimited source, or for a dBase table, the widths are those of the
// widest values, so that no value is cut.
bool Conversion::MeasureWidths() {
    const bool fixedSource = stream_->FixedPositions();
    const bool withNames = kind_ == OutputKind::Fixed && settings_.FirstRecordContainsFieldNames();
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        widths_[i] = withNames ? static_cast<FilePos>(names_[i].size()) : 0;
    }
    if (fast_) {
        std::vector<FilePos> widest;
        std::string error;
        if (!fast_->Measure(widest, recordCount_, PassProgress(0), error)) return Fail(error);
        SettleWidths(widest);
        return ProgressAt(0, fast_->Total(), fast_->Total(), true);
    }
    if (!stream_->Rewind()) return Fail(stream_->Error());
    recordCount_ = 0;
    while (const Values* values = stream_->Next()) {
        if (values->size() > kMaxConvertedFields) return Fail(TooManyValuesMessage());
        WidenFor(values->size(), withNames);
        for (std::size_t i = 0; i < values->size(); ++i) {
            std::string_view v = fixedSource ? TrimRight((*values)[i]) : (*values)[i];
            if (i < numbers_.size() && numbers_[i] && !v.empty() && v.front() == '?') continue;
            widths_[i] = std::max(widths_[i], static_cast<FilePos>(v.size()));
        }
        ++recordCount_;
        if ((recordCount_ & 0x3FF) == 0 && !Progress(0)) return false;
    }
    if (!stream_->Error().empty()) return Fail(stream_->Error());
    return Progress(0, true);
}

// The widths of a delimited source with the widest values Widest.
void Conversion::SettleWidths(const std::vector<FilePos>& widest) {
    const bool withNames = kind_ == OutputKind::Fixed && settings_.FirstRecordContainsFieldNames();
    names_.resize(layoutColumns_);
    widths_.resize(layoutColumns_);
    for (std::size_t i = 0; i < widths_.size(); ++i) {
        widths_[i] = withNames ? static_cast<FilePos>(names_[i].size()) : 0;
    }
    WidenFor(widest.size(), withNames);
    for (std::size_t i = 0; i < widest.size(); ++i) widths_[i] = std::max(widths_[i], widest[i]);
}

// One pass instead of two where the widths guessed from samples hold: every
// value fits them and the widest fill them. Otherwise Done stays false and
// the output is empty again, for the writing pass over the widths the first
// pass measured (or, should the file change meanwhile, the usual two).
bool Conversion::WriteGuessed(StagedOutput& out, bool& done) {
    std::vector<FilePos> guess;
    std::string error;
    if (!fast_->GuessWidths(guess, error)) return Fail(error);
    SettleWidths(guess);
    const std::vector<FilePos> guessed = widths_;
    passes_ = 1;
    if (!WriteHeader(out)) return false;
    DelimitedPasses::Guessed found;
    if (!fast_->WriteGuessed(out, out.BytesWritten(), widths_, PassProgress(0), found, error)) {
        return Fail(error.empty() ? out.Error() : error);
    }
    if (found.known) {
        SettleWidths(found.widths);
        recordCount_ = found.records;
        done = found.fits && widths_ == guessed;
        if (done) return ProgressAt(0, fast_->Total(), fast_->Total(), true);
    }
    passes_ = 2;
    nextProgress_ = 0;
    if (!out.Restart()) return Fail(out.Error());
    if (!found.known && !MeasureWidths()) return false;
    nextProgress_ = 0;
    return true;
}

// Records with more values than the layout has fields get fields of their own.
void Conversion::WidenFor(std::size_t columns, bool withNames) {
    for (std::size_t i = widths_.size(); i < columns; ++i) {
        names_.push_back("Field" + std::to_string(i + 1));
        widths_.push_back(withNames ? static_cast<FilePos>(names_.back().size()) : 0);
    }
}

bool Conversion::WriteHeader(StagedOutput& out) {
    std::string line;
    if (kind_ == OutputKind::Dbase) {
        if (recordCount_ > std::numeric_limits<std::uint32_t>::max()) {
            return Fail("A dBase table holds at most 4294967295 records.");
        }
        for (FilePos& w : widths_) w = std::max<FilePos>(w, 1);
        std::string problem = DbaseLayoutProblem(names_, widths_);
        if (!problem.empty()) return Fail(problem);
        line = DbaseHeader(DbaseFieldNames(names_), widths_,
                           static_cast<std::uint32_t>(recordCount_), Today());
        for (std::size_t i = 0; i < numbers_.size(); ++i) {
            if (numbers_[i] && widths_[i] <= kDbaseMaxNumericLength)
                MarkDbaseNumeric(line, i, decimals_[i]);
        }
    } else if (settings_.FirstRecordContainsFieldNames()) {
        Values names(names_.begin(), names_.end());
        if (kind_ == OutputKind::Fixed) {
            for (std::size_t i = 0; i < names.size(); ++i) {
                names[i] = names[i].substr(0, static_cast<std::size_t>(widths_[i]));
            }
            AppendFixedRecord(names, widths_, line);
        } else if (!DelimitedFormat(recordDelimiter_, fieldDelimiter_, qualifier_)
                        .AppendRecord(names, 0, line)) {
            return Fail(
                "A field name holds a delimiter, and without a text qualifier it "
                "cannot be written.");
        }
    }
    if (!out.Write(line)) return Fail(out.Error());
    return true;
}

bool Conversion::AppendRecord(const Values& values, std::string& line, std::uint32_t written) {
    const Values& v = AlignNumbers(stream_->FixedPositions() && kind_ != OutputKind::Fixed
                                       ? (TrimValues(values), trimmed_)
                                       : values);
    bool ok = true;
    switch (kind_) {
        case OutputKind::Fixed:
            ok = AppendFixedRecord(v, widths_, line);
            break;
        case OutputKind::Dbase:
            ok = AppendDbaseRecord(v, widths_, line, stream_->Deleted());
            break;
        case OutputKind::Delimited:
            break;
    }
    if (!ok) {
        return Fail("The source \"" + source_ + "\" changed while it was converted (record " +
                    std::to_string(written + 1) + " no longer fits); nothing was written.");
    }
    return true;
}

bool Conversion::WriteRecords(StagedOutput& out, std::uint32_t& written) {
    DelimitedFormat delimited(recordDelimiter_, fieldDelimiter_, qualifier_);
    // Records are gathered into blocks of about a megabyte, which the output
    // writes straight through without copying them again.
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    if (fast_ && kind_ == OutputKind::Fixed) {
        std::string error;
        if (!fast_->WriteFixed(out, out.BytesWritten(), widths_, PassProgress(passes_ - 1),
                               error)) {
            return Fail(error.empty() ? out.Error() : error);
        }
        written = static_cast<std::uint32_t>(std::min<std::uint64_t>(recordCount_, UINT32_MAX));
        return ProgressAt(passes_ - 1, fast_->Total(), fast_->Total(), true);
    }
    if (fast_ && kind_ == OutputKind::Delimited) {
        // In pieces where a record is huge, so memory stays bounded.
        std::string error;
        std::uint64_t records = 0;
        if (!fast_->WriteDelimited(out, delimited, layoutColumns_, PassProgress(passes_ - 1),
                                   records, error)) {
            return Fail(error.empty() ? out.Error() : error);
        }
        written = static_cast<std::uint32_t>(std::min<std::uint64_t>(records, UINT32_MAX));
        return ProgressAt(passes_ - 1, fast_->Total(), fast_->Total(), true);
    }
    if (auto* typed = dynamic_cast<TypedStream*>(stream_.get()); typed && kind_ == OutputKind::Delimited)
        return WriteDelimitedBlocks(*typed, delimited, out, written);
    std::string line;
    line.reserve(2 * kBlock);
    if (!stream_->Rewind()) return Fail(stream_->Error());
    while (const Values* values = stream_->Next()) {
        if (kind_ == OutputKind::Delimited) {
            if (fieldDelimiter_.empty() && values->size() > 1) return FailRunTogether();
            const Values& v = stream_->FixedPositions() ? (TrimValues(*values), trimmed_) : *values;
            if (!delimited.AppendRecord(v, layoutColumns_, line)) {
                return Fail(UnqualifiableMessage(written + 1));
            }
        } else if (!AppendRecord(*values, line, written)) {
            return false;
        }
        if (line.size() >= kBlock) {
            if (!out.Write(line)) return Fail(out.Error());
            line.clear();
        }
        ++written;
        if ((written & 0x3FF) == 0 && !Progress(passes_ - 1)) return false;
    }
    if (!stream_->Error().empty()) return Fail(stream_->Error());
    if (!out.Write(line)) return Fail(out.Error());
    return Progress(passes_ - 1, true);
}

// Decoded records come as blocks of delimited text, written by the decoding
// threads, with the trailing blanks of text fields gone as above.
bool Conversion::WriteDelimitedBlocks(TypedStream& typed, const DelimitedFormat& delimited,
                                      StagedOutput& out, std::uint32_t& written) {
    typed.SetDelimited(&delimited, true);
    if (!typed.Rewind()) return Fail(typed.Error());
    std::string_view block;
    RecordNo records = 0;
    while (typed.NextDelimited(block, records)) {
        if (!out.Write(block)) return Fail(out.Error());
        written += static_cast<std::uint32_t>(records);
        if (!Progress(passes_ - 1)) return false;
    }
    if (typed.Unwritable() > 0) {
        return Fail("Record " + std::to_string(typed.Unwritable()) +
                    " holds a delimiter, and without a text qualifier it cannot be written unchanged.");
    }
    if (!typed.Error().empty()) return Fail(typed.Error());
    return Progress(passes_ - 1, true);
}

bool Conversion::WriteTarget() {
    StagedOutput out(target_);
    if (!out.Create()) return Fail(out.Error());
    std::uint32_t written = 0;
    bool done = false;
    if (fast_ && kind_ == OutputKind::Fixed && !WriteGuessed(out, done)) return false;
    if (!done && (!WriteHeader(out) || !WriteRecords(out, written))) return false;
    if (kind_ == OutputKind::Dbase) {
        if (!out.Write(std::string_view(&kDbaseEndOfFile, 1)) ||
            !out.WriteAt(kDbaseRecordCountOffset, DbaseRecordCount(written))) {
            return Fail(out.Error());
        }
    }
    if (!out.Commit()) return Fail(out.Error());
    if (kind_ != OutputKind::Dbase) SaveTargetConnection();
    return true;
}

// The target gets a connection file of its own (and a fixed one its format
// file), so it opens divided exactly as it was written instead of relying on
// detection, and a later conversion reads it back the same way.
void Conversion::SaveTargetConnection() {
    File target;
    target.OnError = [](const std::string&, bool& cancel) { cancel = true; };
    HandOptions(target);
    if (!target.Open(target_)) return;
    Connection& c = target.GetConnection();
    c.SetFirstRecordContainsFieldNames(settings_.FirstRecordContainsFieldNames());
    if (kind_ == OutputKind::Fixed) {
        FilePos length = 0;
        for (FilePos w : widths_) length += w;
        target.SetDatabaseType("Flat ASCII");
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        // Fixed records skip a names record by starting one record in.
        c.SetByteOffset(settings_.FirstRecordContainsFieldNames() ? length + 2 : 0);
        c.SetRecordLength(length + 2);
        target.GetFields().Clear();
        FilePos start = 1;
        for (std::size_t i = 0; i < names_.size(); ++i) {
            target.GetFields().Add(names_[i], widths_[i], {}, start);
            start += widths_[i];
        }
    } else {
        target.SetDatabaseType("Flat ASCII");
        c.SetIsFixed(false);
        c.SetIsDelimited(true);
        c.SetRecordDelimiterRepresentation(settings_.RecordDelimiterRepresentation());
        c.SetFieldDelimiterRepresentation(settings_.FieldDelimiterRepresentation());
        c.SetTextQualifierRepresentation(settings_.TextQualifierRepresentation());
        target.Refresh();
    }
    target.SaveConnection("", kind_ == OutputKind::Fixed);
}

bool Conversion::Run() {
    if (!ChooseOutput() || !OpenSource()) return false;
    if (kind_ == OutputKind::Delimited && fieldDelimiter_.empty() && layoutColumns_ > 1) {
        return FailRunTogether();
    }
    const bool measure =
        kind_ == OutputKind::Dbase || (kind_ == OutputKind::Fixed && !stream_->FixedPositions());
    passes_ = measure ? 2 : 1;
    if (measure || kind_ == OutputKind::Delimited) fast_ = stream_->FastPasses();
    if (measure && !(fast_ && kind_ == OutputKind::Fixed) && !MeasureWidths()) return false;
    nextProgress_ = 0;
    return WriteTarget();
}

}  // namespace

Converter::Converter() {
    EngineDefaults defaults = GetEngineDefaults();
    storeInDataPath_ = defaults.sideFiles.storeInDataPath ? "True" : "False";
    secondaryPath_ = defaults.sideFiles.secondaryPath;
    for (const Connection& type : defaults.fileTypes) fileTypes_.Add(type.Name()) = type;
}

bool Converter::Convert(const std::string& source, const std::string& target) {
    std::string error;
    bool ok = false;
    try {
        Conversion conversion(*this, source, target);
        ok = conversion.Run();
        error = conversion.Error();
    } catch (const std::exception& e) {
        error = std::string("The conversion failed: ") + e.what();
    } catch (...) {
        error = "The conversion failed.";
    }
    if (!ok && error.empty()) error = "The conversion failed.";
    if (!ok && OnError) {
        bool cancel = false;
        OnError(error, cancel);
    }
    return ok;
}

}  // namespace velmor::data
