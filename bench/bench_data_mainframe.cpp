// Mainframe files: EBCDIC records of text, zoned, packed and binary fields
// described by a copybook. Converting them to CSV against converting a text
// fixed file of the same size, and counting the RDW variant against `wc -l`
// on that text file (page cache warm; the two taking turns, medians).
#include <fstream>

#include "bench_data_common.h"
#include "data/ebcdic.h"
#include "data/file.h"

namespace {

// NAME X(20), CITY X(10), QTY S9(7)V99 (zoned), AMOUNT S9(9)V99 COMP-3,
// COUNT S9(9) COMP, CODE S9(4) COMP: 51 bytes.
const char* const kCopybook =
    "       01 SALE.\n"
    "          05 NAME    PIC X(20).\n"
    "          05 CITY    PIC X(10).\n"
    "          05 QTY     PIC S9(7)V99.\n"
    "          05 AMOUNT  PIC S9(9)V99 COMP-3.\n"
    "          05 TIMES   PIC S9(9) COMP.\n"
    "          05 CODE    PIC S9(4) COMP.\n";
constexpr int kLength = 51;

void AppendEbcdic(const char* text, size_t width, std::string& out) {
    size_t i = 0;
    for (; text[i] && i < width; ++i) out.push_back(static_cast<char>(velmor::data::ebcdic::FromLatin1(static_cast<unsigned char>(text[i]))));
    out.append(width - i, '\x40');
}

void AppendRecord(bench::Random& r, bool rdw, std::string& out) {
    if (rdw) out.append({'\0', static_cast<char>(kLength + 4), '\0', '\0'});
    AppendEbcdic(bench::kWords[r.Below(12)], 20, out);
    AppendEbcdic(bench::kWords[r.Below(12)], 10, out);
    std::uint64_t v = r.Below(1000000000);
    const bool negative = (v & 1) != 0;
    char digits[32];
    std::snprintf(digits, sizeof digits, "%09llu", static_cast<unsigned long long>(v));
    for (int i = 0; i < 9; ++i) {
        const int zone = i == 8 ? (negative ? 0xD0 : 0xC0) : 0xF0;
        out.push_back(static_cast<char>(zone | (digits[i] - '0')));
    }
    std::snprintf(digits, sizeof digits, "%011llu", static_cast<unsigned long long>(r.Below(100000000000ULL)));
    // 11 digits and the sign nibble: six bytes.
    std::string nibbles = std::string(digits) + (negative ? 'D' : 'C');
    for (size_t i = 0; i < nibbles.size(); i += 2) {
        auto hex = [](char c) { return c >= 'A' ? c - 'A' + 10 : c - '0'; };
        out.push_back(static_cast<char>((hex(nibbles[i]) << 4) | hex(nibbles[i + 1])));
    }
    const std::uint32_t times = static_cast<std::uint32_t>(r.Below(2000000000));
    for (int s = 24; s >= 0; s -= 8) out.push_back(static_cast<char>(times >> s));
    const auto code = static_cast<std::uint16_t>(r.Below(20000));
    out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
}

bench::ToolRun Best(int runs, const std::vector<std::string>& argv) {
    bench::RunTool(argv, false);  // warm-up
    return bench::BestOf(runs, argv, false);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    const auto fixedEbcdic = [](const std::string& path, std::int64_t bytes) {
        return bench::Generate(path, bytes, "", [](bench::Random& r, std::int64_t, std::string& out) {
            AppendRecord(r, false, out);
        });
    };
    const auto rdwEbcdic = [](const std::string& path, std::int64_t bytes) {
        return bench::Generate(path, bytes, "", [](bench::Random& r, std::int64_t, std::string& out) {
            AppendRecord(r, true, out);
        });
    };
    const std::string ebc = bench::PrepareData(o, "mainframe", "sales.ebc", o.megabytes, fixedEbcdic);
    const std::string rdw = bench::PrepareData(o, "mainframe", "sales.rdw", o.megabytes, rdwEbcdic);
    const std::string text = bench::PrepareData(o, "mainframe", "fixed.dat", o.megabytes, bench::GenerateFixed);
    if (ebc.empty() || rdw.empty() || text.empty()) {
        std::fprintf(stderr, "cannot write the data in %s\n", o.folder.c_str());
        return 1;
    }
    const std::string folder = std::filesystem::path(ebc).parent_path().string();
    const std::string copybook = folder + "/sales.cpy";
    std::ofstream(copybook) << kCopybook;
    {  // the text file's layout, as the field editor would save it
        velmor::data::File file;
        if (!file.Open(text)) return 1;
        velmor::data::Connection& c = file.GetConnection();
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetRecordLength(bench::kFixedRecordLength);
        file.GetFields().Clear();
        for (auto [name, length] : {std::pair{"id", 10}, {"name", 20}, {"city", 20}, {"note", 30}, {"amount", 18}})
            file.GetFields().Add(name, length);
        if (!file.SaveConnection("", false)) return 1;
    }
    const std::string tool = bench::Sibling("velmor-data");
    std::printf("mainframe: %s and %s (%.1f MB each), text %s; converts best of %d runs, counts\n"
                "median of as many taking turns; page cache warm\n",
                ebc.c_str(), rdw.c_str(), bench::FileSize(ebc) / 1e6, text.c_str(), o.runs);
    const bench::ToolRun plain = Best(o.runs, {tool, "convert", text, folder + "/text.csv"});
    const bench::ToolRun decoded =
        Best(o.runs, {tool, "convert", ebc, folder + "/sales.csv", "--copybook", copybook});
    // Counting leaves an index in the cache folder (one of our own) or beside
    // the file, removed before each count so that every run really counts,
    // taking turns with wc -l (medians); one more run then reuses the index.
    const std::filesystem::path cache = std::filesystem::path(folder) / "count-cache";
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const std::vector<std::string> countRdw{tool, "count", rdw, "--copybook", copybook, "--rdw"};
    const std::vector<bench::Series> turns =
        bench::Interleaved(o.runs, {{"wc", "-l", text}, countRdw}, [&](std::size_t c) {
            if (c != 1) return;
            std::filesystem::remove_all(cache);
            std::filesystem::remove(rdw + ".vdi");  // where a bare engine File keeps it
        });
    auto median = [](const bench::Series& s) {
        bench::ToolRun r = s.last;
        r.seconds = bench::Median(s.wall);
        r.cpuSeconds = bench::Median(s.cpu);
        return r;
    };
    const bench::ToolRun wc = median(turns[0]);
    const bench::ToolRun counted = median(turns[1]);
    const bench::ToolRun reopened = bench::RunTool(countRdw);
    if (plain.status != 0 || decoded.status != 0 || counted.status != 0) {
        std::fprintf(stderr, "velmor-data failed (%d, %d, %d)\n", plain.status, decoded.status, counted.status);
        return 1;
    }
    bench::PrintLoad();
    bench::Figure("convert text fixed -> CSV wall time", plain.seconds, "s");
    bench::Figure("convert EBCDIC copybook -> CSV wall time", decoded.seconds, "s");
    bench::Figure("ratio copybook / text convert (target <= 2)", decoded.seconds / plain.seconds, "x");
    bench::Figure("CPU ratio copybook / text convert", decoded.cpuSeconds / plain.cpuSeconds, "x");
    bench::Figure("count RDW wall time", counted.seconds, "s");
    bench::Figure("wc -l on the text file wall time", wc.seconds, "s");
    bench::Figure("ratio count RDW / wc -l (target <= 1.5)", counted.seconds / wc.seconds, "x");
    bench::Figure("CPU ratio count RDW / wc -l", counted.cpuSeconds / wc.cpuSeconds, "x");
    bench::Figure("count RDW again, its index reused, wall time", reopened.seconds, "s");
    bench::Verdict("copybook convert within 2x of a text convert", decoded.seconds <= 2 * plain.seconds);
    bench::Verdict("RDW count within 1.5x of wc -l", counted.seconds <= 1.5 * wc.seconds);
    std::filesystem::remove(folder + "/text.csv");
    std::filesystem::remove(folder + "/sales.csv");
    return 0;
}
