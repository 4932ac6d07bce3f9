#include "datatools/codecounter.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <future>
#include <memory>

#include "data/convert_reader.h"
#include "data/convert_source.h"
#include "data/file.h"
#include "data/filesplit.h"
#include "datatools/textcells.h"
#include "util/utilities.h"

namespace velmor::datatools {

const char* const kCountMismatchMessage =
    "The code counter has failed to count the correct number of codes in the file.";

namespace {

using data::FilePos;
using data::RecordNo;
using Result = CodeCounter::Result;

constexpr std::size_t kBlock = std::size_t{1} << 20;
// Below this many records a second thread costs more than it saves.
constexpr RecordNo kSmallestSplit = RecordNo{1} << 16;

bool IsEbcdic(const data::File& file) {
    auto has = [](const std::string& name) {
        return util::ToUpper(name).find("EBCDIC") != std::string::npos;
    };
    return has(file.DatabaseType()) || has(file.GetConnection().DatabaseTypeName());
}

struct FixedShape {
    std::string path;
    FilePos offset = 0;
    std::size_t recordLength = 0;
    std::size_t start = 0;   // of the field within the record, 0-based
    std::size_t length = 0;  // of the field
};

// Records [From, To) of a plain fixed-length file. Tick, when given, is
// asked after every block whether to go on.
bool CountFixedRange(const FixedShape& s, RecordNo from, RecordNo to, CodeTable& table,
                     std::atomic<RecordNo>& done, const std::atomic<bool>& stop,
                     const std::function<bool()>& tick, std::string& error) {
    const auto length = static_cast<FilePos>(s.recordLength);
    data::BlockReader reader;
    if (!reader.Open(s.path, s.offset + from * length, s.offset + to * length,
                     std::max(kBlock, s.recordLength * 2), error)) {
        return false;
    }
    RecordNo r = from;
    std::vector<std::string_view> codes;
    while (r < to) {
        if (stop.load(std::memory_order_relaxed) || (tick && !tick())) return false;
        if (!reader.Fill(error)) return false;
        const std::string_view data = reader.Data();
        std::size_t at = 0;
        codes.clear();
        while (r < to && at < data.size() &&
               (data.size() - at >= s.recordLength || reader.AtEnd())) {
            const std::string_view record =
                data.substr(at, std::min(s.recordLength, data.size() - at));
            codes.push_back(s.start < record.size() ? record.substr(s.start, s.length)
                                                    : std::string_view());
            at += record.size();
            ++r;
        }
        table.AddMany(codes.data(), codes.size());
        reader.Consume(at);
        done.store(r - from, std::memory_order_relaxed);
        if (reader.AtEnd() && reader.Data().empty()) break;  // the file is shorter now
    }
    return true;
}

Result CountFixed(data::File& file, const data::Field& field,
                  const CodeCounter::Progress& progress) {
    Result result;
    const data::Connection& c = file.GetConnection();
    const FixedShape shape{
        file.PathAndName(), c.ByteOffset(),
        static_cast<std::size_t>(std::max<FilePos>(c.RecordLength(), 0)),
        static_cast<std::size_t>(std::max<FilePos>(field.StartingPosition(), 1) - 1),
        static_cast<std::size_t>(std::max<FilePos>(field.Length(), 0))};
    const RecordNo n = file.RecordCount();
    result.expected = n;
    result.outcome = CodeCounter::Outcome::Counted;
    if (shape.recordLength == 0 || n <= 0) return result;
    // On one core a second thread only adds work.
    const RecordNo split = n >= kSmallestSplit && data::TwoCoresAvailable() ? n / 2 : n;
    CodeTable first;
    CodeTable second;
    std::atomic<bool> stop{false};
    std::atomic<RecordNo> doneA{0};
    std::atomic<RecordNo> doneB{0};
    std::string errorB;
    std::future<bool> other;
    if (split < n) {
        other = std::async(std::launch::async, [&] {
            return CountFixedRange(shape, split, n, second, doneB, stop, nullptr, errorB);
        });
    }
    // Progress and cancel are looked at from this thread only: between the
    // blocks of its own share and while it waits for the other.
    const std::function<bool()> tick = [&] {
        if (progress && !progress(doneA.load() + doneB.load(), n)) stop = true;
        return !stop.load();
    };
    bool ok = CountFixedRange(shape, 0, split, first, doneA, stop, tick, result.error);
    if (!ok) stop = true;
    if (split < n) {
        while (other.wait_for(std::chrono::milliseconds(20)) != std::future_status::ready) tick();
        const bool otherOk = other.get();
        if (ok && !otherOk) {
            ok = false;
            result.error = errorB;
        }
    }
    if (!ok) {
        result.outcome = result.error.empty() ? CodeCounter::Outcome::Cancelled
                                              : CodeCounter::Outcome::Failed;
        return result;
    }
    first.Merge(second);
    result.records = first.Total();
    result.codes = first.Sorted();
    return result;
}

Result CountDelimitedFast(data::DelimitedPasses& passes, int fieldIndex,
                          const CodeCounter::Progress& progress) {
    Result result;
    CodeTable first;
    CodeTable second;
    bool cancelled = false;
    auto tick = [&](FilePos done, FilePos total) {
        cancelled = progress && !progress(done, total);
        return !cancelled;
    };
    std::uint64_t records = 0;
    if (!passes.VisitColumn(static_cast<std::size_t>(fieldIndex - 1), first, second, records, tick,
                            result.error)) {
        result.outcome = cancelled && result.error.empty() ? CodeCounter::Outcome::Cancelled
                                                           : CodeCounter::Outcome::Failed;
        return result;
    }
    first.Merge(second);
    result.records = first.Total();
    result.codes = first.Sorted();
    result.outcome = CodeCounter::Outcome::Counted;
    return result;
}

// Any other file, record by record through the stream the converter uses,
// which asks the engine itself where only it knows the values (EBCDIC).
Result CountStream(data::File& file, int fieldIndex, const CodeCounter::Progress& progress) {
    Result result;
    bool cancelled = false;
    file.OnProgress = [&](std::int64_t done, std::int64_t total) {
        cancelled = progress && !progress(done, total);
        return !cancelled;
    };
    // The records counted so far are the sum to check against: a delimited
    // file is counted to its end first, or a file longer than the opening
    // sample would always seem to hold more codes than records.
    if (!file.FixedLayout()) file.MoveLast();
    std::unique_ptr<data::RecordStream> stream =
        cancelled ? nullptr : data::RecordStream::For(file, result.error);
    if (!stream || !stream->Rewind() || cancelled) {
        file.OnProgress = nullptr;
        if (cancelled) result.outcome = CodeCounter::Outcome::Cancelled;
        if (stream && result.error.empty()) result.error = stream->Error();
        return result;
    }
    file.OnProgress = nullptr;
    CodeTable table;
    const auto column = static_cast<std::size_t>(fieldIndex - 1);
    RecordNo n = 0;
    while (const data::Values* values = stream->Next()) {
        table.Add(column < values->size() ? (*values)[column] : std::string_view());
        if ((++n & 1023) == 0 && progress && !progress(stream->Done(), stream->Total())) {
            result.outcome = CodeCounter::Outcome::Cancelled;
            return result;
        }
    }
    if (!stream->Error().empty()) {
        result.error = stream->Error();
        return result;
    }
    result.expected = file.RecordCount();
    result.records = table.Total();
    result.codes = table.Sorted();
    result.outcome = CodeCounter::Outcome::Counted;
    return result;
}

}  // namespace

Result CodeCounter::Count(data::File& file, int fieldIndex, const Progress& progress) {
    Result result;
    const data::Field* field = file.GetFields().Item(fieldIndex);
    if (!file.Connected() || field == nullptr) {
        result.error = "There is no field " + std::to_string(fieldIndex) + " to count.";
        return result;
    }
    try {
        // Typed numbers are counted by value, through the converter's stream.
        if (file.FixedLayout() && !IsEbcdic(file) && !field->Format().IsNumber())
            return CountFixed(file, *field, progress);
        std::string error;
        std::unique_ptr<data::RecordStream> stream = data::RecordStream::For(file, error);
        std::unique_ptr<data::DelimitedPasses> passes = stream ? stream->FastPasses() : nullptr;
        if (passes) return CountDelimitedFast(*passes, fieldIndex, progress);
        return CountStream(file, fieldIndex, progress);
    } catch (const std::exception& e) {
        result.error = std::string("The count failed: ") + e.what();
    }
    return result;
}

std::string CodeCounter::Report(const std::vector<CodeCount>& codes, data::FilePos fieldLength) {
    // A field far wider than every code it holds (a file without a layout
    // is one field of any length) is padded only as far as a code reaches:
    // the text grows with the bytes that exist, not with a stated length.
    // A code is never cut to the field: a delimited field's length is only
    // the longest value of the sample it was detected from, and two codes
    // cut alike would print as one code on two lines.
    constexpr data::FilePos kAlwaysPadded = 4096;
    std::size_t longest = 0;
    for (const CodeCount& c : codes) longest = std::max(longest, TextWidth(c.code));
    const data::FilePos padTo =
        std::max(std::clamp<data::FilePos>(fieldLength, 0, kAlwaysPadded),
                 static_cast<data::FilePos>(longest));
    const std::size_t width = static_cast<std::size_t>(padTo) + 1;
    std::size_t countWidth = 7;
    for (const CodeCount& c : codes) countWidth = std::max(countWidth, std::to_string(c.count).size());
    std::string out;
    out.reserve(codes.size() * (width + countWidth + 2));
    for (const CodeCount& c : codes) {
        AppendPadded(c.code, width, out);
        const std::string count = std::to_string(c.count);
        out += count;
        out.append(countWidth - count.size(), ' ');
        out += "\r\n";
    }
    return out;
}

bool CodeCounter::OpenLike(const data::File& source, data::File& copy, std::string& error) {
    std::string failure;
    copy.OnError = [&failure](const std::string& description, bool& cancel) {
        if (failure.empty()) failure = description;
        cancel = true;
    };
    const bool opened = copy.Open(source.PathAndName()) && copy.Connected();
    if (opened) {
        copy.SetDatabaseType(source.DatabaseType());
        copy.CopyConnectionFrom(source.GetConnection());
        copy.GetFields().CopyFrom(source.GetFields());
    }
    copy.OnError = nullptr;
    if (opened && failure.empty()) return true;
    error = !failure.empty() ? failure : "Cannot open \"" + source.PathAndName() + "\".";
    return false;
}

data::CodePage DisplayPage(const data::File& file) {
    return IsEbcdic(file) ? data::CodePage::Latin1 : data::CodePage::Windows1252;
}

std::vector<std::string> NameUnnamedFields(data::Fields& fields) {
    std::vector<std::string> names;
    for (int i = 1; i <= fields.Count(); ++i) {
        data::Field* field = fields.Item(i);
        if (field->Name().empty()) {
            for (std::int64_t n = i;; ++n) {
                const std::string name = "Field" + std::to_string(n);
                if (!fields.Exists(name)) {
                    field->SetName(name);
                    break;
                }
            }
        }
        names.push_back(field->Name());
    }
    return names;
}

int FieldToCount(data::Fields& fields, const std::string& given, data::CodePage page) {
    NameUnnamedFields(fields);
    if (given.size() > 1 && given[0] == '#') {
        int number = 0;
        for (std::size_t i = 1; i < given.size(); ++i) {
            if (given[i] < '0' || given[i] > '9' || number > fields.Count()) return 0;
            number = number * 10 + (given[i] - '0');
        }
        return number >= 1 && number <= fields.Count() ? number : 0;
    }
    if (const int index = fields.IndexOf(given); index > 0) return index;
    // The name as printed: UTF-8 for the bytes the file holds.
    std::string bytes;
    return data::FromUtf8(given, page, bytes) ? fields.IndexOf(bytes) : 0;
}

}  // namespace velmor::datatools
