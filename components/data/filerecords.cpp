// The current record: moving, reading bytes and values.
#include <algorithm>

#include "copybook/decode.h"
#include "data/ebcdic.h"
#include "data/fileimpl.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

constexpr FilePos kWholeRecordRead = FilePos{64} << 10;

}  // namespace

bool FileImpl::FixedLayout() const {
    // Variable records are counted as they are met, as delimited ones are.
    return kind != Kind::Delimited && kind != Kind::Variable;
}

RecordNo FileImpl::RecordCount() const {
    switch (kind) {
        case Kind::Fixed:
            return fixedCount;
        case Kind::Delimited:
            return std::max<RecordNo>(delimited->Counted() - headerRecords, 0);
        case Kind::Variable:
            return variable->Counted();
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
    if (kind == Kind::Variable) {
        const bool found = variable->Locate(n - 1, span, owner.OnProgress);
        if (found) {
            recordStart = span.start;
            recordLength = span.length;
        }
        atEnd = !found;
        ReportVariableDamage();
        LayoutGrew();
        return;
    }
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
    if (kind == Kind::Variable) {
        variable->CountTo(INT64_MAX, owner.OnProgress);
        SaveIndex();
        ReportVariableDamage();
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
    // Values past the layout (and past what it may gain) are never asked for.
    if (kind == Kind::Delimited)
        delimited->Scanner().SplitFields(
            recordBytes, values,
            std::max(static_cast<size_t>(std::max(fields.Count(), 0)), kMaxDerivedFields));
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
    std::string bytes = GetBytes(f->StartingPosition(), f->Length());
    if (!f->Format().IsNumber()) return bytes;
    // Numbers are decoded from the bytes on disk; code page 037 maps every
    // byte to one Latin-1 byte, so the translation is undone exactly.
    if (ebcdic)
        for (char& c : bytes) c = static_cast<char>(ebcdic::FromLatin1(static_cast<unsigned char>(c)));
    std::string value;
    const copybook::DecodeOptions options{ebcdic ? copybook::Charset::Ebcdic : copybook::Charset::Ascii,
                                          ebcdic ? copybook::FloatFormat::Ibm : copybook::FloatFormat::Ieee};
    copybook::Decode(f->Format(), bytes, options, value);
    return value;
}

}  // namespace velmor::data
