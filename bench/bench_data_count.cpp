// Counting every record of a quoted CSV with velmor-data against `wc -l`
// (page cache warm), on both cores and on one (taskset -c 0), the two tools
// taking turns; the peak memory of the count, and the size of the index the
// count leaves behind per record.
#include "bench_data_common.h"

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    const std::string csv =
        bench::PrepareData(o, "count", "quoted.csv", o.megabytes, bench::GenerateQuotedCsv);
    if (csv.empty()) {
        std::fprintf(stderr, "cannot write the data in %s\n", o.folder.c_str());
        return 1;
    }
    // The index goes to the cache folder: one of our own, emptied before
    // each run so that every run really counts.
    const fs::path cache = fs::path(o.folder) / "count-cache";
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const std::int64_t size = bench::FileSize(csv);
    const std::string tool = bench::Sibling("velmor-data");
    std::printf("count: %s, %.1f MB, median of %d runs taking turns, page cache warm\n",
                csv.c_str(), size / 1e6, o.runs);

    const std::vector<std::string> wc{"wc", "-l", csv}, ours{tool, "count", csv};
    std::vector<bench::Series> s =
        bench::Interleaved(o.runs, {wc, ours, bench::OneCore(wc), bench::OneCore(ours)},
                           [&](std::size_t c) {
                               if (c % 2 == 1) fs::remove_all(cache);
                           });
    for (const bench::Series& r : s) {
        if (r.last.status != 0) {
            std::fprintf(stderr, "a run failed (status %d)\n", r.last.status);
            return 1;
        }
    }
    const long long lines = std::atoll(s[0].last.output.c_str());
    const long long records = std::atoll(s[1].last.output.c_str());
    const long long records1 = std::atoll(s[3].last.output.c_str());
    std::int64_t indexBytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(cache))
        if (entry.is_regular_file()) indexBytes += bench::FileSize(entry.path().string());
    bench::ToolRun reopened = bench::RunTool(ours);

    auto wall = [&](std::size_t c) { return bench::Median(s[c].wall); };
    auto cpu = [&](std::size_t c) { return bench::Median(s[c].cpu); };
    bench::PrintLoad();
    std::printf("  %-46s %10s %10s\n", "", "2 cores", "1 core");
    bench::Pair("wc -l wall time", wall(0), wall(2), "s");
    bench::Pair("velmor-data count wall time", wall(1), wall(3), "s");
    bench::Pair("ratio velmor-data / wc -l (target <= 0.8)", wall(1) / wall(0),
                wall(3) / wall(2), "x");
    bench::Pair("wc -l CPU time", cpu(0), cpu(2), "s");
    bench::Pair("velmor-data count CPU time", cpu(1), cpu(3), "s");
    bench::Pair("velmor-data count speed", bench::GBps(size, wall(1)), bench::GBps(size, wall(3)),
                "GB/s");
    bench::Figure("count again with the saved index", reopened.seconds, "s");
    bench::Figure("records counted (expected: lines - 1)", static_cast<double>(records), "");
    bench::Figure("lines (wc -l)", static_cast<double>(lines), "");
    bench::Figure("peak resident memory of the count", s[1].last.maxRssKb / 1024.0, "MB");
    bench::Figure("peak resident memory of wc -l", s[0].last.maxRssKb / 1024.0, "MB");
    bench::Figure("index written", static_cast<double>(indexBytes), "bytes");
    bench::Figure("of it, bytes per record (target <= 1)",
                  records > 0 ? static_cast<double>(indexBytes) / records : 0, "B");
    bench::Verdict("count within 0.8x of wc -l on two cores", wall(1) <= 0.8 * wall(0));
    bench::Verdict("count correct, on two cores and on one",
                   records == lines - 1 && records1 == records);
    bench::Verdict("peak memory under 100 MB", s[1].last.maxRssKb < 100 * 1024);
    bench::Verdict("index at most 1 byte per record", indexBytes <= records);
    return 0;
}
