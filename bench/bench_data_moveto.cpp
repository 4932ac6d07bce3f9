// MoveTo a random record of a counted delimited file: the sparse index must
// bring any record within one short scan (median under 50 microseconds).
#include <vector>

#include "bench_data_common.h"
#include "data/file.h"

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    const std::string csv =
        bench::PrepareData(o, "moveto", "quoted.csv", o.megabytes, bench::GenerateQuotedCsv);
    if (csv.empty()) return 1;
    bench::RemoveEngineFiles(csv);
    velmor::data::File file;
    if (!file.Open(csv)) return 1;
    bench::Clock::time_point start = bench::Clock::now();
    file.MoveLast();
    const double countSeconds = bench::SecondsSince(start);
    const velmor::data::RecordNo records = file.RecordCount();
    std::printf("MoveTo: %s, %.1f MB, %lld records\n", csv.c_str(), bench::FileSize(csv) / 1e6,
                static_cast<long long>(records));
    if (records < 1) return 1;

    bench::Random random(99);
    std::vector<double> micros;
    std::size_t bytes = 0;
    for (int i = 0; i < 20000; ++i) {
        auto r = static_cast<velmor::data::RecordNo>(
            1 + random.Below(static_cast<std::uint64_t>(records)));
        bench::Clock::time_point t = bench::Clock::now();
        file.MoveTo(r);
        bytes += file.RecordText().size();
        micros.push_back(bench::SecondsSince(t) * 1e6);
    }
    std::sort(micros.begin(), micros.end());
    bench::Figure("MoveLast (count in process)", countSeconds, "s");
    bench::Figure("MoveTo + RecordText, median", bench::Median(micros), "us");
    bench::Figure("MoveTo + RecordText, 99th percentile", micros[micros.size() * 99 / 100], "us");
    bench::Figure("MoveTo + RecordText, worst", micros.back(), "us");
    bench::Figure("record bytes read (check)", static_cast<double>(bytes), "");
    bench::Verdict("median under 50 us", bench::Median(micros) < 50);
    return 0;
}
