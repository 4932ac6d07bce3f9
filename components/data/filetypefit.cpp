#include "data/filetypefit.h"

#include <algorithm>
#include <map>
#include <set>

#include "data/detection.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

// Below this share of records split by it, a type's field delimiter is not
// the file's: a delimiter that occurs only inside a few values does not count.
constexpr double kContradicted = 0.5;

bool Characters(const std::string& representation, std::string& out) {
    auto result = util::RepresentationToCharacters(representation);
    if (!result.ok()) return false;
    out = result.characters;
    return true;
}

}  // namespace

void FitDelimitedSettings(Connection& c, std::string_view head, FilePos fileSize) {
    const Detection d = DetectConnection(head, fileSize);
    const std::string lineEnd = DetectLineEnd(head);
    Delimiters now;
    if (!Characters(c.RecordDelimiterRepresentation(), now.record) ||
        !Characters(c.FieldDelimiterRepresentation(), now.field) ||
        !Characters(c.TextQualifierRepresentation(), now.qualifier))
        return;  // the engine reports the faulty text when it divides
    if ((now.record.empty() || head.find(now.record) == std::string_view::npos) &&
        !lineEnd.empty()) {
        now.record = lineEnd;
        c.SetRecordDelimiterRepresentation(util::CharactersToRepresentation(lineEnd));
    }
    const bool delimited = d.kind == Detection::Kind::Delimited;
    if (c.ByteOffset() == 0 && delimited && d.byteOffset > 0) c.SetByteOffset(d.byteOffset);
    const FilePos offset = c.ByteOffset();
    const bool found = delimited && !d.fieldDelimiter.empty();
    if (now.field.empty()) {
        if (!found) return;
        c.SetFieldDelimiterRepresentation(util::CharactersToRepresentation(d.fieldDelimiter));
        if (now.qualifier.empty())
            c.SetTextQualifierRepresentation(util::CharactersToRepresentation(d.qualifier));
        c.SetFirstRecordContainsFieldNames(c.FirstRecordContainsFieldNames() || d.header);
        return;
    }
    DelimitedFit fit = JudgeDelimited(head, fileSize, now, offset);
    // A delimiter that splits records into varying numbers of fields gives
    // way to one that splits every record alike (semicolons between values
    // that hold decimal commas, as spreadsheets of many countries write).
    auto uniformInstead = [&] {
        Delimiters other = now;
        other.field = d.fieldDelimiter;
        return !fit.uniform && JudgeDelimited(head, fileSize, other, offset).uniform;
    };
    if (found && d.fieldDelimiter != now.field &&
        (fit.support < kContradicted || uniformInstead())) {
        now.field = d.fieldDelimiter;
        c.SetFieldDelimiterRepresentation(util::CharactersToRepresentation(now.field));
        fit = JudgeDelimited(head, fileSize, now, offset);
    }
    if (found && d.fieldDelimiter == now.field && d.qualifier == "'" && now.qualifier != "'" &&
        !fit.qualifierUsed) {
        now.qualifier = d.qualifier;
        c.SetTextQualifierRepresentation(util::CharactersToRepresentation(now.qualifier));
        fit = JudgeDelimited(head, fileSize, now, offset);
    }
    if (c.FirstRecordContainsFieldNames() && fit.headerVote < 0)
        c.SetFirstRecordContainsFieldNames(false);
}

bool FixedTypeContradicted(std::string_view head, FilePos fileSize, FilePos recordLength,
                           FilePos byteOffset) {
    const Detection d = DetectConnection(head, fileSize);
    if (d.kind != Detection::Kind::Delimited || d.fieldDelimiter.empty()) return false;
    const std::string& end = d.recordDelimiter;
    const size_t first = static_cast<size_t>(std::clamp<FilePos>(byteOffset, 0, head.size()));
    std::set<FilePos> columns;
    std::map<size_t, size_t> lengths;
    size_t lines = 0;
    for (size_t at = first, hit; lines < 200 && (hit = head.find(end, at)) != head.npos; ++lines) {
        const size_t after = hit + end.size();
        if (recordLength > 0) columns.insert(static_cast<FilePos>(after - first) % recordLength);
        ++lengths[hit - at];
        at = after;
    }
    if (lines < 3) return false;
    if (recordLength > 0) return columns.size() > 1;
    size_t common = 0;
    for (auto& [length, n] : lengths) common = std::max(common, n);
    return common * 2 < lines;
}

}  // namespace velmor::data
