#include "data/detection.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "data/dbaseheader.h"
#include "data/delimitedscanner.h"

namespace velmor::data {

namespace {

constexpr size_t kMaxLines = 200;
constexpr FilePos kDefaultRecordLength = 80;

struct Lines {
    std::vector<std::string_view> lines;
    std::string end;
};

// Complete lines of the sample (the last, cut one is left out unless the
// sample is the whole file).
Lines SplitLines(std::string_view sample, bool whole) {
    Lines result;
    result.end = DetectLineEnd(sample);
    if (result.end.empty()) return result;
    size_t at = 0;
    while (at < sample.size() && result.lines.size() < kMaxLines) {
        size_t hit = sample.find(result.end, at);
        if (hit == std::string_view::npos) {
            if (whole) result.lines.push_back(sample.substr(at));
            break;
        }
        result.lines.push_back(sample.substr(at, hit - at));
        at = hit + result.end.size();
    }
    return result;
}

bool LooksBinary(std::string_view sample) {
    size_t odd = 0;
    for (unsigned char c : sample) {
        if (c == 0 || (c < 32 && c != '\t' && c != '\r' && c != '\n' && c != '\f')) ++odd;
    }
    return !sample.empty() && odd * 20 > sample.size();
}

bool IsNumber(std::string_view v) {
    while (!v.empty() && v.front() == ' ') v.remove_prefix(1);
    while (!v.empty() && v.back() == ' ') v.remove_suffix(1);
    if (v.empty()) return false;
    size_t digits = 0;
    for (char c : v) {
        if (c >= '0' && c <= '9')
            ++digits;
        else if (c != '.' && c != ',' && c != '-' && c != '+' && c != '$' && c != '%')
            return false;
    }
    return digits > 0;
}

// Records of the sample as the scanner with these delimiters cuts them, so a
// qualified field holding a line end stays in one record.
std::vector<std::string_view> Records(std::string_view sample, bool whole,
                                      const DelimitedScanner& scanner) {
    std::vector<size_t> ends(kMaxLines);
    ScanMode mode = ScanMode::FieldStart;
    size_t consumed = 0;
    size_t n =
        scanner.Scan(sample.data(), sample.size(), whole, mode, ends.data(), ends.size(), consumed);
    std::vector<std::string_view> records;
    size_t start = 0;
    const size_t delimiter = scanner.Get().record.size();
    for (size_t k = 0; k < n; ++k) {
        records.push_back(sample.substr(start, ends[k] - delimiter - start));
        start = ends[k];
    }
    if (whole && n < ends.size() && start < sample.size()) records.push_back(sample.substr(start));
    return records;
}

// A delimiter that splits most records into the same number of fields (more
// than one) wins; ties go to the one giving more fields.
std::string ChooseFieldDelimiter(std::string_view sample, bool whole,
                                 const std::string& recordEnd) {
    static const char kCandidates[] = {',', '\t', ';', '|'};
    std::string best;
    double bestScore = 0;
    for (char c : kCandidates) {
        DelimitedScanner scanner(Delimiters{recordEnd, std::string(1, c), "\""}, false);
        auto records = Records(sample, whole, scanner);
        if (records.empty()) continue;
        std::map<size_t, size_t> counts;
        for (auto record : records) ++counts[scanner.CountFields(record)];
        auto common = std::max_element(counts.begin(), counts.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
        if (common->first < 2) continue;
        double share = static_cast<double>(common->second) / static_cast<double>(records.size());
        if (share < 0.8 && !(records.size() <= 5 && share >= 0.5)) continue;
        double score = share * 1000 + static_cast<double>(common->first);
        if (score > bestScore) {
            bestScore = score;
            best = std::string(1, c);
        }
    }
    return best;
}

// A first record of distinct, non-empty, non-numeric names above a column
// that is numeric in most later records is a header. Without numbers to
// tell, the first record is taken as data: the user can still say otherwise.
bool HasHeader(std::string_view sample, bool whole, const DelimitedScanner& scanner) {
    Lines lines;
    lines.lines = Records(sample, whole, scanner);
    if (lines.lines.size() < 2) return false;
    std::vector<std::string> names, values;
    scanner.SplitFields(lines.lines[0], names);
    std::set<std::string> seen;
    for (auto& n : names) {
        if (n.empty() || IsNumber(n) || !seen.insert(n).second) return false;
    }
    for (size_t column = 0; column < names.size(); ++column) {
        size_t numeric = 0, rows = 0;
        for (size_t k = 1; k < lines.lines.size(); ++k) {
            scanner.SplitFields(lines.lines[k], values);
            if (column >= values.size()) continue;
            ++rows;
            if (IsNumber(values[column])) ++numeric;
        }
        if (rows > 0 && numeric * 2 > rows) return true;
    }
    return false;
}

}  // namespace

FilePos DelimitedDataStart(std::string_view head, FilePos byteOffset) {
    if (byteOffset <= 0 && head.substr(0, 3) == "\xEF\xBB\xBF") return 3;
    return std::max<FilePos>(byteOffset, 0);
}

std::string LikeliestFieldDelimiter(std::string_view sample) {
    static const char kCandidates[] = {',', '\t', ';', '|'};
    char best = ',';
    std::ptrdiff_t most = 0;
    for (char c : kCandidates) {
        std::ptrdiff_t n = std::count(sample.begin(), sample.end(), c);
        if (n > most) {
            most = n;
            best = c;
        }
    }
    return std::string(1, best);
}

std::string DetectLineEnd(std::string_view sample) {
    size_t crlf = 0, lf = 0, cr = 0;
    for (size_t i = 0; i < sample.size(); ++i) {
        if (sample[i] == '\r') {
            if (i + 1 < sample.size() && sample[i + 1] == '\n') {
                ++crlf;
                ++i;
            } else if (i + 1 < sample.size()) {
                ++cr;
            }
        } else if (sample[i] == '\n') {
            ++lf;
        }
    }
    if (crlf == 0 && lf == 0 && cr == 0) return {};
    if (crlf >= lf && crlf >= cr) return "\r\n";
    return lf >= cr ? "\n" : "\r";
}

FilePos DetectRecordLength(std::string_view sample, FilePos fileSize) {
    bool whole = static_cast<FilePos>(sample.size()) >= fileSize;
    Lines lines = SplitLines(sample, whole);
    if (!LooksBinary(sample) && !lines.lines.empty()) {
        std::map<size_t, size_t> counts;
        for (auto line : lines.lines) ++counts[line.size()];
        auto common = std::max_element(counts.begin(), counts.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
        return static_cast<FilePos>(common->first + lines.end.size());
    }
    if (fileSize <= 0) return kDefaultRecordLength;
    return std::min(fileSize, kDefaultRecordLength);
}

Detection DetectConnection(std::string_view sample, FilePos fileSize) {
    Detection d;
    if (LooksLikeDbase(sample, fileSize)) {
        d.kind = Detection::Kind::Dbase;
        return d;
    }
    bool whole = static_cast<FilePos>(sample.size()) >= fileSize;
    Lines lines = SplitLines(sample, whole);
    if (LooksBinary(sample) || lines.lines.empty()) {
        d.kind = Detection::Kind::Fixed;
        d.recordLength = DetectRecordLength(sample, fileSize);
        return d;
    }
    d.fieldDelimiter = ChooseFieldDelimiter(sample, whole, lines.end);
    bool sameLength = lines.lines.size() >= 2 &&
                      std::all_of(lines.lines.begin(), lines.lines.end(),
                                  [&](auto l) { return l.size() == lines.lines[0].size(); });
    if (sameLength && d.fieldDelimiter.empty()) {
        d.kind = Detection::Kind::Fixed;
        d.recordLength = static_cast<FilePos>(lines.lines[0].size() + lines.end.size());
        return d;
    }
    d.kind = Detection::Kind::Delimited;
    d.recordDelimiter = lines.end;
    d.qualifier.assign(1, '"');
    if (!d.fieldDelimiter.empty()) {
        DelimitedScanner scanner(Delimiters{d.recordDelimiter, d.fieldDelimiter, d.qualifier},
                                 false);
        d.header = HasHeader(sample, whole, scanner);
    }
    return d;
}

}  // namespace velmor::data
