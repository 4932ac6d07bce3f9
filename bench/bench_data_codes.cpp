// The field code counter from the command line ("velmor-data codes") on a
// quoted CSV without any indexing file, against DuckDB grouping and counting
// the same column on one thread, once for a field of ten distinct codes and
// once for a field of a million; on a fixed-length file against wc -l; and
// "velmor-data layout" of a file with 10,000 fields.
#include "bench_data_common.h"

namespace {

constexpr const char* kDuckDbScript = R"JS(
const {DuckDBInstance} = require('@duckdb/node-api');
(async () => {
  const [,, input, column] = process.argv;
  const db = await DuckDBInstance.create(':memory:', {threads: '1'});
  const c = await db.connect();
  const rows = (await c.runAndReadAll(`SELECT "${column}", count(*) FROM read_csv('${input}',
      header=true, all_varchar=true, quote='"', escape='"', delim=',')
      GROUP BY 1 ORDER BY 1`)).getRows();
  console.log(rows.length);
})().catch(e => { console.error(e.message); process.exit(1); });
)JS";

// id, a quoted name with a comma, a code of ten, a key of a million, a
// note with doubled quotes now and then, an amount: about 64 bytes a record.
bool GenerateCodesCsv(const std::string& path, std::int64_t bytes) {
    return bench::Generate(path, bytes, "id,name,code,key,note,amount\r\n",
                           [](bench::Random& r, std::int64_t n, std::string& out) {
                               out += std::to_string(n);
                               out += ",\"";
                               out += bench::kWords[r.Below(12)];
                               out += ", J\",C";
                               out += std::to_string(r.Below(10));
                               out += ",K";
                               out += std::to_string(r.Below(1000000));
                               out += r.Below(8) == 0 ? ",\"said \"\"hi\"\"\"," : ",plain,";
                               out += std::to_string(r.Below(100000));
                               out += "\r\n";
                           });
}

// The engine files beside the data and the index in the cache folder.
void RemoveAllEngineFiles(const std::string& data) {
    bench::RemoveEngineFiles(data);
    if (const char* cache = std::getenv("XDG_CACHE_HOME")) std::filesystem::remove_all(cache);
}

std::size_t Lines(const std::string& text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
}

void CompareCsv(const bench::Options& o, const std::string& csv, const std::string& modules) {
    const std::string velmor = bench::Sibling("velmor-data");
    const std::string script =
        (std::filesystem::path(csv).parent_path().parent_path() / "duckdb-codes.js").string();
    {
        std::ofstream js(script);
        js << kDuckDbScript;
    }
    struct Case {
        const char* column;
        double target;  // DuckDB time / ours at least
    };
    for (Case c : {Case{"code", 12.0}, Case{"key", 1.0}}) {
        const std::vector<std::string> ours{velmor, "codes", csv, c.column, "--delimited",
                                            "--header"};
        std::vector<std::vector<std::string>> commands{ours, bench::OneCore(ours)};
        if (!modules.empty()) commands.push_back({"node", script, csv, c.column});
        // Ours on two cores, on one, and DuckDB take turns, each of ours
        // without the engine files of the run before.
        std::vector<bench::Series> s = bench::Interleaved(o.runs, commands, [&](std::size_t k) {
            if (k < 2) RemoveAllEngineFiles(csv);
        });
        if (s[0].last.status != 0 || s[1].last.status != 0) {
            std::printf("  velmor-data codes failed (status %d)\n", s[0].last.status);
            continue;
        }
        auto wall = [&](std::size_t k) { return bench::Median(s[k].wall); };
        auto cpu = [&](std::size_t k) { return bench::Median(s[k].cpu); };
        std::printf(" field \"%s\": %zu distinct codes; median of %d runs taking turns\n",
                    c.column, Lines(s[0].last.output), o.runs);
        std::printf("  %-46s %10s %10s\n", "", "2 cores", "1 core");
        bench::Pair("velmor-data codes wall time", wall(0), wall(1), "s");
        bench::Pair("velmor-data codes CPU time", cpu(0), cpu(1), "s");
        bench::Figure("velmor-data peak resident memory", s[0].last.maxRssKb / 1024.0, "MB");
        bench::Verdict("same codes on two cores and on one", s[0].last.output == s[1].last.output);
        if (commands.size() < 3) continue;
        if (s[2].last.status != 0) {
            std::printf("  DuckDB run failed (status %d)\n", s[2].last.status);
            continue;
        }
        bench::Figure("DuckDB (one thread) wall time", wall(2), "s");
        bench::Figure("DuckDB CPU time", cpu(2), "s");
        bench::Pair("ratio DuckDB / velmor-data", wall(2) / wall(0), wall(2) / wall(1), "x");
        bench::Verdict(c.target > 1 ? "at least 12x faster than DuckDB" : "at least as fast as DuckDB",
                       wall(2) >= c.target * wall(0));
        bench::Verdict("same number of codes as DuckDB",
                       std::to_string(Lines(s[0].last.output)) + "\n" == s[2].last.output);
    }
}

void CompareFixed(const bench::Options& o) {
    const std::string fixed =
        bench::PrepareData(o, "codes-fixed", "fixed.dat", o.megabytes, bench::GenerateFixed);
    if (fixed.empty()) return;
    const std::string format = fixed.substr(0, fixed.size() - 4) + ".fmt";
    const auto writeFormat = [&] {
        std::ofstream fmt(format);
        fmt << "ID, 10\r\nNAME, 20\r\nCITY, 20\r\nNOTE, 30\r\nAMOUNT, 18\r\n";
    };
    bench::ToolRun best;
    best.seconds = 1e300;
    for (int i = 0; i <= o.runs; ++i) {
        bench::RemoveEngineFiles(fixed);
        writeFormat();
        bench::ToolRun r = bench::RunTool({bench::Sibling("velmor-data"), "codes", fixed, "CITY",
                                           "--fixed", "--record-length", "100"});
        if (r.status != 0) {
            std::printf("  velmor-data codes (fixed) failed (status %d)\n", r.status);
            return;
        }
        if (i > 0 && r.seconds < best.seconds) best = r;
    }
    bench::ToolRun wc = bench::BestOf(o.runs, {"wc", "-l", fixed});
    std::printf(" fixed file %s, %.1f MB, field CITY (%zu codes)\n", fixed.c_str(),
                bench::FileSize(fixed) / 1e6, Lines(best.output));
    bench::Figure("velmor-data codes wall time", best.seconds, "s");
    bench::Figure("wc -l wall time", wc.seconds, "s");
    bench::Figure("ratio velmor-data / wc -l (target <= 2)", best.seconds / wc.seconds, "x");
    bench::Verdict("within 2x of wc -l", best.seconds <= 2 * wc.seconds);
}

void LayoutOfManyFields(const bench::Options& o) {
    namespace fs = std::filesystem;
    const fs::path folder = fs::path(o.folder) / "layout";
    fs::create_directories(folder);
    const std::string data = (folder / "wide.dat").string();
    {
        std::ofstream out(data);
        out << std::string(50000, 'x') << "\r\n";
        std::ofstream fmt((folder / "wide.fmt").string());
        for (int i = 1; i <= 10000; ++i) fmt << "FIELD_NUMBER_" << i << ", 5\r\n";
    }
    std::vector<double> times;
    bench::ToolRun r;
    for (int i = 0; i < 10; ++i) {
        r = bench::RunTool({bench::Sibling("velmor-data"), "layout", data, "--casing", "proper"});
        if (r.status != 0) {
            std::printf("  velmor-data layout failed (status %d)\n", r.status);
            return;
        }
        times.push_back(r.seconds);
    }
    std::printf(" layout of 10,000 fields (%zu lines)\n", Lines(r.output));
    bench::Figure("velmor-data layout wall time (median of 10)", bench::Median(times) * 1000, "ms");
    bench::Verdict("under 50 ms", bench::Median(times) < 0.050);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    const std::string csv = bench::PrepareData(o, "codes", "codes.csv", o.megabytes, GenerateCodesCsv);
    if (csv.empty()) return 1;
    ::setenv("XDG_CACHE_HOME", (std::filesystem::path(o.folder) / "codes-cache").c_str(), 1);
    std::printf("codes of a quoted CSV: %s, %.1f MB, best of %d runs, no index\n", csv.c_str(),
                bench::FileSize(csv) / 1e6, o.runs);
    const std::string modules = bench::FindNodeModules();
    if (modules.empty()) {
        std::printf("  DuckDB: bench/node_modules/@duckdb/node-api not found; run `npm install` "
                    "in bench/ (or set VELMOR_BENCH_NODE_MODULES) for the DuckDB ratios\n");
    } else {
        ::setenv("NODE_PATH", modules.c_str(), 1);
    }
    CompareCsv(o, csv, modules);
    CompareFixed(o);
    LayoutOfManyFields(o);
    bench::PrintLoad();
    return 0;
}
