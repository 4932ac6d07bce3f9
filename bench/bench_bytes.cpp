// `velmor-data bytes find` of an absent pattern against `LC_ALL=C grep -c -F`,
// and `velmor-data bytes replace` (an occurrence every 100 bytes, equal and
// other lengths) against `dd ... conv=fdatasync` copying the same file.
#include <filesystem>

#include "bench_data_common.h"

namespace {

bench::ToolRun Faster(const bench::ToolRun& a, const bench::ToolRun& b) {
    return b.seconds < a.seconds ? b : a;
}

// Replaces in a fresh copy of Source; the copy is written out before the
// clock starts so that its writes are not counted.
bench::ToolRun Replace(const std::string& source, const std::string& work, const std::string& find,
                       const std::string& replacement, long long& replaced) {
    std::filesystem::copy_file(source, work, std::filesystem::copy_options::overwrite_existing);
    ::sync();
    bench::ToolRun r = bench::RunTool(
        {bench::Sibling("velmor-data"), "bytes", "replace", work, find, replacement});
    replaced = std::atoll(r.output.c_str());
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    bench::Options o = bench::ParseOptions(argc, argv, 1024);
    const std::string path =
        bench::PrepareData(o, "bytes", "records.dat", o.megabytes, bench::GenerateFixed);
    if (path.empty()) return 1;
    const std::int64_t size = bench::FileSize(path);
    std::printf("Bytes: %s, %.1f MB, best of %d runs, page cache warm\n", path.c_str(), size / 1e6,
                o.runs);

    const std::string absent = "no such text in it";
    bench::ToolRun grep =
        bench::BestOf(o.runs, {"env", "LC_ALL=C", "grep", "-c", "-F", absent, path});
    bench::ToolRun find =
        bench::BestOf(o.runs, {bench::Sibling("velmor-data"), "bytes", "find", path, absent});

    // The disk is shared and its speed wanders: dd and both replacements
    // take turns, so that each best time comes from the same stretch.
    const std::string copy = path + ".dd";
    const std::string work = path + ".work";
    bench::ToolRun dd, equal, other;
    dd.seconds = equal.seconds = other.seconds = 1e300;
    long long equalCount = 0, otherCount = 0;
    for (int i = 0; i <= o.runs; ++i) {
        bench::ToolRun d =
            bench::RunTool({"dd", "if=" + path, "of=" + copy, "bs=1M", "conv=fdatasync"}, false);
        std::filesystem::remove(copy);
        bench::ToolRun e = Replace(path, work, "ordinary", "ORDINARY", equalCount);
        bench::ToolRun r = Replace(path, work, "ordinary", "usual", otherCount);
        if (i == 0) continue;  // warm-up
        dd = Faster(dd, d);
        equal = Faster(equal, e);
        other = Faster(other, r);
    }
    std::filesystem::remove(work);

    bench::PrintLoad();
    bench::Figure("LC_ALL=C grep -c -F (absent) wall time", grep.seconds, "s");
    bench::Figure("bytes find (absent) wall time", find.seconds, "s");
    bench::Figure("ratio find / grep (target <= 0.8)", find.seconds / grep.seconds, "x");
    bench::Figure("dd bs=1M conv=fdatasync wall time", dd.seconds, "s");
    bench::Figure("bytes replace, equal length, wall time", equal.seconds, "s");
    bench::Figure("bytes replace, other length, wall time", other.seconds, "s");
    bench::Figure("ratio equal / dd (target <= 2)", equal.seconds / dd.seconds, "x");
    bench::Figure("ratio other / dd (target <= 2.5)", other.seconds / dd.seconds, "x");
    bench::Figure("occurrences replaced (equal, other)", static_cast<double>(equalCount), "");
    bench::Figure("", static_cast<double>(otherCount), "");
    bench::Verdict("find: nothing found (exit status 1)", find.status == 1 && grep.status == 1);
    bench::Verdict("find at most 0.8x grep", find.seconds <= 0.8 * grep.seconds);
    bench::Verdict("replace equal within 2x dd", equal.seconds <= 2 * dd.seconds);
    bench::Verdict("replace other within 2.5x dd", other.seconds <= 2.5 * dd.seconds);
    bench::Verdict("same count both ways", equalCount > 0 && equalCount == otherCount);
    return 0;
}
