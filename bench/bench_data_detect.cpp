// How many real delimited files `velmor-data records FILE`, with no options,
// reads exactly as Python's csv module does with the file's true dialect.
// The corpus is named in bench/detect_corpus.tsv (package, path, dialect);
// its Debian packages are fetched with apt-get download and dpkg -x into the
// data folder when missing, never into the repository.
//
//   bench_data_detect [--data FOLDER] [--manifest FILE] [--no-profiles] [--verbose]
//
// --no-profiles measures detection alone, without the built-in file types.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>

#include "bench_data_common.h"

namespace {

using bench::RunTool;

struct Entry {
    std::string package, path, delimiter, qualifier, header, comments;
};

// Reads FILE with the given dialect (leading "#" lines skipped when asked)
// and compares with velmor-data's JSON records and field names. Prints
// "ok VALUES" or "bad REASON".
const char* kCompare = R"PY(
import csv, io, json, sys
path, delim, quote, header, comments, ours, names = sys.argv[1:8]
raw = open(path, 'rb').read()
try:
    text = raw.decode('utf-8')
except UnicodeDecodeError:
    text = raw.decode('cp1252', errors='replace')
if comments == 'yes':
    lines = text.splitlines(keepends=True)
    k = 0
    while k < len(lines) and (lines[k].startswith('#') or not lines[k].strip()):
        k += 1
    text = ''.join(lines[k:])
delim = '\t' if delim == 'tab' else delim
rows = list(csv.reader(io.StringIO(text, newline=''), delimiter=delim, quotechar=quote))
def norm(r):
    r = list(r)
    while r and r[-1] == '':
        r.pop()
    return r
want_names = rows[0] if header == 'yes' and rows else []
if header == 'yes':
    rows = rows[1:]
got = [json.loads(l) for l in open(ours, encoding='utf-8') if l.strip()]
if len(got) != len(rows):
    print('bad', len(got), 'records, not', len(rows)); sys.exit()
values = 0
for n, (a, b) in enumerate(zip(rows, got), 1):
    if norm(a) != norm(b):
        print('bad record', n, json.dumps(norm(a))[:80], '<>', json.dumps(norm(b))[:80]); sys.exit()
    values += len(norm(a))
got_names = [l.split('\t')[0] for l in open(names, encoding='utf-8').read().splitlines()]
for i, w in enumerate(want_names):
    if w.strip() and (i >= len(got_names) or got_names[i] != w):
        print('bad field name', i + 1, repr(w), '<>', repr(got_names[i] if i < len(got_names) else None)); sys.exit()
print('ok', values)
)PY";

std::string FindManifest(const std::string& given) {
    if (!given.empty()) return given;
    std::error_code ec;
    for (auto dir : {std::filesystem::read_symlink("/proc/self/exe", ec).parent_path(),
                     std::filesystem::current_path(ec)}) {
        for (; !dir.empty() && dir != dir.root_path(); dir = dir.parent_path()) {
            auto candidate = dir / "bench" / "detect_corpus.tsv";
            if (std::filesystem::exists(candidate, ec)) return candidate.string();
        }
    }
    return {};
}

std::vector<Entry> ReadManifest(const std::string& path) {
    std::vector<Entry> entries;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> parts;
        std::stringstream s(line);
        std::string part;
        while (std::getline(s, part, '\t')) parts.push_back(part);
        if (parts.size() == 6)
            entries.push_back({parts[0], parts[1], parts[2], parts[3], parts[4], parts[5]});
    }
    return entries;
}

bool Fetch(const std::string& data, const std::string& package) {
    std::error_code ec;
    if (std::filesystem::exists(data + "/" + package, ec)) return true;
    std::string debs = data + "/debs";
    std::filesystem::create_directories(debs, ec);
    std::string command = "cd '" + debs + "' && apt-get download -q " + package +
                          " >/dev/null 2>&1 && dpkg -x " + package + "_*.deb '" + data + "/" +
                          package + "'";
    return std::system(command.c_str()) == 0;
}

}  // namespace

int main(int argc, char** argv) {
    std::string data = "/tmp/velmor-corpus", manifest;
    bool verbose = false;
    std::vector<std::string> extra;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--data" && i + 1 < argc) data = argv[++i];
        if (a == "--manifest" && i + 1 < argc) manifest = argv[++i];
        if (a == "--verbose") verbose = true;
        if (a == "--no-profiles") extra.push_back(a);
    }
    manifest = FindManifest(manifest);
    std::vector<Entry> entries = ReadManifest(manifest);
    if (entries.empty()) {
        std::fprintf(stderr, "No corpus manifest (bench/detect_corpus.tsv) found.\n");
        return 1;
    }
    const std::string velmor = bench::Sibling("velmor-data");
    const std::string ours = "/tmp/velmor-detect-records-" + std::to_string(::getpid());
    const std::string names = "/tmp/velmor-detect-fields-" + std::to_string(::getpid());
    int right = 0, missing = 0;
    long long values = 0;
    for (const Entry& e : entries) {
        std::string file = data + "/" + e.package + e.path;
        if (!Fetch(data, e.package) || !std::filesystem::exists(file)) {
            std::printf("MISSING %s %s\n", e.package.c_str(), e.path.c_str());
            ++missing;
            continue;
        }
        std::vector<std::string> records{velmor, "records", file}, fields{velmor, "fields", file};
        records.insert(records.end(), extra.begin(), extra.end());
        fields.insert(fields.end(), extra.begin(), extra.end());
        std::ofstream(ours) << RunTool(records).output;
        std::ofstream(names) << RunTool(fields).output;
        auto verdict = RunTool({"python3", "-c", kCompare, file, e.delimiter, e.qualifier, e.header,
                                e.comments, ours, names})
                           .output;
        bool ok = verdict.rfind("ok ", 0) == 0;
        if (ok) {
            ++right;
            values += std::atoll(verdict.c_str() + 3);
        }
        if (!ok || verbose)
            std::printf("%-4s %s %s  %s", ok ? "ok" : "BAD", e.package.c_str(), e.path.c_str(),
                        ok ? "\n" : verdict.c_str());
    }
    std::remove(ours.c_str());
    std::remove(names.c_str());
    const int measured = static_cast<int>(entries.size()) - missing;
    std::printf("\nfiles fully right: %d of %d (%.1f%%); values agreed in them: %lld\n", right,
                measured, measured ? 100.0 * right / measured : 0.0, values);
    bench::Verdict("at least 95% of files fully right", right * 100 >= measured * 95);
    return 0;
}
