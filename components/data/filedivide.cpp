// Dividing the open file into records after every change of the connection.
#include <algorithm>

#include "data/detection.h"
#include "data/fileimpl.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr RecordNo kSampleRecords = 1000;
constexpr FilePos kSampleBytes = FilePos{1} << 20;
constexpr size_t kHeadForDbase = size_t{1} << 16;
// Records of garbage can hold millions of field delimiters: the layout
// derived from the data stops at this many fields.

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           util::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string DivisionKey(const Delimiters& d, FilePos dataStart) {
    return std::to_string(d.record.size()) + ":" + d.record + std::to_string(d.field.size()) + ":" +
           d.field + std::to_string(d.qualifier.size()) + ":" + d.qualifier + "@" +
           std::to_string(dataStart);
}

}  // namespace

void FileImpl::ClearRecord() {
    recordLoaded = false;
    recordBytes.clear();
    valuesLoaded = false;
    values.clear();
    recordStart = 0;
    recordLength = 0;
}

void FileImpl::Divide() {
    SaveIndex(true);
    dividing_ = true;
    RecordNo wanted = recordNumber;
    ClearRecord();
    delimited.reset();
    variable.reset();
    kind = Kind::None;
    ebcdic = false;
    dbase = false;
    fixedCount = 0;
    headerRecords = 0;
    atEnd = false;
    if (reader.IsOpen()) {
        if (StartsWithNoCase(connection.DatabaseTypeName(), "DBase")) {
            bool take = fields.Count() == 0 || layoutSource_ == LayoutSource::Dbase ||
                        layoutSource_ == LayoutSource::None;
            dbase = DivideDbase(take);
        } else if (connection.IsVariable()) {
            DivideVariable();
        } else if (connection.IsFixed()) {
            DivideFixed();
        } else if (connection.IsDelimited()) {
            DivideDelimited();
        }
    }
    grew_ = false;
    recordNumber = 0;
    if (RecordCount() > 0) {
        MoveTo(wanted >= 1 && wanted <= RecordCount() ? wanted : 1);
    }
    grew_ = false;
    dividing_ = false;
    // Variable records damaged from the first length on show nothing that
    // could be asked for: the reason is told now.
    if (kind == Kind::Variable && RecordCount() == 0) ReportVariableDamage();
}

void FileImpl::DivideFixed() {
    kind = Kind::Fixed;
    ebcdic = util::EqualsNoCase(connection.DatabaseTypeName(), "Flat EBCDIC");
    fixedLength = connection.RecordLength();
    dataStart = std::clamp<FilePos>(connection.ByteOffset(), 0, reader.Size());
    FilePos body = reader.Size() - dataStart;
    fixedCount = fixedLength > 0 && body > 0 ? body / fixedLength + (body % fixedLength != 0) : 0;
}

bool FileImpl::DivideDbase(bool takeFields) {
    DbaseHeader header;
    std::string error;
    std::string head = ReadHead(kHeadForDbase);
    if (!ReadDbaseHeader(head, reader.Size(), header, error)) {
        RaiseError("\"" + path + "\" cannot be read as a dBase table. " + error);
        return false;
    }
    connection.SetIsFixed(true);
    connection.SetIsDelimited(false);
    connection.SetRecordLength(header.recordLength);
    connection.SetByteOffset(header.headerLength);
    if (takeFields) {
        fields.Clear();
        for (const auto& f : header.fields) fields.Add(f.name, f.length, {}, f.start);
        SetLayoutSource(LayoutSource::Dbase);
    }
    kind = Kind::Fixed;
    fixedLength = header.recordLength;
    dataStart = header.headerLength;
    std::string last = reader.ReadString(reader.Size() - 1, 1);
    fixedCount = DbaseRecordsHeld(header, reader.Size(), last == "\x1A");
    if (FilePos cut = DbaseRecordCut(header, reader.Size(), last == "\x1A"); cut > 0)
        RaiseError("\"" + path + "\" is cut short: dBase record " +
                   std::to_string(fixedCount + 1) + " holds " + std::to_string(cut) + " of its " +
                   std::to_string(header.recordLength) + " bytes and is not shown.");
    return true;
}

bool FileImpl::DivideDelimited() {
    const Connection& c = connection;
    if (c.RecordDelimiterRepresentation().empty() && c.FieldDelimiterRepresentation().empty() &&
        c.TextQualifierRepresentation().empty()) {
        // Delimited records named without any delimiter: take the file's own.
        Detection detected = DetectConnection(ReadHead(kDetectionSample), reader.Size());
        std::string lineEnd = detected.kind == Detection::Kind::Delimited
                                  ? detected.recordDelimiter
                                  : DetectLineEnd(ReadHead(kDetectionSample));
        connection.SetRecordDelimiterRepresentation(util::CharactersToRepresentation(lineEnd));
        if (detected.kind == Detection::Kind::Delimited) {
            connection.SetFieldDelimiterRepresentation(
                util::CharactersToRepresentation(detected.fieldDelimiter));
            connection.SetTextQualifierRepresentation(
                util::CharactersToRepresentation(detected.qualifier));
            connection.SetFirstRecordContainsFieldNames(detected.header ||
                                                        connection.FirstRecordContainsFieldNames());
            if (connection.ByteOffset() == 0) connection.SetByteOffset(detected.byteOffset);
        }
    }
    Delimiters d;
    struct Part {
        const std::string& text;
        const char* what;
        std::string& out;
    };
    Part parts[] = {{connection.RecordDelimiterRepresentation(), "record delimiter", d.record},
                    {connection.FieldDelimiterRepresentation(), "field delimiter", d.field},
                    {connection.TextQualifierRepresentation(), "text qualifier", d.qualifier}};
    for (auto& part : parts) {
        auto result = util::RepresentationToCharacters(part.text);
        if (!result.ok()) {
            RaiseError(std::string("The ") + part.what + " \"" + part.text +
                       "\" is not a valid representation: " + result.error);
            return false;
        }
        part.out = result.characters;
    }
    if (d.record.empty()) d.record = DetectLineEnd(ReadHead(kDetectionSample));
    if (d.record.empty()) d.record = "\r\n";
    dataStart = std::min(DelimitedDataStart(ReadHead(3), connection.ByteOffset()), reader.Size());
    headerRecords = connection.FirstRecordContainsFieldNames() ? 1 : 0;
    delimited = std::make_unique<DelimitedRecords>(reader, DelimitedScanner(d), dataStart);
    divisionKey_ = DivisionKey(d, dataStart);
    if (reader.Size() >= kIndexFileThreshold) {
        IndexKey key = IndexKeyOf(reader, divisionKey_);
        const RecordIndex& index = delimited->Index();
        untallied_ = LoadRecordIndex(IndexPathAndName(), key, delimited->Index()) &&
                     index.complete && index.mostValues == 0;
    }
    delimited->LongRecord = [this](const RecordSpan& span) {
        if (sampling_) return;
        FilePos take = std::min(span.length, kSampleBytes);
        std::string bytes = reader.ReadString(span.start, static_cast<size_t>(take));
        std::vector<std::string> found;
        delimited->Scanner().SplitFields(bytes, found, kMaxDerivedFields);
        WidenFor(found, span.length);
    };
    kind = Kind::Delimited;
    SampleDelimited();
    return true;
}

void FileImpl::SampleDelimited() {
    sampling_ = true;
    RecordNo want = kSampleRecords + headerRecords;
    std::vector<std::string> header;
    std::vector<FilePos> widths;
    FilePos longest = delimited->Index().longest;
    const bool split = !delimited->Scanner().Get().field.empty();
    std::vector<std::string> found;
    size_t fewest = SIZE_MAX;
    FilePos limit = dataStart + kSampleBytes;
    delimited->ForEach(
        0, static_cast<size_t>(kSampleBytes),
        [&](RecordNo p, const RecordSpan& span, std::string_view bytes) {
            longest = std::max(longest, span.length);
            if (split) {
                delimited->Scanner().SplitFields(bytes, found, kMaxDerivedFields + 1);
                if (p < headerRecords) {
                    header = found;
                    if (header.size() > kMaxDerivedFields) header.resize(kMaxDerivedFields);
                } else {
                    fewest = std::min(fewest, found.size());
                    size_t n = std::min(found.size(), kMaxDerivedFields);
                    if (widths.size() < n) widths.resize(n, 0);
                    for (size_t i = 0; i < n; ++i)
                        widths[i] =
                            std::max<FilePos>(widths[i], static_cast<FilePos>(found[i].size()));
                }
            }
            return p + 1 < want;
        },
        limit);
    sampling_ = false;
    connection.SetRecordLength(longest);
    if (!split) {
        if (layoutSource_ == LayoutSource::None || layoutSource_ == LayoutSource::Derived) {
            fields.Clear();
            SetLayoutSource(LayoutSource::None);
        }
        return;
    }
    // Names one short of the values name all but the first column, which
    // holds the row names (as statistics packages write their tables).
    if (!header.empty() && header.size() + 1 == widths.size() && fewest == widths.size())
        header.insert(header.begin(), "");
    size_t count = std::min(std::max(widths.size(), header.size()), kMaxDerivedFields);
    std::vector<std::string> names(count);
    bool keep = layoutSource_ == LayoutSource::ConnectionFile ||
                layoutSource_ == LayoutSource::FormatFile || layoutSource_ == LayoutSource::User ||
                static_cast<size_t>(fields.Count()) == count;
    for (size_t i = 0; i < count; ++i) {
        const Field* existing = fields.Item(static_cast<int>(i) + 1);
        if (keep && existing && !existing->Name().empty())
            names[i] = existing->Name();
        else if (i < header.size() && !header[i].empty())
            names[i] = header[i];
        else
            names[i] = "Field" + std::to_string(i + 1);
    }
    widths.resize(count, 0);
    SetLayout(names, widths);
    if (layoutSource_ == LayoutSource::None || layoutSource_ == LayoutSource::Dbase)
        SetLayoutSource(LayoutSource::Derived);
    FollowCountedValues();
}

void FileImpl::SetLayout(const std::vector<std::string>& names,
                         const std::vector<FilePos>& widths) {
    // Existing Field objects are kept, so windows holding one stay valid.
    size_t keepExtra = static_cast<size_t>(fields.Count());
    for (size_t i = 0; i < names.size(); ++i) {
        FilePos width = std::max<FilePos>({widths[i], static_cast<FilePos>(names[i].size()), 1});
        Field* f = fields.Item(static_cast<int>(i) + 1);
        if (!f) {
            fields.Add(names[i], width);
            continue;
        }
        f->SetName(names[i]);
        f->SetLength(width);
    }
    for (size_t i = names.size(); i < keepExtra; ++i) {
        Field* f = fields.Item(static_cast<int>(i) + 1);
        f->SetLength(std::max<FilePos>({f->Length(), static_cast<FilePos>(f->Name().size()), 1}));
    }
    TileDelimitedFields();
}

void FileImpl::TileDelimitedFields() {
    FilePos start = 1;
    for (int i = 1; i <= fields.Count(); ++i) {
        Field* f = fields.Item(i);
        f->SetStartingPosition(start);
        start += std::max<FilePos>(f->Length(), 0);
    }
    FilePos longest = delimited ? delimited->Index().longest : 0;
    FilePos length = std::max({longest, start - 1, connection.RecordLength()});
    connection.SetRecordLength(length);
}

void FileImpl::WidenFor(const std::vector<std::string>& recordValues, FilePos rawLength) {
    bool before = dividing_;
    dividing_ = true;
    bool changed = false;
    if (rawLength > connection.RecordLength()) {
        connection.SetRecordLength(rawLength);
        changed = true;
    }
    if (kind == Kind::Delimited && delimited && !delimited->Scanner().Get().field.empty()) {
        for (size_t i = 0; i < std::min(recordValues.size(), kMaxDerivedFields); ++i) {
            FilePos width = static_cast<FilePos>(recordValues[i].size());
            Field* f = fields.Item(static_cast<int>(i) + 1);
            if (!f) {
                fields.Add("Field" + std::to_string(i + 1), std::max<FilePos>(width, 1));
                changed = true;
            } else if (width > f->Length()) {
                f->SetLength(width);
                changed = true;
            }
        }
        if (changed) TileDelimitedFields();
    }
    if (changed) grew_ = true;
    dividing_ = before;
}

}  // namespace velmor::data
