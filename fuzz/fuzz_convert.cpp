// The converter's fast passes on arbitrary bytes: the widths, the record
// count, the fixed-length and the CSV output and one column's values (as the
// code counter takes them) must be exactly those of the exact
// record-by-record splitter, on one thread or two, with reads of the usual
// size or of 64 bytes (records then mostly come in pieces).
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "data/convert_fast.h"
#include "data/convert_format.h"
#include "data/convert_output.h"
#include "data/convert_scan.h"

using namespace velmor::data;

namespace {

struct Result {
    std::vector<FilePos> widths;
    std::uint64_t records = 0;
    std::string fixed;
    std::string delimited;
    std::string column;  ///< the values of one column, each followed by a NUL
};

// The value as the code counter's sink keeps it: a long one by its length.
std::string Kept(std::string_view value) {
    if (value.size() > kKeptValueBytes) return "long " + std::to_string(value.size());
    return std::string(value);
}

struct Collected : ColumnSink {
    std::string values;
    void Add(std::string_view value) override { (values += Kept(value)) += '\0'; }
    void AddLong(std::string_view, std::uint64_t length, std::uint64_t) override {
        (values += "long " + std::to_string(length)) += '\0';
    }
    void Clear() override { values.clear(); }
};

const DelimitedFormat kCsv("\r\n", ",", "\"");

Result Reference(std::string_view data, const DelimitedSyntax& syntax, bool skipFirst,
                 std::size_t column) {
    DelimitedSplitter splitter(syntax);
    std::vector<std::vector<std::string>> records;
    std::size_t used = 0;
    while (!data.empty() && splitter.Next(data, true, used) && used > 0) {
        records.emplace_back(splitter.Values().begin(), splitter.Values().end());
        data.remove_prefix(used);
    }
    if (skipFirst && !records.empty()) records.erase(records.begin());
    Result r;
    for (const auto& values : records) {
        if (r.widths.size() < values.size()) r.widths.resize(values.size(), 0);
        for (std::size_t i = 0; i < values.size(); ++i) {
            r.widths[i] = std::max(r.widths[i], static_cast<FilePos>(values[i].size()));
        }
    }
    r.records = records.size();
    for (const auto& values : records) {
        for (std::size_t i = 0; i < r.widths.size(); ++i) {
            std::string v = i < values.size() ? values[i] : std::string();
            r.fixed += v + std::string(static_cast<std::size_t>(r.widths[i]) - v.size(), ' ');
        }
        r.fixed += "\r\n";
        kCsv.AppendRecord(Values(values.begin(), values.end()), 2, r.delimited);
        (r.column += column < values.size() ? Kept(values[column]) : std::string()) += '\0';
    }
    return r;
}

std::string Folder() {
    static std::string folder = [] {
        // In memory where there is such a folder: every run syncs its output.
        std::string name = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
        name += "/velmor-fuzz-convert-XXXXXX";
        const char* made = ::mkdtemp(name.data());
        if (made == nullptr) std::abort();
        return std::string(made);
    }();
    return folder;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    if (size < 2) return 0;
    static const char* const kRecords[] = {"\r\n", "\n", "\r"};
    static const char* const kFields[] = {",", "\t", ";"};
    static const char* const kQualifiers[] = {"\"", "'", ""};
    const DelimitedSyntax syntax{kRecords[data[0] % 3], kFields[(data[0] / 3) % 3],
                                 kQualifiers[(data[0] / 9) % 3]};
    const bool skipFirst = (data[1] & 1) != 0;
    const int threads = (data[1] & 2) != 0 ? 2 : 1;
    const bool smallReads = (data[1] & 64) != 0;
    const std::size_t column = data[0] / 27;  // 0 to 9: some past the early columns
    const std::string text(reinterpret_cast<const char*>(data + 2), size - 2);
    const std::string source = Folder() + "/source.txt";
    const std::string target = Folder() + "/target.txt";
    std::ofstream(source, std::ios::binary | std::ios::trunc) << text;

    const Result expected = Reference(text, syntax, skipFirst, column);
    DelimitedPasses passes(source, 0, syntax, skipFirst);
    passes.SetThreads(threads);
    passes.SetSmallestSplit(1);
    if (smallReads) passes.SetReadBytes(64);
    Result got;
    std::string error;
    if (!passes.Measure(got.widths, got.records, nullptr, error)) std::abort();
    if (got.widths != expected.widths || got.records != expected.records) std::abort();
    StagedOutput out(target);
    if (!out.Create() || !passes.WriteFixed(out, 0, got.widths, nullptr, error) || !out.Commit()) {
        std::abort();
    }
    if (ReadAll(target) != expected.fixed) std::abort();
    StagedOutput csv(target);
    std::uint64_t records = 0;
    if (!csv.Create() || !passes.WriteDelimited(csv, kCsv, 2, nullptr, records, error) ||
        !csv.Commit() || records != expected.records || ReadAll(target) != expected.delimited) {
        std::abort();
    }
    Collected first, second;
    if (!passes.VisitColumn(column, first, second, records, nullptr, error) ||
        records != expected.records || first.values + second.values != expected.column) {
        std::abort();
    }

    // One pass over widths guessed from samples of a few bytes, so that the
    // guesses miss both ways; what follows a miss must give the same output.
    DelimitedPasses guessing(source, 0, syntax, skipFirst);
    guessing.SetThreads(threads);
    guessing.SetSmallestSplit(1);
    guessing.SetSampleBytes(1 + (data[1] >> 2) % 16);
    if (smallReads) guessing.SetReadBytes(64);
    std::vector<FilePos> guess;
    DelimitedPasses::Guessed found;
    StagedOutput again(target);
    if (!guessing.GuessWidths(guess, error) || !again.Create() ||
        !guessing.WriteGuessed(again, 0, guess, nullptr, found, error)) {
        std::abort();
    }
    if (found.known && (found.widths != expected.widths || found.records != expected.records)) {
        std::abort();
    }
    if (!found.fits || found.widths != guess) {
        std::vector<FilePos> widths = found.widths;
        if (!again.Restart() ||
            (!found.known && !guessing.Measure(widths, found.records, nullptr, error)) ||
            !guessing.WriteFixed(again, 0, widths, nullptr, error)) {
            std::abort();
        }
    }
    if (!again.Commit() || ReadAll(target) != expected.fixed) std::abort();
    return 0;
}
