#include "data/detection.h"

#include <algorithm>
#include <map>
#include <vector>

#include "data/dbaseheader.h"

namespace velmor::data {

namespace {

constexpr size_t kMaxLines = 200;
constexpr size_t kHeaderRows = 50;
constexpr FilePos kDefaultRecordLength = 80;
// A field delimiter must split this share of the records; ragged rows with
// optional columns still do, a character that merely occurs in text does not.
constexpr double kMinSupport = 0.75;

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

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t") == std::string_view::npos;
}

bool IsComment(std::string_view line) {
    return !line.empty() && line.front() == '#';
}

// Lines that say nothing about the division: comments and empty lines.
bool IsAside(std::string_view record) {
    return IsBlank(record) || IsComment(record);
}

// Bytes of the comment lines (and the empty lines among and after them) at
// the start; 0 when the sample holds nothing else, so a file of comments
// alone is still shown.
FilePos LeadingComments(std::string_view sample, bool whole, const std::string& end) {
    size_t at = 0;
    bool comment = false;
    while (at < sample.size()) {
        size_t hit = sample.find(end, at);
        if (hit == std::string_view::npos && !whole) return 0;
        size_t stop = hit == std::string_view::npos ? sample.size() : hit;
        std::string_view line = sample.substr(at, stop - at);
        if (!IsAside(line)) return comment ? static_cast<FilePos>(at) : 0;
        comment = comment || IsComment(line);
        if (hit == std::string_view::npos) return 0;
        at = hit + end.size();
    }
    return 0;
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

std::vector<std::string_view> DataRecords(std::string_view body, bool whole,
                                          const DelimitedScanner& scanner) {
    auto records = Records(body, whole, scanner);
    records.erase(std::remove_if(records.begin(), records.end(), IsAside), records.end());
    return records;
}

bool Wrapped(std::string_view value, char q) {
    return value.size() >= 2 && value.front() == q && value.back() == q;
}

// The apostrophe qualifies when no value is wrapped in double quotes and
// either some column has it around (nearly) every value or some record has
// it around all of its values; otherwise the double quote.
std::string ChooseQualifier(const std::vector<std::string_view>& lines, const std::string& field) {
    DelimitedScanner raw(Delimiters{"\n", field, ""}, false);
    std::vector<std::string> values;
    std::vector<size_t> filled, quoted;
    bool wholeRecord = false;
    for (auto line : lines) {
        raw.SplitFields(line, values);
        if (values.size() > filled.size()) {
            filled.resize(values.size(), 0);
            quoted.resize(values.size(), 0);
        }
        // A record of names is often the only one quoted.
        wholeRecord = wholeRecord ||
                      (values.size() > 1 && std::all_of(values.begin(), values.end(),
                                                        [](auto& v) { return Wrapped(v, '\''); }));
        for (size_t i = 0; i < values.size(); ++i) {
            if (Wrapped(values[i], '"')) return "\"";
            if (values[i].empty()) continue;
            ++filled[i];
            quoted[i] += Wrapped(values[i], '\'');
        }
    }
    for (size_t i = 0; i < filled.size(); ++i) {
        if (quoted[i] >= 2 && quoted[i] * 10 >= filled[i] * 9) return "'";
    }
    return wholeRecord ? "'" : "\"";
}

struct Candidate {
    std::string field;
    std::string qualifier;
    double score = 0;
    size_t fields = 0;  ///< the most common field count
};

// A blank separates values only where it does so in every record alike
// (statistics packages write "x" "y" over "1" 1.5 2): the names row may
// hold one value fewer, and the rest must agree exactly.
bool BlankSeparates(const std::vector<std::string_view>& records, const DelimitedScanner& scanner) {
    if (records.size() < 3) return false;
    const size_t n = scanner.CountFields(records[1]);
    if (n < 2) return false;
    const size_t first = scanner.CountFields(records[0]);
    if (first != n && first + 1 != n) return false;
    return std::all_of(records.begin() + 1, records.end(), [&](std::string_view r) {
        return scanner.CountFields(r) == n;
    });
}

// Each candidate is scored by how many records it splits at all and how
// many share its most common field count; ties keep the earlier candidate.
// The colon comes last, so times inside comma or tab files leave them be;
// the blank only when nothing else divides the records.
Candidate ChooseFieldDelimiter(std::string_view body, bool whole, const std::string& recordEnd) {
    static const char kCandidates[] = {',', '\t', ';', '|', ':'};
    DelimitedScanner lineScanner(Delimiters{recordEnd, "", ""}, false);
    const auto lines = DataRecords(body, whole, lineScanner);
    Candidate best;
    for (char c : kCandidates) {
        const std::string field(1, c);
        if (std::none_of(lines.begin(), lines.end(),
                         [c](auto l) { return l.find(c) != std::string_view::npos; }))
            continue;
        Candidate option{field, ChooseQualifier(lines, field), 0};
        DelimitedScanner scanner(Delimiters{recordEnd, field, option.qualifier}, false);
        auto records = DataRecords(body, whole, scanner);
        if (records.empty()) continue;
        std::map<size_t, size_t> counts;
        size_t split = 0;
        for (auto record : records) {
            size_t n = scanner.CountFields(record);
            ++counts[n];
            split += n > 1;
        }
        auto common = std::max_element(counts.begin(), counts.end(),
                                       [](auto& a, auto& b) { return a.second < b.second; });
        const double all = static_cast<double>(records.size());
        const double support = static_cast<double>(split) / all;
        const double minimum = records.size() <= 5 ? 0.5 : kMinSupport;
        if (common->first < 2 || support < minimum) continue;
        option.score = support + 0.5 * static_cast<double>(common->second) / all;
        option.fields = common->first;
        if (option.score > best.score) best = option;
    }
    if (best.field.empty() && std::none_of(lines.begin(), lines.end(), [](auto l) {
            return l.find("  ") != std::string_view::npos;
        })) {
        Candidate blank{" ", ChooseQualifier(lines, " "), 1};
        DelimitedScanner scanner(Delimiters{recordEnd, " ", blank.qualifier}, false);
        auto records = DataRecords(body, whole, scanner);
        if (BlankSeparates(records, scanner)) {
            blank.fields = scanner.CountFields(records[1]);
            best = blank;
        }
    }
    return best;
}

// Strong evidence of names, beyond the column test: a first record with one
// value fewer than all the records below (row names without a name), or with
// every value quoted where the values below are not.
bool PlainlyNames(const std::vector<std::string_view>& rows, const Delimiters& d) {
    if (rows.size() < 3 || d.field.empty()) return false;
    DelimitedScanner scanner(d, false);
    const size_t first = scanner.CountFields(rows[0]);
    const size_t below = scanner.CountFields(rows[1]);
    const bool same = std::all_of(rows.begin() + 1, rows.end(), [&](std::string_view r) {
        return scanner.CountFields(r) == below;
    });
    // A "#" line one value short is a remark more often than names.
    if (same && first >= 1 && first + 1 == below && !IsComment(rows[0])) return true;
    if (d.qualifier.size() != 1) return false;
    DelimitedScanner raw(Delimiters{d.record, d.field, ""}, false);
    std::vector<std::string> values;
    raw.SplitFields(rows[0], values);
    const char q = d.qualifier[0];
    if (values.size() < 2 ||
        !std::all_of(values.begin(), values.end(), [&](auto& v) { return Wrapped(v, q); }))
        return false;
    for (size_t k = 1; k < rows.size(); ++k) {
        raw.SplitFields(rows[k], values);
        if (std::any_of(values.begin(), values.end(), [&](auto& v) { return Wrapped(v, q); }))
            return false;
    }
    return true;
}

std::vector<std::vector<std::string>> HeaderRows(const std::vector<std::string_view>& records,
                                                 const DelimitedScanner& scanner) {
    std::vector<std::vector<std::string>> rows;
    for (size_t k = 0; k < records.size() && rows.size() <= kHeaderRows; ++k) {
        rows.emplace_back();
        scanner.SplitFields(records[k], rows.back());
    }
    return rows;
}

// A first line alone before the data, marked as a comment but splitting
// into about as many fields as the records do, which the header test takes for
// names ("#id,name,...").
bool CommentedNames(std::string_view sample, FilePos fileSize, const Lines& lines, FilePos offset,
                    const Candidate& chosen) {
    if (lines.lines.empty() ||
        offset != static_cast<FilePos>(lines.lines[0].size() + lines.end.size()))
        return false;
    Delimiters d{lines.end, chosen.field, chosen.qualifier};
    DelimitedScanner scanner(d, false);
    // Unqualified delimiters inside a few values make a ragged file: one
    // field more or less than the records' usual count still fits.
    const size_t count = scanner.CountFields(lines.lines[0]);
    if (count < 2 || count + 1 < chosen.fields || count > chosen.fields + 1) return false;
    return JudgeDelimited(sample, fileSize, d, 0).headerVote > 0;
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

DelimitedFit JudgeDelimited(std::string_view sample, FilePos fileSize, const Delimiters& d,
                            FilePos offset) {
    DelimitedFit fit;
    if (d.record.empty() || offset < 0 || static_cast<size_t>(offset) >= sample.size()) return fit;
    const bool whole = static_cast<FilePos>(sample.size()) >= fileSize;
    std::string_view body = sample.substr(static_cast<size_t>(offset));
    DelimitedScanner scanner(d, false);
    auto records = DataRecords(body, whole, scanner);
    if (records.empty()) return fit;
    if (!d.field.empty()) {
        size_t split = 0;
        const size_t first = scanner.CountFields(records.front());
        fit.uniform = first > 1;
        for (auto record : records) {
            const size_t n = scanner.CountFields(record);
            split += n > 1;
            fit.uniform = fit.uniform && n == first;
        }
        fit.support = static_cast<double>(split) / static_cast<double>(records.size());
    }
    if (d.qualifier.size() == 1) {
        DelimitedScanner raw(Delimiters{d.record, d.field, ""}, false);
        std::vector<std::string> values;
        for (auto record : records) {
            raw.SplitFields(record, values);
            if (std::any_of(values.begin(), values.end(),
                            [&](const std::string& v) { return Wrapped(v, d.qualifier[0]); })) {
                fit.qualifierUsed = true;
                break;
            }
        }
    }
    // The first record itself is judged even when it looks like a comment.
    auto all = Records(body, whole, scanner);
    if (!all.empty() && !d.field.empty()) {
        std::vector<std::string_view> rows{all.front()};
        for (size_t k = 1; k < all.size(); ++k)
            if (!IsAside(all[k])) rows.push_back(all[k]);
        if (IsBlank(all.front()))
            fit.headerVote = -1;  // an empty line holds no names
        else if (PlainlyNames(rows, d))
            fit.headerVote = std::max(HeaderVote(HeaderRows(rows, scanner)), 0) + 100;
        else
            fit.headerVote = HeaderVote(HeaderRows(rows, scanner));
    }
    return fit;
}

Detection DetectConnection(std::string_view sample, FilePos fileSize) {
    Detection d;
    if (LooksLikeDbase(sample, fileSize)) {
        d.kind = Detection::Kind::Dbase;
        return d;
    }
    bool whole = static_cast<FilePos>(sample.size()) >= fileSize;
    d.recordFormat = copybook::ProposedRecordFormat(sample, whole);
    if (d.recordFormat != copybook::RecordFormat::Fixed) {
        // Mainframe files keep EBCDIC text: its blank is 0x40, ASCII's 0x20.
        d.ebcdic = std::count(sample.begin(), sample.end(), '\x40') >
                   std::count(sample.begin(), sample.end(), ' ');
        return d;
    }
    Lines lines = SplitLines(sample, whole);
    if (LooksBinary(sample) || lines.lines.empty()) {
        d.kind = Detection::Kind::Fixed;
        d.recordLength = DetectRecordLength(sample, fileSize);
        return d;
    }
    // Spreadsheets may start a file with a line such as "sep=;" that names
    // its field delimiter; the records start after it.
    const std::string_view first = lines.lines.front();
    const bool named = first.size() == 5 && first.starts_with("sep=") && lines.lines.size() > 1;
    const FilePos offset = named ? static_cast<FilePos>(first.size() + lines.end.size())
                                 : LeadingComments(sample, whole, lines.end);
    std::string_view body = sample.substr(static_cast<size_t>(offset));
    Candidate chosen = ChooseFieldDelimiter(body, whole, lines.end);
    if (named && chosen.field != first.substr(4)) chosen = {std::string(first.substr(4)), "\"", 0, 0};
    // One column of values each wrapped in double quotes is a CSV file of
    // one field: the comma divides (never outside the quotes), so the quotes
    // are taken off.
    if (chosen.field.empty() && std::all_of(lines.lines.begin(), lines.lines.end(), [](auto l) {
            return IsBlank(l) || Wrapped(l, '"');
        }))
        chosen = {",", "\"", 0, 1};
    bool sameLength = offset == 0 && lines.lines.size() >= 2 &&
                      std::all_of(lines.lines.begin(), lines.lines.end(),
                                  [&](auto l) { return l.size() == lines.lines[0].size(); });
    // Lines of one length divided only by blanks are fixed-width text.
    if (sameLength && (chosen.field.empty() || chosen.field == " ")) {
        d.kind = Detection::Kind::Fixed;
        d.recordLength = static_cast<FilePos>(lines.lines[0].size() + lines.end.size());
        return d;
    }
    d.kind = Detection::Kind::Delimited;
    d.recordDelimiter = lines.end;
    if (offset > 0 && !named && !chosen.field.empty() &&
        CommentedNames(sample, fileSize, lines, offset, chosen))
        d.byteOffset = 0;  // the first record, "#" and all, holds the names
    else
        d.byteOffset = offset;
    d.fieldDelimiter = chosen.field;
    d.qualifier = chosen.field.empty() ? std::string("\"") : chosen.qualifier;
    if (!d.fieldDelimiter.empty()) {
        Delimiters chosenDelimiters{d.recordDelimiter, d.fieldDelimiter, d.qualifier};
        // A UTF-8 byte-order mark is no part of the first name.
        const FilePos mark = d.byteOffset == 0 ? DelimitedDataStart(sample, 0) : 0;
        d.header = JudgeDelimited(sample.substr(static_cast<size_t>(mark)), fileSize - mark,
                                  chosenDelimiters, d.byteOffset)
                       .headerVote > 0;
    }
    return d;
}

}  // namespace velmor::data
