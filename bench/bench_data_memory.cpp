// Peak memory of velmor-data on records far larger than anything it shows: a
// file whose one line is MEGABYTES of commas (one record of millions of
// empty values), the same line as the names row of a CSV, a CSV with one
// value of MEGABYTES, and dumps of a small file at stated record lengths far
// past its end. Each command runs
// as a child of its own; its peak resident memory comes from wait4, and
// every row must stay under the bound however large the input. (A child
// starts as a copy of this program, so no figure is below this program's own
// few MB.)
#include "bench_data_common.h"

namespace {

constexpr double kBoundMb = 300;

// Head, then Bytes of Fill, then Tail.
bool GenerateLine(const std::string& path, const std::string& head, char fill, std::int64_t bytes,
                  const std::string& tail) {
    if (bench::FileSize(path) == bytes + static_cast<std::int64_t>(head.size() + tail.size()))
        return true;
    const std::string temp = path + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    std::fwrite(head.data(), 1, head.size(), f);
    const std::string block(1 << 20, fill);
    for (std::int64_t left = bytes; left > 0;) {
        const std::size_t n = static_cast<std::size_t>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        std::fwrite(block.data(), 1, n, f);
        left -= static_cast<std::int64_t>(n);
    }
    std::fwrite(tail.data(), 1, tail.size(), f);
    const bool ok = std::fclose(f) == 0;
    return ok && std::rename(temp.c_str(), path.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    bench::Options o = bench::ParseOptions(argc, argv, 200);
    const fs::path folder = fs::path(o.folder) / "memory";
    fs::create_directories(folder);
    const std::int64_t bytes = o.megabytes << 20;
    // The first file is read as one comma-delimited record (detection alone
    // sees no line end in it); the CSV file type takes the second one's first
    // record as the field names.
    const std::string line = (folder / "one-line.txt").string();
    const std::string names = (folder / "names-row.csv").string();
    const std::string value = (folder / "one-value.csv").string();
    const std::string small = (folder / "small.csv").string();
    if (!GenerateLine(line, "", ',', bytes, "\n") ||
        !GenerateLine(names, "", ',', bytes, "\r\n1,2\r\n") ||
        !GenerateLine(value, "a,b\r\n1,2\r\n", 'x', bytes, ",3\r\n4,5\r\n") ||
        !bench::Generate(small, 4096, "id,name\r\n", [](bench::Random&, std::int64_t n,
                                                         std::string& out) {
            out += std::to_string(n) + ",Name " + std::to_string(n) + "\r\n";
        })) {
        std::fprintf(stderr, "cannot write the data in %s\n", folder.c_str());
        return 1;
    }
    // Connections and indexes go to folders of our own, emptied before each
    // run, so that every run divides and counts the file afresh.
    const fs::path data = folder / "xdg-data", cache = folder / "xdg-cache";
    ::setenv("XDG_DATA_HOME", data.c_str(), 1);
    ::setenv("XDG_CACHE_HOME", cache.c_str(), 1);
    const std::string tool = bench::Sibling("velmor-data");
    const std::string target = (folder / "converted.csv").string();

    struct Row {
        std::string what;
        std::vector<std::string> argv;
    };
    std::vector<Row> rows;
    for (const std::string& file : {line, names, value}) {
        const std::string tag = fs::path(file).filename().string();
        for (const char* command : {"count", "records", "fields", "find", "convert", "codes",
                                    "dump"}) {
            std::vector<std::string> args{tool, command, file};
            const std::string c = command;
            if (c == "find") args.insert(args.end(), {file == value ? "a" : "Field1", "needle"});
            if (c == "convert") args.push_back(target);
            if (c == "codes") args.push_back("#1");
            if (c == "dump") args.push_back(file == value ? "2" : "1");
            if (file == line)
                args.insert(args.end(), {"--delimited", "--field-delimiter", "CHR$(44)"});
            rows.push_back({c + " " + tag, args});
        }
    }
    for (const char* length : {"200000000", "9223372036854775807"}) {
        rows.push_back({std::string("dump small.csv --record-length ") + length,
                        {tool, "dump", small, "1", "--fixed", "--record-length", length}});
    }

    std::printf("peak memory: one line of %lld MB (%s), bound %.0f MB per command\n",
                static_cast<long long>(o.megabytes), folder.c_str(), kBoundMb);
    std::printf("  %-58s %10s %8s %6s  %s\n", "command", "peak MB", "seconds", "exit", "verdict");
    bool allWithin = true;
    for (const Row& row : rows) {
        fs::remove_all(data);
        fs::remove_all(cache);
        fs::remove(target);
        const bench::ToolRun run = bench::RunTool(row.argv, false);
        const double mb = run.maxRssKb / 1024.0;
        const bool within = mb < kBoundMb && run.status >= 0;
        allWithin = allWithin && within;
        std::printf("  %-58s %10.1f %8.2f %6d  %s\n", row.what.c_str(), mb, run.seconds,
                    run.status, within ? "PASS" : "over");
    }
    fs::remove(target);
    bench::PrintLoad();
    bench::Verdict("every command under the bound", allWithin);
    return allWithin ? 0 : 1;
}
