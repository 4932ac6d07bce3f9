// Find: the next record whose field holds a phrase, without moving the
// current record. Fixed files are searched in large reads. Delimited files
// are divided record by record only close to where the search starts;
// farther on the raw bytes are searched, and only records up to an
// occurrence are divided.
#include <algorithm>
#include <array>
#include <functional>
#include <memory>

#include "copybook/decode.h"
#include "data/convert_text.h"
#include "data/ebcdic.h"
#include "data/fileimpl.h"
#include "data/phrasefinder.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr size_t npos = std::string_view::npos;
constexpr size_t kFindChunk = size_t{1} << 20;
constexpr size_t kRawChunk = size_t{1} << 20;
constexpr FilePos kNearBytes = FilePos{64} << 10;
constexpr FilePos kProgressStep = FilePos{4} << 20;

// Case folding of single-byte text: Latin-1's letters, and for data
// written on Windows also Windows-1252's own (Š Œ Ž Ÿ), which are control
// codes in Latin-1 and so never letters of EBCDIC data.
std::array<unsigned char, 256> MakeFold(bool fromEbcdic) {
    std::array<unsigned char, 256> fold{};
    for (int i = 0; i < 256; ++i) {
        int c = fromEbcdic ? ebcdic::ToLatin1(static_cast<unsigned char>(i)) : i;
        if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) c += 0x20;
        if (!fromEbcdic && (c == 0x8A || c == 0x8C || c == 0x8E)) c += 0x10;
        if (!fromEbcdic && c == 0x9F) c = 0xFF;
        fold[static_cast<size_t>(i)] = static_cast<unsigned char>(c);
    }
    return fold;
}

const std::array<unsigned char, 256> kFoldLatin1 = MakeFold(false);
const std::array<unsigned char, 256> kFoldEbcdic = MakeFold(true);

bool IsBlank(unsigned char c) {
    return c == ' ' || c == '\t' || c == 0;
}

// True when Text (raw bytes) is blank throughout, its bytes read through Fold.
bool Blank(std::string_view text, const std::array<unsigned char, 256>& fold) {
    return std::all_of(text.begin(), text.end(),
                       [&](char c) { return IsBlank(fold[static_cast<unsigned char>(c)]); });
}

// True when Text holds the phrase; an empty phrase matches blank text.
bool Holds(std::string_view text, const PhraseFinder& phrase,
           const std::array<unsigned char, 256>& fold) {
    if (phrase.Length() == 0) return Blank(text, fold);
    return text.size() >= phrase.Length() &&
           phrase.Next(text.data(), text.size(), 0) != PhraseFinder::npos;
}

std::string FoldNeedle(std::string_view phrase) {
    std::string needle = util::Trim(phrase);
    for (char& c : needle) c = static_cast<char>(kFoldLatin1[static_cast<unsigned char>(c)]);
    return needle;
}

// A form a typed phrase may take in the data: single-byte text, folded, or
// UTF-8 text, matched with Unicode case folding.
struct Needle {
    std::string text;
    bool utf8 = false;

    PhraseFinder Finder(const std::array<unsigned char, 256>& fold) const {
        return utf8 ? PhraseFinder::Utf8(text) : PhraseFinder(text, fold);
    }
};

// A UTF-8 phrase is looked for in the file's code page (EBCDIC data holds
// nothing else) and, unless the data is EBCDIC, also as UTF-8; other text
// is taken as bytes.
std::vector<Needle> Needles(std::string_view phrase, bool ebcdic) {
    const bool ascii = std::all_of(phrase.begin(), phrase.end(),
                                   [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    if (ascii || !IsUtf8(phrase)) return {{FoldNeedle(phrase)}};
    std::string bytes;
    const bool inPage = FromUtf8(phrase, ebcdic ? CodePage::Latin1 : CodePage::Windows1252, bytes);
    if (ebcdic) return inPage ? std::vector<Needle>{{FoldNeedle(bytes)}} : std::vector<Needle>{};
    std::vector<Needle> needles;
    if (inPage) needles.push_back({FoldNeedle(bytes)});
    needles.push_back({util::Trim(phrase), true});
    return needles;
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

RecordNo FileImpl::Find(std::string_view fieldName, std::string_view phrase, RecordNo& position) {
    int index = fields.IndexOf(fieldName);
    if (index == 0) {
        RaiseError("There is no field named \"" + std::string(fieldName) + "\" to search.");
        return 0;
    }
    RecordNo from = std::max<RecordNo>(position, 0) + 1;
    RecordNo found = 0;
    bool byIndex = kind == Kind::Delimited && !delimited->Scanner().Get().field.empty();
    if (kind == Kind::Variable) {
        found = FindVariable(index, phrase, from);
        if (found > 0) position = found;
        return found;
    }
    if (kind == Kind::Fixed && fields.Item(index)->Format().IsNumber()) {
        found = FindDecoded(index, phrase, from);
        if (found > 0) position = found;
        return found;
    }
    for (const Needle& needle : Needles(phrase, ebcdic)) {
        RecordNo hit = 0;
        if (kind == Kind::Fixed)
            hit = FindFixed(index, needle.Finder(ebcdic ? kFoldEbcdic : kFoldLatin1), from);
        else if (kind == Kind::Delimited)
            hit = FindDelimited(byIndex ? index : -index, needle.Finder(kFoldLatin1), from);
        if (hit > 0 && (found == 0 || hit < found)) found = hit;
    }
    // The current record stays: a search window compares RecordNumber with
    // the result to tell a new match from none.
    if (found > 0) position = found;
    LayoutGrew();
    return found;
}

RecordNo FileImpl::FindFixed(int index, const PhraseFinder& phrase, RecordNo from) {
    const Field& f = *fields.Item(index);
    const auto& fold = ebcdic ? kFoldEbcdic : kFoldLatin1;
    FilePos begin = std::clamp<FilePos>(f.StartingPosition() - 1, 0, fixedLength);
    FilePos end = std::clamp<FilePos>(f.StartingPosition() - 1 + f.Length(), begin, fixedLength);
    if (end - begin < static_cast<FilePos>(phrase.Length())) return 0;
    RecordFinder finder{phrase, fixedLength};
    auto BlankIn = [&](std::string_view all, FilePos b, FilePos e, const auto& table) -> RecordNo {
        for (FilePos at = 0; at < static_cast<FilePos>(all.size()); at += fixedLength) {
            FilePos sliceEnd = std::min<FilePos>(at + e, static_cast<FilePos>(all.size()));
            FilePos sliceBegin = std::min(at + b, sliceEnd);
            if (Blank(all.substr(static_cast<size_t>(sliceBegin),
                                 static_cast<size_t>(sliceEnd - sliceBegin)),
                      table))
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
        RecordNo hit =
            phrase.Length() == 0 ? BlankIn(all, begin, end, fold) : finder.In(all, begin, end);
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
                       ? Blank(slice, fold)
                       : finder.phrase.Next(slice.data(), slice.size(), 0) != PhraseFinder::npos;
        if (hit) return r;
        if (owner.OnProgress && r % 4096 == 0 && !owner.OnProgress(r, fixedCount)) return 0;
    }
    return 0;
}

RecordNo FileImpl::FindDelimited(int index, const PhraseFinder& phrase, RecordNo from) {
    // A negative index asks for positions within the record text (no field
    // delimiter); a positive one for the value with that number.
    const bool byIndex = index > 0;
    const Field& f = *fields.Item(byIndex ? index : -index);
    const auto& scanner = delimited->Scanner();
    std::vector<std::string> split;
    auto holds = [&](std::string_view bytes) {
        std::string_view value;
        if (byIndex) {
            scanner.SplitFields(bytes, split);
            size_t i = static_cast<size_t>(index - 1);
            if (i < split.size()) value = split[i];
        } else {
            auto length = static_cast<FilePos>(bytes.size());
            FilePos b = std::clamp<FilePos>(f.StartingPosition() - 1, 0, length);
            FilePos e = std::clamp<FilePos>(b + f.Length(), b, length);
            value = bytes.substr(static_cast<size_t>(b), static_cast<size_t>(e - b));
        }
        return Holds(value, phrase, kFoldLatin1);
    };
    // A value holding the qualifier is written with it doubled, so such a
    // phrase (and the blank one) is looked for record by record.
    const std::string& qualifier = scanner.Get().qualifier;
    const std::string& needle = phrase.Text();
    if (needle.empty() || (!qualifier.empty() && needle.find(qualifier[0]) != npos))
        return FindDelimitedSplitting(holds, from);
    RecordNo record = from - 1 + headerRecords;  // physical, from 0
    RecordSpan span;
    if (!delimited->Locate(record, span)) return 0;
    FilePos at = span.start;
    FilePos nextReport = at + kProgressStep;
    const auto longest = static_cast<size_t>(kMaxRecordText);
    for (;;) {
        // Records close by are divided one by one, so a run of matches costs
        // one read each.
        RecordNo found = 0;
        delimited->ForEach(
            record, longest,
            [&](RecordNo p, const RecordSpan& s, std::string_view bytes) {
                record = p + 1;
                at = s.next;
                if (!Holds(bytes, phrase, kFoldLatin1) || !holds(bytes)) return true;
                found = p + 1 - headerRecords;
                return false;
            },
            at + kNearBytes);
        if (found > 0) return found;
        if (at >= reader.Size()) return 0;
        // Farther on, only the records up to a raw occurrence are divided.
        const FilePos hit = NextRaw(phrase, at, nextReport);
        if (hit < 0) return 0;
        bool moved = false;
        delimited->ForEach(record, longest,
                           [&](RecordNo p, const RecordSpan& s, std::string_view bytes) {
                               if (s.next <= hit) return true;
                               if (holds(bytes)) found = p + 1 - headerRecords;
                               moved = true;
                               record = p + 1;
                               at = s.next;
                               return false;
                           });
        if (found > 0 || !moved) return found;
    }
}

FilePos FileImpl::NextRaw(const PhraseFinder& phrase, FilePos from, FilePos& nextReport) {
    // Reads grow from small to large, so a match close by costs little.
    const size_t overlap = phrase.Length() - 1;
    const FilePos size = reader.Size();
    if (!findBuffer_) findBuffer_ = std::make_unique<char[]>(kRawChunk);
    char* buffer = findBuffer_.get();
    size_t chunk = kRawChunk / 16;
    for (FilePos at = from; at < size; chunk = std::min(chunk * 2, kRawChunk)) {
        size_t got = reader.ReadAt(
            at, buffer,
            static_cast<size_t>(std::min<FilePos>(static_cast<FilePos>(chunk), size - at)));
        if (got <= overlap) return -1;
        size_t p = phrase.Next(buffer, got, 0);
        if (p != PhraseFinder::npos) return at + static_cast<FilePos>(p);
        at += static_cast<FilePos>(got - overlap);
        if (at >= nextReport) {
            nextReport = at + kProgressStep;
            if (owner.OnProgress && !owner.OnProgress(at, size)) return -1;
        }
    }
    return -1;
}

RecordNo FileImpl::FindDelimitedSplitting(const std::function<bool(std::string_view)>& holds,
                                          RecordNo from) {
    RecordNo found = 0;
    FilePos nextReport = kProgressStep;
    const FilePos size = reader.Size();
    delimited->ForEach(from - 1 + headerRecords, static_cast<size_t>(kMaxRecordText),
                       [&](RecordNo p, const RecordSpan& span, std::string_view bytes) {
                           if (span.next >= nextReport) {
                               nextReport = span.next + kProgressStep;
                               if (owner.OnProgress && !owner.OnProgress(span.next, size))
                                   return false;
                           }
                           if (!holds(bytes)) return true;
                           found = p + 1 - headerRecords;
                           return false;
                       });
    return found;
}

}  // namespace velmor::data

namespace velmor::data {

// Variable records (RDW, BDW): record by record through the index, numbers
// compared by value as in fixed files.
RecordNo FileImpl::FindVariable(int index, std::string_view phrase, RecordNo from) {
    const Field& f = *fields.Item(index);
    const bool number = f.Format().IsNumber();
    const std::optional<std::string> wanted = number ? copybook::CanonicalNumber(phrase) : std::nullopt;
    if (number && !wanted) {
        RaiseError("\"" + std::string(phrase) + "\" is not a number; the field \"" + f.Name() +
                   "\" holds numbers.");
        return 0;
    }
    const auto& fold = ebcdic ? kFoldEbcdic : kFoldLatin1;
    std::vector<PhraseFinder> finders;
    if (!number)
        for (const Needle& needle : Needles(phrase, ebcdic)) finders.push_back(needle.Finder(fold));
    const copybook::DecodeOptions options{ebcdic ? copybook::Charset::Ebcdic : copybook::Charset::Ascii,
                                          ebcdic ? copybook::FloatFormat::Ibm : copybook::FloatFormat::Ieee};
    RecordSpan span;
    std::string value;
    FilePos nextReport = kProgressStep;
    for (RecordNo r = std::max<RecordNo>(from, 1); !finders.empty() || number; ++r) {
        if (!variable->Locate(r - 1, span, owner.OnProgress)) break;
        const FilePos begin = std::clamp<FilePos>(f.StartingPosition() - 1, 0, span.length);
        const FilePos end = std::clamp<FilePos>(begin + f.Length(), begin, span.length);
        const std::string bytes =
            reader.ReadString(span.start + begin, static_cast<size_t>(end - begin));
        if (number) {
            value.clear();
            if (copybook::Decode(f.Format(), bytes, options, value) == copybook::ValueState::Value &&
                copybook::CanonicalNumber(value) == wanted)
                return r;
        } else if (std::any_of(finders.begin(), finders.end(),
                               [&](const PhraseFinder& p) { return Holds(bytes, p, fold); })) {
            return r;
        }
        if (owner.OnProgress && span.next >= nextReport) {
            nextReport = span.next + kProgressStep;
            if (!owner.OnProgress(span.next, reader.Size())) return 0;
        }
    }
    ReportVariableDamage();
    return 0;
}

}  // namespace velmor::data
