#include "data/convert_source.h"

#include <algorithm>

#include "data/convert_fast.h"
#include "data/convert_reader.h"
#include "data/convert_scan.h"
#include "data/convert_typed.h"
#include "data/datareader.h"
#include "data/detection.h"
#include "data/file.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr std::size_t kBlock = 1 << 20;

FilePos DataStart(const std::string& path, FilePos byteOffset) {
    DataReader reader;
    std::string error;
    std::string head = reader.Open(path, error) ? reader.ReadString(0, 3) : std::string();
    return DelimitedDataStart(head, byteOffset);
}

bool Matches(std::string_view data, std::size_t at, const std::string& text) {
    return !text.empty() && data.substr(at, text.size()) == text;
}

// Where the first record from From ends (after its record delimiter), read
// the way DelimitedSplitter reads it but without splitting it into values:
// a names row may be as long as the file, and its values would take many
// times its size, while this keeps a block or two.
bool FirstRecordEnd(const std::string& path, FilePos from, const DelimitedSyntax& syntax,
                    FilePos& end, std::string& error) {
    const std::string& record = syntax.recordDelimiter;
    const std::string& field = syntax.fieldDelimiter;
    const std::string& quote = syntax.qualifier;
    // A decision at a byte looks at most this far ahead (a doubled quote).
    const std::size_t ahead = std::max({record.size(), field.size(), 2 * quote.size(), 1UL});
    BlockReader reader;
    if (!reader.Open(path, from, BlockReader::kToEnd, kBlock, error)) return false;
    std::string stops;
    if (!record.empty()) stops += record[0];
    if (!field.empty()) stops += field[0];
    bool fieldStart = true;
    bool quoted = false;
    for (;;) {
        if (!reader.Fill(error)) return false;
        const std::string_view data = reader.Data();
        const std::size_t decidable = reader.AtEnd()               ? data.size()
                                      : data.size() > ahead ? data.size() - ahead
                                                            : 0;
        std::size_t i = 0;
        while (i < decidable) {
            if (quoted) {
                const std::size_t at = data.find(quote[0], i);
                if (at >= decidable) {
                    i = decidable;
                } else if (!Matches(data, at, quote)) {
                    i = at + 1;
                } else if (Matches(data, at + quote.size(), quote)) {
                    i = at + 2 * quote.size();  // a doubled quote stands for itself
                } else {
                    quoted = false;  // bytes up to the next delimiter stay in the value
                    i = at + quote.size();
                }
            } else if (fieldStart && Matches(data, i, quote)) {
                quoted = true;
                fieldStart = false;
                i += quote.size();
            } else if (Matches(data, i, record)) {
                end = reader.Position() + static_cast<FilePos>(i + record.size());
                return true;
            } else if (Matches(data, i, field)) {
                fieldStart = true;
                i += field.size();
            } else {
                // Only a delimiter can end a plain value.
                fieldStart = false;
                i = std::min(data.find_first_of(stops, i + 1), decidable);
            }
        }
        reader.Consume(i);
        if (reader.AtEnd()) {
            end = reader.Position();
            return true;
        }
    }
}

class DelimitedStream : public RecordStream {
public:
    DelimitedStream(const File& file, DelimitedSyntax syntax)
        : path_(file.PathAndName()),
          offset_(DataStart(path_, file.GetConnection().ByteOffset())),
          total_(file.FileLength()),
          syntax_(syntax),
          splitter_(std::move(syntax)) {
        if (file.GetConnection().FirstRecordContainsFieldNames() &&
            !FirstRecordEnd(path_, offset_, syntax_, offset_, namesError_)) {
            offset_ = total_;
        }
    }

    bool Rewind() override {
        error_ = namesError_;
        return error_.empty() &&
               reader_.Open(path_, offset_, BlockReader::kToEnd, kBlock, error_);
    }

    const Values* Next() override { return NextRecord(); }
    FilePos Done() const override { return reader_.Done(); }
    FilePos Total() const override { return total_; }
    bool FixedPositions() const override { return false; }
    std::unique_ptr<DelimitedPasses> FastPasses() const override {
        if (!namesError_.empty() || !DelimitedPasses::Suits(syntax_)) return nullptr;
        // The names row is already behind Offset.
        return std::make_unique<DelimitedPasses>(path_, offset_, syntax_, false);
    }

private:
    const Values* NextRecord() {
        for (;;) {
            std::size_t consumed = 0;
            if (splitter_.Next(reader_.Data(), reader_.AtEnd(), consumed)) {
                reader_.Consume(consumed);
                return &splitter_.Values();
            }
            if (reader_.AtEnd() || !error_.empty()) return nullptr;
            if (!reader_.Fill(error_)) return nullptr;
        }
    }

    std::string path_;
    FilePos offset_;  ///< where the first data record starts
    FilePos total_;
    std::string namesError_;  ///< set when the names row could not be read
    DelimitedSyntax syntax_;
    DelimitedSplitter splitter_;
    BlockReader reader_;
};

struct Slice {
    std::size_t begin;
    std::size_t size;
};

class FixedStream : public RecordStream {
public:
    FixedStream(const File& file, std::vector<Slice> slices, int deletedRecords)
        : deletedRecords_(deletedRecords),
          path_(file.PathAndName()),
          offset_(file.GetConnection().ByteOffset()),
          length_(static_cast<std::size_t>(file.GetConnection().RecordLength())),
          count_(file.RecordCount()),
          slices_(std::move(slices)) {}

    bool Rewind() override {
        error_.clear();
        read_ = 0;
        return length_ == 0 || reader_.Open(path_, offset_, BlockReader::kToEnd, kBlock, error_);
    }

    const Values* Next() override {
        std::string_view record;
        do {
            if (!NextRecord(record)) return nullptr;
            deleted_ = deletedRecords_ != kNoMarks && record.front() == '*';
        } while (deleted_ && deletedRecords_ == kSkip);
        values_.clear();
        for (const Slice& s : slices_) {
            values_.push_back(s.begin < record.size() ? record.substr(s.begin, s.size)
                                                      : std::string_view());
        }
        return &values_;
    }

    FilePos Done() const override { return reader_.Done(); }
    FilePos Total() const override { return offset_ + count_ * static_cast<FilePos>(length_); }
    bool FixedPositions() const override { return true; }
    bool Deleted() const override { return deleted_; }

    /// What to do with the deletion marks of a dBase table.
    static constexpr int kNoMarks = 0, kSkip = 1, kKeep = 2;

private:
    bool NextRecord(std::string_view& record) {
        if (length_ == 0 || read_ >= count_) return false;
        while (reader_.Data().size() < length_ && !reader_.AtEnd()) {
            if (!reader_.Fill(error_)) return false;
        }
        std::string_view data = reader_.Data();
        if (data.empty()) return false;
        record = data.substr(0, std::min(length_, data.size()));
        reader_.Consume(record.size());  // the bytes stay until the next Fill
        ++read_;
        return true;
    }

    int deletedRecords_;
    bool deleted_ = false;
    std::string path_;
    FilePos offset_;
    std::size_t length_;
    RecordNo count_;
    RecordNo read_ = 0;
    std::vector<Slice> slices_;
    BlockReader reader_;
    Values values_;
};

// Goes through the File itself: slower, but every translation the engine
// applies to values (EBCDIC) is applied here too.
class EngineStream : public RecordStream {
public:
    explicit EngineStream(File& file) : file_(file) {}

    bool Rewind() override {
        error_.clear();
        file_.MoveLast();
        count_ = file_.RecordCount();
        next_ = 1;
        return true;
    }

    const Values* Next() override {
        if (next_ > count_) return nullptr;
        file_.MoveTo(next_++);
        texts_.clear();
        const int fields = file_.GetFields().Count();
        if (fields == 0) texts_.push_back(file_.RecordText());
        for (int i = 1; i <= fields; ++i) texts_.push_back(file_.FieldValue(i));
        values_.assign(texts_.begin(), texts_.end());
        return &values_;
    }

    FilePos Done() const override { return next_ - 1; }
    FilePos Total() const override { return count_; }
    bool FixedPositions() const override { return true; }

private:
    File& file_;
    RecordNo count_ = 0;
    RecordNo next_ = 1;
    std::vector<std::string> texts_;
    Values values_;
};

bool IsEbcdic(const File& file) {
    auto has = [](const std::string& name) {
        return util::ToUpper(name).find("EBCDIC") != std::string::npos;
    };
    return has(file.DatabaseType()) || has(file.GetConnection().DatabaseTypeName());
}

std::vector<Slice> FieldSlices(const File& file) {
    std::vector<Slice> slices;
    const Fields& fields = file.GetFields();
    for (int i = 1; i <= fields.Count(); ++i) {
        const Field* f = fields.Item(i);
        FilePos start = std::max<FilePos>(f->StartingPosition(), 1) - 1;
        slices.push_back({static_cast<std::size_t>(start),
                          static_cast<std::size_t>(std::max<FilePos>(f->Length(), 0))});
    }
    if (slices.empty()) {
        slices.push_back({0, static_cast<std::size_t>(
                                 std::max<FilePos>(file.GetConnection().RecordLength(), 0))});
    }
    return slices;
}

bool ReadRepresentation(const std::string& text, const char* what, std::string& bytes,
                        std::string& error) {
    util::RepresentationResult r = util::RepresentationToCharacters(text);
    if (!r.ok()) {
        error = std::string("The ") + what + " of the source, \"" + text +
                "\", is not a valid representation: " + r.error;
        return false;
    }
    bytes = r.characters;
    return true;
}

}  // namespace

std::unique_ptr<RecordStream> RecordStream::For(File& file, std::string& error, bool keepDeleted) {
    if (!file.Connected()) {
        error = "No source file is open.";
        return nullptr;
    }
    // Variable records (RDW, BDW) are read through the engine's index.
    if (file.GetConnection().IsVariable()) return std::make_unique<EngineStream>(file);
    if (file.FixedLayout()) {
        const bool dbase = util::ToUpper(file.DatabaseType()).rfind("DBASE", 0) == 0;
        // EBCDIC text and typed numbers are decoded as the viewer shows them.
        TypedRecords typed = TypedRecords::ForFields(file.GetFields(),
                                                     file.GetConnection().RecordLength(), IsEbcdic(file));
        if (!dbase && (IsEbcdic(file) || typed.AnyNumber())) {
            return std::make_unique<TypedStream>(file.PathAndName(), file.GetConnection().ByteOffset(),
                                                 file.GetConnection().RecordLength(),
                                                 file.RecordCount(), std::move(typed));
        }
        return std::make_unique<FixedStream>(file, FieldSlices(file),
                                             !dbase        ? FixedStream::kNoMarks
                                             : keepDeleted ? FixedStream::kKeep
                                                           : FixedStream::kSkip);
    }
    const Connection& c = file.GetConnection();
    DelimitedSyntax syntax;
    if (!ReadRepresentation(c.RecordDelimiterRepresentation(), "record delimiter",
                            syntax.recordDelimiter, error) ||
        !ReadRepresentation(c.FieldDelimiterRepresentation(), "field delimiter",
                            syntax.fieldDelimiter, error) ||
        !ReadRepresentation(c.TextQualifierRepresentation(), "text qualifier", syntax.qualifier,
                            error)) {
        return nullptr;
    }
    // Without a field delimiter the engine cuts values at the fields'
    // positions; only it knows how, so it is asked record by record.
    if (syntax.fieldDelimiter.empty()) return std::make_unique<EngineStream>(file);
    return std::make_unique<DelimitedStream>(file, std::move(syntax));
}

}  // namespace velmor::data
