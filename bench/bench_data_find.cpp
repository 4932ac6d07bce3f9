// Find over a whole file (every match, as the search window's "Find Next"
// would go through them) against `grep -c -F` on the same file: a fixed file
// with a match every million records, and a quoted CSV without any.
#include <cstdlib>

#include "bench_data_common.h"
#include "data/file.h"

namespace {

double CpuSeconds() {
    struct rusage u {};
    ::getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

void DivideFixed(velmor::data::File& file) {
    velmor::data::Connection& c = file.GetConnection();
    c.SetIsDelimited(false);
    c.SetIsFixed(true);
    c.SetRecordLength(bench::kFixedRecordLength);
    file.GetFields().Clear();
    file.GetFields().Add("id", 10, {}, 1);
    file.GetFields().Add("name", 20, {}, 11);
    file.GetFields().Add("city", 20, {}, 31);
    file.GetFields().Add("note", 30, {}, 51);
}

// Wall seconds of finding every match; Cpu receives the CPU seconds.
double FindAll(const std::string& path, bool fixed, long long& matches, double& cpu,
               const char* phrase = "needle") {
    velmor::data::File file;
    if (!file.Open(path)) return -1;
    if (fixed) DivideFixed(file);  // the CSV is divided by detection
    bench::Clock::time_point start = bench::Clock::now();
    const double cpuStart = CpuSeconds();
    velmor::data::RecordNo position = 0;
    matches = 0;
    while (file.Find("note", phrase, position) > 0) ++matches;
    cpu = CpuSeconds() - cpuStart;
    return bench::SecondsSince(start);
}

bool Measure(const bench::Options& o, const std::string& path, bool fixed) {
    if (path.empty()) return false;
    bench::RemoveEngineFiles(path);
    const std::int64_t size = bench::FileSize(path);
    std::printf("\nFind: %s, %.1f MB, best of %d runs, page cache warm\n", path.c_str(), size / 1e6,
                o.runs);
    bench::ToolRun grep = bench::BestOf(o.runs, {"grep", "-c", "-F", "needle", path});
    long long matches = 0;
    double cpu = 0;
    double bestCpu = 1e300;
    FindAll(path, fixed, matches, cpu);  // warm-up
    double best = 1e300;
    for (int i = 0; i < o.runs; ++i) {
        best = std::min(best, FindAll(path, fixed, matches, cpu));
        bestCpu = std::min(bestCpu, cpu);
    }
    const long long grepMatches = std::atoll(grep.output.c_str());

    bench::PrintLoad();
    bench::Figure("grep -c -F wall time", grep.seconds, "s");
    bench::Figure("grep -c -F CPU time", grep.cpuSeconds, "s");
    bench::Figure("Find (all matches) wall time", best, "s");
    bench::Figure("Find (all matches) CPU time", bestCpu, "s");
    bench::Figure("CPU ratio Find / grep", bestCpu / grep.cpuSeconds, "x");
    bench::Figure("Find speed", bench::GBps(size, best), "GB/s");
    bench::Figure("ratio Find / grep (target <= 1)", best / grep.seconds, "x");
    bench::Figure("matches: Find", static_cast<double>(matches), "");
    bench::Figure("matches: grep", static_cast<double>(grepMatches), "");
    // A phrase beyond ASCII is looked for in the code page and as UTF-8, case
    // ignored in both; grep looks for its UTF-8 bytes only.
    const char* wide = "n\xC3\xA4" "del";
    bench::ToolRun grepWide = bench::BestOf(o.runs, {"grep", "-c", "-F", wide, path});
    long long wideMatches = 0;
    double wideBest = 1e300;
    for (int i = 0; i < o.runs; ++i)
        wideBest = std::min(wideBest, FindAll(path, fixed, wideMatches, cpu, wide));
    bench::Figure("UTF-8 phrase: grep -c -F wall time", grepWide.seconds, "s");
    bench::Figure("UTF-8 phrase: Find wall time", wideBest, "s");
    bench::Figure("UTF-8 phrase: ratio Find / grep", wideBest / grepWide.seconds, "x");
    bench::Verdict("Find at least as fast as grep -c -F", best <= grep.seconds);
    bench::Verdict("same matches", matches == grepMatches);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    ::setenv("LC_ALL", "C", 1);  // grep at its fastest: bytes, not characters
    bool ok = Measure(
        o, bench::PrepareData(o, "find", "records.dat", o.megabytes, bench::GenerateFixed), true);
    ok = Measure(o,
                 bench::PrepareData(o, "find-csv", "records.csv", o.megabytes,
                                    bench::GenerateQuotedCsv),
                 false) &&
         ok;
    return ok ? 0 : 1;
}
