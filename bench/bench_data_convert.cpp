// Converting a quoted CSV to fixed-length records with velmor-data, against
// DuckDB doing the same (read, widest value per column, padded lines with
// CR LF) and against the machine's plain write speed: dd writing the same
// number of bytes and syncing them, as velmor-data syncs its target before
// renaming it. dd into the page cache alone is printed too, for reference.
// Our figures are given on both cores and on one (taskset -c 0); DuckDB
// runs on one thread.
#include "bench_data_common.h"

namespace {

// The DuckDB side: node with @duckdb/node-api from bench/node_modules.
constexpr const char* kDuckDbScript = R"JS(
const {DuckDBInstance} = require('@duckdb/node-api');
(async () => {
  const [,, input, output] = process.argv;
  const db = await DuckDBInstance.create(':memory:', {threads: '1'});
  const c = await db.connect();
  await c.run(`CREATE TABLE t AS SELECT * FROM read_csv('${input}', header=true,
               all_varchar=true, quote='"', escape='"', delim=',')`);
  const cols = (await c.runAndReadAll('SELECT column_name FROM (DESCRIBE t)'))
                   .getRows().map(r => r[0]);
  const widths = (await c.runAndReadAll(`SELECT ${cols.map(x =>
      `coalesce(max(strlen("${x}")), 0)`).join(',')} FROM t`)).getRows()[0].map(Number);
  const line = cols.map((x, i) => `rpad(coalesce("${x}", ''), ${widths[i]}, ' ')`).join(' || ');
  await c.run(`COPY (SELECT ${line} || chr(13) AS line FROM t) TO '${output}'
               (FORMAT csv, HEADER false, QUOTE '', ESCAPE '', DELIMITER '\x01')`);
})().catch(e => { console.error(e.message); process.exit(1); });
)JS";

bench::ToolRun Best(int runs, const std::vector<std::string>& argv, const std::string& output) {
    bench::ToolRun best;
    best.seconds = 1e300;
    for (int i = 0; i <= runs; ++i) {  // the first run warms the cache
        std::remove(output.c_str());
        ::sync();  // no run pays for the dirty pages of the one before
        bench::ToolRun r = bench::RunTool(argv, false);
        if (r.status != 0) return r;
        if (i > 0 && r.seconds < best.seconds) best = r;
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    const std::string csv =
        bench::PrepareData(o, "convert", "quoted.csv", o.megabytes, bench::GenerateQuotedCsv);
    if (csv.empty()) return 1;
    const std::filesystem::path folder = std::filesystem::path(csv).parent_path();
    const std::string ours = (folder / "velmor-fixed.txt").string();
    const std::string theirs = (folder / "duckdb-fixed.txt").string();
    const std::string ddOut = (folder / "dd.out").string();
    const std::int64_t size = bench::FileSize(csv);
    std::printf("convert CSV -> fixed: %s, %.1f MB, median of %d runs taking turns\n",
                csv.c_str(), size / 1e6, o.runs);

    const std::vector<std::string> convert{bench::Sibling("velmor-data"), "convert", csv, ours,
                                           "--fixed"};
    std::remove(ours.c_str());
    bench::ToolRun first = bench::RunTool(convert, false);
    if (first.status != 0) {
        std::fprintf(stderr, "velmor-data convert failed (status %d)\n", first.status);
        return 1;
    }
    const std::int64_t written = bench::FileSize(ours);
    const std::string blocks = std::to_string(std::max<std::int64_t>(1, written >> 20));
    const std::vector<std::string> dd{"dd",       "if=/dev/zero",    "of=" + ddOut,
                                      "bs=1M",    "count=" + blocks, "conv=fdatasync"};
    std::vector<std::string> cachedDd = dd;
    cachedDd.pop_back();
    // Our conversion and the synced dd take turns, so that both see the same
    // stretch of the shared disk; no run pays for the dirty pages of another.
    std::vector<bench::Series> s = bench::Interleaved(
        o.runs, {convert, dd, bench::OneCore(convert), cachedDd}, [&](std::size_t) {
            std::remove(ours.c_str());
            std::remove(ddOut.c_str());
            ::sync();
        });
    std::remove(ddOut.c_str());
    for (const bench::Series& r : s) {
        if (r.last.status != 0) {
            std::fprintf(stderr, "a run failed (status %d)\n", r.last.status);
            return 1;
        }
    }
    auto wall = [&](std::size_t c) { return bench::Median(s[c].wall); };
    auto cpu = [&](std::size_t c) { return bench::Median(s[c].cpu); };

    bench::PrintLoad();
    std::printf("  %-46s %10s %10s\n", "", "2 cores", "1 core");
    bench::Pair("velmor-data convert wall time", wall(0), wall(2), "s");
    bench::Pair("velmor-data convert CPU time", cpu(0), cpu(2), "s");
    bench::Pair("dd of the same size, synced, wall time", wall(1), wall(1), "s");
    bench::Pair("ratio velmor-data / synced dd (target <= 1.3)", wall(0) / wall(1),
                wall(2) / wall(1), "x");
    bench::Figure("velmor-data peak resident memory", s[0].last.maxRssKb / 1024.0, "MB");
    bench::Figure("output written", written / 1e6, "MB");
    bench::Figure("dd into the page cache only, wall time", wall(3), "s");
    bench::Verdict("within 1.3x of synced dd", wall(0) <= 1.3 * wall(1));

    const std::string modules = bench::FindNodeModules();
    if (modules.empty()) {
        std::printf(
            "  DuckDB: bench/node_modules/@duckdb/node-api not found; run `npm install` "
            "in bench/ (or set VELMOR_BENCH_NODE_MODULES) for the DuckDB ratio\n");
        std::remove(ours.c_str());
        return 0;
    }
    const std::string script = (folder / "duckdb-convert.js").string();
    {
        std::ofstream js(script);
        js << kDuckDbScript;
    }
    ::setenv("NODE_PATH", modules.c_str(), 1);
    // DuckDB takes many times longer: one run after its warm-up.
    bench::ToolRun d = Best(1, {"node", script, csv, theirs}, theirs);
    if (d.status != 0) {
        std::printf("  DuckDB run failed (status %d); no DuckDB ratio\n", d.status);
    } else {
        bench::Figure("DuckDB (one thread) wall time", d.seconds, "s");
        bench::Figure("DuckDB CPU time", d.cpuSeconds, "s");
        bench::Figure("DuckDB peak resident memory", d.maxRssKb / 1024.0, "MB");
        bench::Figure("DuckDB output", bench::FileSize(theirs) / 1e6, "MB");
        bench::Pair("ratio DuckDB / velmor-data (target >= 12)", d.seconds / wall(0),
                    d.seconds / wall(2), "x");
        bench::Verdict("at least 12x faster than DuckDB", d.seconds >= 12 * wall(0));
        bench::Verdict("same output size as DuckDB", bench::FileSize(theirs) == written);
    }
    std::remove(ours.c_str());
    std::remove(theirs.c_str());
    return 0;
}
