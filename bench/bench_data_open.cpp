// Time to the first screen: opening a file and reading its first 50 records,
// for a small (1 MB) and a large file, fixed and delimited. The time must not
// grow with the file (under 20 ms for both).
#include <vector>

#include "bench_data_common.h"
#include "data/file.h"

namespace {

constexpr int kTimedOpens = 21;

struct Field {
    const char* name;
    int start;
    int length;
};
constexpr Field kFixedLayout[] = {
    {"id", 1, 10}, {"name", 11, 20}, {"city", 31, 20}, {"note", 51, 30}, {"amount", 81, 18}};

// Gives the fixed file its layout once, saved as its connection file, the
// way a user would before opening it again.
bool SaveFixedConnection(const std::string& path) {
    velmor::data::File file;
    if (!file.Open(path)) return false;
    velmor::data::Connection& c = file.GetConnection();
    c.SetIsDelimited(false);
    c.SetIsFixed(true);
    c.SetByteOffset(0);
    c.SetRecordLength(bench::kFixedRecordLength);
    file.GetFields().Clear();
    for (const Field& f : kFixedLayout) file.GetFields().Add(f.name, f.length, {}, f.start);
    return file.SaveConnection("", false);
}

// Median milliseconds of Open plus the first 50 records' field values.
double OpenAndRead(const std::string& path, std::size_t& bytesRead) {
    std::vector<double> times;
    for (int i = 0; i < kTimedOpens; ++i) {
        bench::Clock::time_point start = bench::Clock::now();
        velmor::data::File file;
        file.Open(path);
        bytesRead = 0;
        for (velmor::data::RecordNo r = 1; r <= 50; ++r) {
            file.MoveTo(r);
            for (int f = 1; f <= file.GetFields().Count(); ++f) {
                bytesRead += file.FieldValue(f).size();
            }
        }
        times.push_back(bench::SecondsSince(start) * 1000);
    }
    return bench::Median(times);
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    std::printf("open + first 50 records, median of %d opens, page cache warm\n", kTimedOpens);
    bool met = true;
    for (bool fixed : {true, false}) {
        double small = 0;
        for (std::int64_t mb : {std::int64_t{1}, o.megabytes}) {
            const std::string sub =
                std::string(fixed ? "open-fixed-" : "open-csv-") + std::to_string(mb);
            const std::string path =
                fixed ? bench::PrepareData(o, sub, "records.dat", mb, bench::GenerateFixed)
                      : bench::PrepareData(o, sub, "quoted.csv", mb, bench::GenerateQuotedCsv);
            if (path.empty()) return 1;
            bench::RemoveEngineFiles(path);
            if (fixed && !SaveFixedConnection(path)) {
                std::fprintf(stderr, "cannot give %s its layout\n", path.c_str());
                return 1;
            }
            std::size_t bytes = 0;
            double ms = OpenAndRead(path, bytes);
            char what[96];
            std::snprintf(what, sizeof what, "%s, %lld MB (%zu value bytes read)",
                          fixed ? "fixed" : "delimited", static_cast<long long>(mb), bytes);
            bench::Figure(what, ms, "ms");
            if (mb == 1) small = ms;
            met = met && ms < 20;
            if (mb != 1) {
                bench::Figure(fixed ? "fixed: large / 1 MB" : "delimited: large / 1 MB",
                              small > 0 ? ms / small : 0, "x");
            }
        }
    }
    bench::Verdict("every open + 50 records under 20 ms", met);
    return 0;
}
