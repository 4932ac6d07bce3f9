// The current record: moving, reading bytes and values, and searching.
#include <algorithm>
#include <array>

#include "data/ebcdic.h"
#include "data/fileimpl.h"
#include "data/phrasefinder.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr size_t kFindChunk = size_t{1} << 20;
constexpr FilePos kProgressStep = FilePos{4} << 20;
constexpr FilePos kWholeRecordRead = FilePos{64} << 10;

// Case folding of Latin-1 bytes: the data's own characters, not UTF-8.
std::array<unsigned char, 256> MakeFold(bool fromEbcdic) {
    std::array<unsigned char, 256> fold{};
    for (int i = 0; i < 256; ++i) {
        int c = fromEbcdic ? ebcdic::ToLatin1(static_cast<unsigned char>(i)) : i;
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 0x20;
        fold[static_cast<size_t>(i)] = static_cast<unsigned char>(c);
    }
    return fold;
}

const std::array<unsigned char, 256> kFoldLatin1 = MakeFold(false);
const std::array<unsigned char, 256> kFoldEbcdic = MakeFold(true);

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == 0;
}

// True when Text (raw bytes, folded through Fold) contains Needle (already
// folded Latin-1); an empty needle matches a text that is blank throughout.
bool Holds(std::string_view text, std::string_view needle,
           const std::array<unsigned char, 256>& fold) {
    const auto* t = reinterpret_cast<const unsigned char*>(text.data());
    const size_t n = text.size(), m = needle.size();
    if (m == 0) return std::all_of(t, t + n, [&](unsigned char c) { return IsBlank(fold[c]); });
    if (m > n) return false;
    const auto* s = reinterpret_cast<const unsigned char*>(needle.data());
    const unsigned char first = s[0];
    for (size_t i = 0; i + m <= n; ++i) {
        if (fold[t[i]] != first) continue;
        size_t k = 1;
        while (k < m && fold[t[i + k]] == s[k]) ++k;
        if (k == m) return true;
    }
    return false;
}

std::string FoldNeedle(std::string_view phrase) {
    std::string needle = util::Trim(phrase);
    for (char& c : needle) c = static_cast<char>(kFoldLatin1[static_cast<unsigned char>(c)]);
    return needle;
}

}  // namespace

// The first record of a run of fixed-length records whose field slice
// [Begin, End) holds the phrase.
struct RecordFinder {
    PhraseFinder phrase;
    FilePos recordLength;

    RecordNo In(std::string_view all, FilePos begin, FilePos end) const {
        const size_t m = phrase.Length();
        size_t p = phrase.Next(all.data(), all.size(), static_cast<size_t>(begin));
        while (p != PhraseFinder::npos) {
            FilePos record = static_cast<FilePos>(p) / recordLength;
            FilePos offset = static_cast<FilePos>(p) - record * recordLength;
            if (offset >= begin && offset + static_cast<FilePos>(m) <= end) return record;
            FilePos next = (offset < begin ? record : record + 1) * recordLength + begin;
            p = phrase.Next(all.data(), all.size(), static_cast<size_t>(next));
        }
        return -1;
    }
};

bool FileImpl::FixedLayout() const {
    return kind != Kind::Delimited;
}

RecordNo FileImpl::RecordCount() const {
    switch (kind) {
        case Kind::Fixed:
            return fixedCount;
        case Kind::Delimited:
            return std::max<RecordNo>(delimited->Counted() - headerRecords, 0);
        default:
            return 0;
    }
}

void FileImpl::MoveTo(RecordNo n) {
    ClearRecord();
    atEnd = false;
    recordNumber = n;
    if (n < 1) {
        recordNumber = 0;
        return;
    }
    if (kind == Kind::Fixed && n <= fixedCount) {
        recordStart = dataStart + (n - 1) * fixedLength;
        recordLength = std::min(fixedLength, reader.Size() - recordStart);
        return;
    }
    RecordSpan span;
    if (kind == Kind::Delimited &&
        delimited->Locate(n - 1 + headerRecords, span, owner.OnProgress)) {
        recordStart = span.start;
        recordLength = span.length;
        LoadValues();
        WidenFor(values, span.length);
    } else {
        atEnd = true;
    }
    LayoutGrew();
}

void FileImpl::LayoutGrew() {
    // Never raised from inside a move: the viewer is then composing a view.
    // It redraws when it finds RedrawPending.
    if (!grew_ || dividing_) return;
    grew_ = false;
    redrawPending = true;
}

void FileImpl::MoveLast() {
    if (kind == Kind::Delimited) {
        delimited->CountTo(INT64_MAX, owner.OnProgress);
        SaveIndex();
    }
    bool grew = grew_;
    grew_ = false;
    RecordNo count = RecordCount();
    if (count > 0) MoveTo(count);
    if ((grew || grew_) && !dividing_) {
        grew_ = false;
        if (owner.OnRecordUpdated) owner.OnRecordUpdated();
    }
}

void FileImpl::LoadRecord() const {
    if (recordLoaded) return;
    recordLoaded = true;
    FilePos take = std::min(recordLength, kMaxRecordText);
    recordBytes = reader.ReadString(recordStart, static_cast<size_t>(std::max<FilePos>(take, 0)));
    if (recordLength > kMaxRecordText && !warnedLong_) {
        warnedLong_ = true;
        RaiseError("Record " + std::to_string(recordNumber) + " is " +
                   std::to_string(recordLength) + " bytes long; only its first " +
                   std::to_string(kMaxRecordText) + " bytes are shown.");
    }
}

void FileImpl::LoadValues() const {
    if (valuesLoaded) return;
    valuesLoaded = true;
    LoadRecord();
    if (kind == Kind::Delimited) delimited->Scanner().SplitFields(recordBytes, values);
}

std::string FileImpl::RecordText() const {
    if (recordNumber < 1 || atEnd) return {};
    LoadRecord();
    return ebcdic ? ebcdic::ToLatin1Copy(recordBytes) : recordBytes;
}

std::string FileImpl::GetBytes(FilePos start, FilePos length) const {
    if (recordNumber < 1 || atEnd || length <= 0) return {};
    if (start < 1) {
        length = start + length - 1;  // cannot overflow: start is not positive
        start = 1;
    }
    FilePos offset = start - 1;
    if (length <= 0 || offset >= recordLength) return {};
    FilePos count = std::min(length, recordLength - offset);
    std::string bytes;
    if (recordLoaded || recordLength <= kWholeRecordRead) {
        LoadRecord();
        if (offset < static_cast<FilePos>(recordBytes.size()))
            bytes = recordBytes.substr(static_cast<size_t>(offset), static_cast<size_t>(count));
    } else {
        bytes = reader.ReadString(recordStart + offset,
                                  static_cast<size_t>(std::min(count, kMaxRecordText)));
    }
    if (ebcdic) ebcdic::ToLatin1(bytes);
    return bytes;
}

std::string FileImpl::FieldValue(int index) const {
    const Field* f = fields.Item(index);
    if (!f || recordNumber < 1 || atEnd) return {};
    if (kind == Kind::Delimited && !delimited->Scanner().Get().field.empty()) {
        LoadValues();
        size_t i = static_cast<size_t>(index - 1);
        return i < values.size() ? values[i] : std::string();
    }
    return GetBytes(f->StartingPosition(), f->Length());
}

RecordNo FileImpl::Find(std::string_view fieldName, std::string_view phrase, RecordNo& position) {
    int index = fields.IndexOf(fieldName);
    if (index == 0) {
        RaiseError("There is no field named \"" + std::string(fieldName) + "\" to search.");
        return 0;
    }
    std::string needle = FoldNeedle(phrase);
    RecordNo from = std::max<RecordNo>(position, 0) + 1;
    RecordNo found = 0;
    bool byIndex = kind == Kind::Delimited && !delimited->Scanner().Get().field.empty();
    if (kind == Kind::Fixed)
        found = FindFixed(index, needle, from);
    else if (kind == Kind::Delimited)
        found = FindDelimited(byIndex ? index : -index, needle, from);
    // The current record stays: a search window compares RecordNumber with
    // the result to tell a new match from none.
    if (found > 0) position = found;
    LayoutGrew();
    return found;
}

RecordNo FileImpl::FindFixed(int index, std::string_view needle, RecordNo from) {
    const Field& f = *fields.Item(index);
    const auto& fold = ebcdic ? kFoldEbcdic : kFoldLatin1;
    FilePos begin = std::clamp<FilePos>(f.StartingPosition() - 1, 0, fixedLength);
    FilePos end = std::clamp<FilePos>(f.StartingPosition() - 1 + f.Length(), begin, fixedLength);
    if (!needle.empty() && end - begin < static_cast<FilePos>(needle.size())) return 0;
    RecordFinder finder{PhraseFinder(std::string(needle), fold), fixedLength};
    auto BlankIn = [&](std::string_view all, FilePos b, FilePos e, const auto& table) -> RecordNo {
        for (FilePos at = 0; at < static_cast<FilePos>(all.size()); at += fixedLength) {
            FilePos sliceEnd = std::min<FilePos>(at + e, static_cast<FilePos>(all.size()));
            FilePos sliceBegin = std::min(at + b, sliceEnd);
            if (Holds(all.substr(static_cast<size_t>(sliceBegin),
                                 static_cast<size_t>(sliceEnd - sliceBegin)),
                      {}, table))
                return at / fixedLength;
        }
        return -1;
    };
    if (fixedLength > static_cast<FilePos>(kFindChunk))
        return FindInLongRecords(begin, end, finder, from);
    // Reads grow from small to large, so a match close by costs little.
    const RecordNo maxPerChunk = std::max<RecordNo>(
        1, static_cast<RecordNo>(kFindChunk) / std::max<FilePos>(fixedLength, 1));
    RecordNo perChunk = std::max<RecordNo>(1, maxPerChunk / 64);
    std::string chunk;
    FilePos nextReport = kProgressStep;
    for (RecordNo first = from; first <= fixedCount;
         first += perChunk, perChunk = std::min(perChunk * 2, maxPerChunk)) {
        RecordNo records = std::min(perChunk, fixedCount - first + 1);
        FilePos offset = dataStart + (first - 1) * fixedLength;
        chunk.resize(static_cast<size_t>(records * fixedLength));
        chunk.resize(reader.ReadAt(offset, chunk.data(), chunk.size()));
        std::string_view all(chunk);
        RecordNo hit = needle.empty() ? BlankIn(all, begin, end, fold) : finder.In(all, begin, end);
        if (hit >= 0) return first + hit;
        if (offset - dataStart >= nextReport) {
            nextReport += kProgressStep;
            if (owner.OnProgress && !owner.OnProgress(offset, reader.Size())) return 0;
        }
    }
    return 0;
}

RecordNo FileImpl::FindInLongRecords(FilePos begin, FilePos end, const RecordFinder& finder,
                                     RecordNo from) {
    // Records longer than a read: only each record's field is read.
    const auto& fold = ebcdic ? kFoldEbcdic : kFoldLatin1;
    FilePos width = std::min(end - begin, kMaxRecordText);
    for (RecordNo r = from; r <= fixedCount; ++r) {
        std::string slice = reader.ReadString(dataStart + (r - 1) * fixedLength + begin,
                                              static_cast<size_t>(width));
        bool hit = finder.phrase.Length() == 0
                       ? Holds(slice, {}, fold)
                       : finder.phrase.Next(slice.data(), slice.size(), 0) != PhraseFinder::npos;
        if (hit) return r;
        if (owner.OnProgress && r % 4096 == 0 && !owner.OnProgress(r, fixedCount)) return 0;
    }
    return 0;
}

RecordNo FileImpl::FindDelimited(int index, std::string_view needle, RecordNo from) {
    // A negative index asks for positions within the record text (no field
    // delimiter); a positive one for the value with that number.
    const bool byIndex = index > 0;
    const Field& f = *fields.Item(byIndex ? index : -index);
    const auto& scanner = delimited->Scanner();
    const auto& d = scanner.Get();
    bool prefilter = !needle.empty() &&
                     (d.qualifier.empty() || needle.find(d.qualifier[0]) == std::string_view::npos);
    RecordNo found = 0;
    FilePos nextReport = kProgressStep;
    std::vector<std::string> found_values;
    const FilePos size = reader.Size();
    delimited->ForEach(from - 1 + headerRecords, static_cast<size_t>(kMaxRecordText),
                       [&](RecordNo p, const RecordSpan& span, std::string_view bytes) {
                           if (span.next >= nextReport) {
                               nextReport = span.next + kProgressStep;
                               if (owner.OnProgress && !owner.OnProgress(span.next, size))
                                   return false;
                           }
                           if (prefilter && !Holds(bytes, needle, kFoldLatin1)) return true;
                           std::string_view value;
                           if (byIndex) {
                               scanner.SplitFields(bytes, found_values);
                               size_t i = static_cast<size_t>(index - 1);
                               if (i < found_values.size()) value = found_values[i];
                           } else {
                               FilePos b = std::clamp<FilePos>(f.StartingPosition() - 1, 0,
                                                               static_cast<FilePos>(bytes.size()));
                               FilePos e = std::clamp<FilePos>(b + f.Length(), b,
                                                               static_cast<FilePos>(bytes.size()));
                               value =
                                   bytes.substr(static_cast<size_t>(b), static_cast<size_t>(e - b));
                           }
                           if (!Holds(value, needle, kFoldLatin1)) return true;
                           found = p + 1 - headerRecords;
                           return false;
                       });
    return found;
}

}  // namespace velmor::data
