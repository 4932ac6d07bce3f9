// Shared by the data benchmarks: command line, generated data files (kept
// between runs in a scratch folder), running reference tools with their
// wall time and peak memory, and figures printing.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern char** environ;

namespace bench {

using Clock = std::chrono::steady_clock;

inline double SecondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

struct Options {
    std::int64_t megabytes = 1024;
    int runs = 3;
    std::string folder;
};

/// "bench_x [MEGABYTES] [--runs N] [--data FOLDER]"; data defaults to
/// $VELMOR_BENCH_DATA, else $TMPDIR/velmor-bench.
inline Options ParseOptions(int argc, char** argv, std::int64_t defaultMegabytes) {
    Options o;
    o.megabytes = defaultMegabytes;
    const char* env = std::getenv("VELMOR_BENCH_DATA");
    const char* tmp = std::getenv("TMPDIR");
    o.folder = env ? env : std::string(tmp ? tmp : "/tmp") + "/velmor-bench";
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--runs" && i + 1 < argc) {
            o.runs = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--data" && i + 1 < argc) {
            o.folder = argv[++i];
        } else if (a == "--help" || a == "-h") {
            std::printf("usage: %s [MEGABYTES] [--runs N] [--data FOLDER]\n", argv[0]);
            std::exit(0);
        } else {
            o.megabytes = std::max<std::int64_t>(1, std::atoll(a.c_str()));
        }
    }
    std::filesystem::create_directories(o.folder);
    return o;
}

/// Fast deterministic numbers for the generators.
class Random {
public:
    explicit Random(std::uint64_t seed) : state_(seed | 1) {}
    std::uint64_t Next() {
        state_ ^= state_ << 13;
        state_ ^= state_ >> 7;
        state_ ^= state_ << 17;
        return state_;
    }
    std::uint64_t Below(std::uint64_t n) { return Next() % n; }

private:
    std::uint64_t state_;
};

inline std::int64_t FileSize(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_size) : -1;
}

// Writes blocks from Make until Bytes are reached (whole records only).
template <typename MakeRecord>
bool Generate(const std::string& path, std::int64_t bytes, const std::string& header,
              MakeRecord make) {
    if (FileSize(path) >= bytes && FileSize(path) < bytes + (1 << 20)) return true;
    std::string temp = path + ".part";
    FILE* f = std::fopen(temp.c_str(), "wb");
    if (!f) return false;
    std::string block = header;
    std::int64_t written = 0;
    Random random(12345);
    std::int64_t n = 0;
    while (written + static_cast<std::int64_t>(block.size()) < bytes) {
        make(random, ++n, block);
        if (block.size() >= (1 << 20)) {
            std::fwrite(block.data(), 1, block.size(), f);
            written += static_cast<std::int64_t>(block.size());
            block.clear();
        }
    }
    std::fwrite(block.data(), 1, block.size(), f);
    bool ok = std::fclose(f) == 0;
    return ok && std::rename(temp.c_str(), path.c_str()) == 0;
}

inline const char* kWords[] = {"alpha", "bravo", "charlie", "delta",   "echo", "foxtrot",
                               "golf",  "hotel", "india",   "juliett", "kilo", "lima"};

/// A quoted CSV: header, then id, quoted name with a comma, quoted note with
/// doubled quotes now and then, a date and an amount; about 90 bytes a record.
inline bool GenerateQuotedCsv(const std::string& path, std::int64_t bytes) {
    return Generate(path, bytes, "id,name,city,note,date,amount\r\n",
                    [](Random& r, std::int64_t n, std::string& out) {
                        out += std::to_string(n);
                        out += ",\"";
                        out += kWords[r.Below(12)];
                        out += ", ";
                        out += kWords[r.Below(12)];
                        out += "\",";
                        out += kWords[r.Below(12)];
                        out += r.Below(8) == 0 ? ",\"said \"\"hi\"\", left\"," : ",\"plain note\",";
                        out += "2024-";
                        out += std::to_string(10 + r.Below(3));
                        out += "-";
                        out += std::to_string(10 + r.Below(19));
                        out += ",";
                        out += std::to_string(r.Below(100000));
                        out += ".";
                        out += std::to_string(10 + r.Below(90));
                        out += "\r\n";
                    });
}

constexpr int kFixedRecordLength = 100;  // 98 bytes of fields and CR LF

/// Fixed records: id(10) name(20) city(20) note(30) amount(18) CR LF.
inline bool GenerateFixed(const std::string& path, std::int64_t bytes) {
    return Generate(path, bytes, "", [](Random& r, std::int64_t n, std::string& out) {
        char line[2 * kFixedRecordLength];
        std::snprintf(line, sizeof line, "%-10lld%-20s%-20s%-30s%18llu\r\n",
                      static_cast<long long>(n), kWords[r.Below(12)], kWords[r.Below(12)],
                      n % 1000003 == 0 ? "needle in the haystack" : "an ordinary note",
                      static_cast<unsigned long long>(r.Below(1000000)));
        out.append(line, kFixedRecordLength);
    });
}

/// Data of one kind and size, generated once into the data folder and
/// linked into a benchmark's own subfolder (whose engine files it may clear).
template <typename Generator>
std::string PrepareData(const Options& o, const std::string& sub, const std::string& name,
                        std::int64_t megabytes, Generator generate) {
    namespace fs = std::filesystem;
    const std::string ext = fs::path(name).extension().string();
    const std::string stem = fs::path(name).stem().string();
    const fs::path shared =
        fs::path(o.folder) / (stem + "-" + std::to_string(megabytes) + "mb" + ext);
    if (!generate(shared.string(), megabytes << 20)) return {};
    const fs::path folder = fs::path(o.folder) / sub;
    fs::create_directories(folder);
    const fs::path local = folder / name;
    std::error_code ec;
    fs::remove(local, ec);
    fs::create_hard_link(shared, local, ec);
    if (ec) fs::copy_file(shared, local, ec);
    return ec ? std::string() : local.string();
}

/// Removes every file beside Data but Data itself (connection and indexing
/// files of earlier runs).
inline void RemoveEngineFiles(const std::string& data) {
    namespace fs = std::filesystem;
    const fs::path keep = fs::path(data).filename();
    for (const auto& entry : fs::directory_iterator(fs::path(data).parent_path())) {
        if (entry.path().filename() != keep) fs::remove(entry.path());
    }
}

/// Total size of the files beside Data.
inline std::int64_t EngineFilesSize(const std::string& data) {
    namespace fs = std::filesystem;
    const fs::path keep = fs::path(data).filename();
    std::int64_t total = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(data).parent_path())) {
        if (entry.path().filename() != keep) total += FileSize(entry.path().string());
    }
    return total;
}

struct ToolRun {
    double seconds = 0;
    double cpuSeconds = 0;  ///< user + system, all threads
    int status = -1;
    long maxRssKb = 0;
    std::string output;
};

/// Runs Argv with stdout to a file (read back into Output) or /dev/null.
inline ToolRun RunTool(const std::vector<std::string>& argv, bool captureOutput = true) {
    ToolRun run;
    std::string outPath = "/tmp/velmor-bench-out-" + std::to_string(::getpid());
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, captureOutput ? outPath.c_str() : "/dev/null",
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    // dd and node chatter on stderr; failures show in the exit status.
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    Clock::time_point start = Clock::now();
    if (posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ) != 0) {
        posix_spawn_file_actions_destroy(&actions);
        return run;
    }
    int status = 0;
    struct rusage usage {};
    ::wait4(pid, &status, 0, &usage);
    run.seconds = SecondsSince(start);
    posix_spawn_file_actions_destroy(&actions);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.maxRssKb = usage.ru_maxrss;
    run.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                     static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    if (captureOutput) {
        if (FILE* in = std::fopen(outPath.c_str(), "rb")) {
            char block[4096];
            std::size_t n = 0;
            while ((n = std::fread(block, 1, sizeof block, in)) > 0) run.output.append(block, n);
            std::fclose(in);
        }
        std::remove(outPath.c_str());
    }
    return run;
}

/// Best of Runs (after one warm-up run that fills the page cache).
inline ToolRun BestOf(int runs, const std::vector<std::string>& argv, bool capture = true) {
    RunTool(argv, capture);
    ToolRun best;
    best.seconds = 1e300;
    for (int i = 0; i < runs; ++i) {
        ToolRun r = RunTool(argv, capture);
        if (r.seconds < best.seconds) best = r;
    }
    return best;
}

/// Argv run on the first core only (taskset), for the one-core figures.
inline std::vector<std::string> OneCore(std::vector<std::string> argv) {
    argv.insert(argv.begin(), {"taskset", "-c", "0"});
    return argv;
}

/// Wall and CPU times of one command over several runs.
struct Series {
    std::vector<double> wall, cpu;
    ToolRun last;
};

/// The machine is shared, so references and our programs take turns: after
/// one warm-up run of each command, Runs rounds run every command once, in
/// order, with Before(command index) before each run. Medians are then
/// taken over runs that saw the same stretch of load.
inline std::vector<Series> Interleaved(int runs,
                                       const std::vector<std::vector<std::string>>& commands,
                                       const std::function<void(std::size_t)>& before = {}) {
    std::vector<Series> series(commands.size());
    for (int round = 0; round <= runs; ++round) {
        for (std::size_t c = 0; c < commands.size(); ++c) {
            if (before) before(c);
            ToolRun r = RunTool(commands[c]);
            series[c].last = r;
            if (round == 0) continue;
            series[c].wall.push_back(r.seconds);
            series[c].cpu.push_back(r.cpuSeconds);
        }
    }
    return series;
}

/// A program built beside this benchmark (the build's bin folder).
inline std::string Sibling(const char* name) {
    std::error_code ec;
    auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return (self.parent_path() / name).string();
}

inline double Median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

inline void Figure(const char* what, double value, const char* unit) {
    std::printf("  %-52s %12.3f %s\n", what, value, unit);
}

/// One row of a table with the two-core and the one-core figure side by side.
inline void Pair(const char* what, double twoCores, double oneCore, const char* unit) {
    std::printf("  %-46s %10.3f %10.3f %s\n", what, twoCores, oneCore, unit);
}

inline void Verdict(const char* what, bool met) {
    std::printf("  %-52s %s\n", what, met ? "met" : "MISSED");
}

/// The machine is shared: with more runnable processes than cores, wall
/// times stretch, so the load is printed beside the figures.
inline void PrintLoad() {
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) > 0) {
        std::printf(
            "  (load average %.1f on %ld cores while measuring; CPU times are less "
            "affected by other work than wall times)\n",
            load[0], ::sysconf(_SC_NPROCESSORS_ONLN));
    }
}

inline double GBps(std::int64_t bytes, double seconds) {
    return seconds > 0 ? static_cast<double>(bytes) / seconds / 1e9 : 0;
}

/// The npm folder holding @duckdb/node-api: $VELMOR_BENCH_NODE_MODULES, else
/// bench/node_modules found upwards from this program; empty when missing.
inline std::string FindNodeModules() {
    namespace fs = std::filesystem;
    if (const char* env = std::getenv("VELMOR_BENCH_NODE_MODULES")) return env;
    std::error_code ec;
    fs::path dir = fs::read_symlink("/proc/self/exe", ec).parent_path();
    for (int up = 0; up < 6 && !dir.empty(); ++up, dir = dir.parent_path()) {
        if (fs::exists(dir / "bench" / "node_modules" / "@duckdb" / "node-api")) {
            return (dir / "bench" / "node_modules").string();
        }
        if (dir == dir.parent_path()) break;
    }
    return {};
}

}  // namespace bench
