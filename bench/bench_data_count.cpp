// Counting every record of a quoted CSV with velmor-data against `wc -l`
// (page cache warm), the peak memory of the count, and the size of the
// index the count leaves behind per record.
#include "bench_data_common.h"

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    const std::string csv =
        bench::PrepareData(o, "count", "quoted.csv", o.megabytes, bench::GenerateQuotedCsv);
    if (csv.empty()) {
        std::fprintf(stderr, "cannot write the data in %s\n", o.folder.c_str());
        return 1;
    }
    const std::int64_t size = bench::FileSize(csv);
    const std::string tool = bench::Sibling("velmor-data");
    std::printf("count: %s, %.1f MB, best of %d runs, page cache warm\n", csv.c_str(), size / 1e6,
                o.runs);

    bench::ToolRun wc = bench::BestOf(o.runs, {"wc", "-l", csv});
    bench::RemoveEngineFiles(csv);
    bench::RunTool({tool, "count", csv});  // warm-up
    bench::ToolRun best;
    best.seconds = 1e300;
    for (int i = 0; i < o.runs; ++i) {
        // Each run counts from scratch, not from the index of the run before.
        bench::RemoveEngineFiles(csv);
        bench::ToolRun r = bench::RunTool({tool, "count", csv});
        if (r.seconds < best.seconds) best = r;
    }
    if (best.status != 0) {
        std::fprintf(stderr, "velmor-data count failed (status %d)\n", best.status);
        return 1;
    }
    const long long lines = std::atoll(wc.output.c_str());
    const long long records = std::atoll(best.output.c_str());
    const std::int64_t indexBytes = bench::EngineFilesSize(csv);
    bench::ToolRun reopened = bench::RunTool({tool, "count", csv});

    bench::PrintLoad();
    bench::Figure("wc -l wall time", wc.seconds, "s");
    bench::Figure("wc -l CPU time", wc.cpuSeconds, "s");
    bench::Figure("wc -l speed", bench::GBps(size, wc.seconds), "GB/s");
    bench::Figure("velmor-data count wall time", best.seconds, "s");
    bench::Figure("velmor-data count CPU time", best.cpuSeconds, "s");
    bench::Figure("velmor-data count speed", bench::GBps(size, best.seconds), "GB/s");
    bench::Figure("CPU ratio velmor-data / wc -l", best.cpuSeconds / wc.cpuSeconds, "x");
    bench::Figure("ratio velmor-data / wc -l (target <= 1.5)", best.seconds / wc.seconds, "x");
    bench::Figure("count again with the saved index", reopened.seconds, "s");
    bench::Figure("records counted (expected: lines - 1)", static_cast<double>(records), "");
    bench::Figure("lines (wc -l)", static_cast<double>(lines), "");
    bench::Figure("peak resident memory of the count", best.maxRssKb / 1024.0, "MB");
    bench::Figure("peak resident memory of wc -l", wc.maxRssKb / 1024.0, "MB");
    bench::Figure("engine files written beside the data", static_cast<double>(indexBytes), "bytes");
    bench::Figure("of them, bytes per record (target <= 1)",
                  records > 0 ? static_cast<double>(indexBytes) / records : 0, "B");
    bench::Verdict("count within 1.5x of wc -l", best.seconds <= 1.5 * wc.seconds);
    bench::Verdict("count correct", records == lines - 1);
    bench::Verdict("peak memory under 100 MB", best.maxRssKb < 100 * 1024);
    bench::Verdict("index at most 1 byte per record", indexBytes <= records);
    return 0;
}
