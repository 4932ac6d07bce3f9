#include "viewer/recordsource.h"

#include "data/file.h"

namespace velmor::viewer {

bool EngineRecordSource::AtEnd() const {
    return file_.AtEnd();
}
qint64 EngineRecordSource::RecordCount() const {
    return file_.RecordCount();
}
bool EngineRecordSource::FixedLayout() const {
    return file_.FixedLayout();
}
bool EngineRecordSource::IsFixed() const {
    return file_.GetConnection().IsFixed();
}
bool EngineRecordSource::IsDelimited() const {
    return file_.GetConnection().IsDelimited();
}
qint64 EngineRecordSource::RecordLength() const {
    const qint64 bytes = RecordBytes();
    return columns_.Identity() ? bytes : columns_.Columns(bytes);
}
qint64 EngineRecordSource::RecordBytes() const {
    return file_.GetConnection().RecordLength();
}

void EngineRecordSource::Settle(qint64* column) {
    ColumnMap map;
    const data::Fields& fields = file_.GetFields();
    if (file_.ShowFieldNames() && IsFixed()) {
        std::vector<MappedField> mapped;
        mapped.reserve(static_cast<size_t>(fields.Count()));
        for (int i = 1; i <= fields.Count(); ++i) {
            const data::Field* f = fields.Item(i);
            const bool number = f->Format().IsNumber();
            mapped.push_back({f->StartingPosition(), f->Length(),
                              number ? ColumnWidth(f->Format(), f->Length()) : f->Length(), number});
        }
        map = ColumnMap(mapped);
    }
    if (map == columns_) return;
    const qint64 byte = columns_.ByteOfColumn(file_.BytePosition());
    const qint64 asked = column ? columns_.ByteOfColumn(*column) : 0;
    columns_ = std::move(map);
    file_.SetBytePosition(columns_.ColumnOfByte(byte));
    if (column) *column = columns_.ColumnOfByte(asked);
}
bool EngineRecordSource::ShowFieldNames() const {
    return file_.ShowFieldNames();
}
int EngineRecordSource::FieldCount() const {
    return file_.GetFields().Count();
}

FieldLayout EngineRecordSource::Field(int index) const {
    const data::Field* f = file_.GetFields().Item(index);
    if (!f) return {};
    FieldLayout layout{f->Name(), f->StartingPosition(), f->Length(), f->Format().IsNumber()};
    if (!columns_.Identity() && layout.length > 0) {
        layout.start = columns_.ColumnOfByte(f->StartingPosition());
        layout.length = columns_.LastColumnOfByte(f->EndingPosition()) - layout.start + 1;
    }
    return layout;
}

std::string EngineRecordSource::FieldValue(int index) const {
    return file_.FieldValue(index);
}
void EngineRecordSource::SetLoading(bool loading) {
    file_.SetLoading(loading);
}
void EngineRecordSource::DoMoveTo(qint64 record) {
    file_.MoveTo(record);
}

std::string EngineRecordSource::DoGetBytes(qint64 start, qint64 length) {
    return file_.GetBytes(start, length);
}

std::string EngineRecordSource::DoRecordText() {
    return file_.RecordText();
}

std::string LayoutStamp(const RecordSource& source) {
    std::string stamp = std::to_string(source.RecordLength());
    stamp += source.IsFixed() ? 'F' : source.IsDelimited() ? 'D' : '-';
    stamp += source.ShowFieldNames() ? 'N' : 'B';
    for (int i = 1; i <= source.FieldCount(); ++i) {
        const FieldLayout f = source.Field(i);
        stamp += '|' + std::to_string(f.start) + ',' + std::to_string(f.length) + ',' + f.name;
    }
    return stamp;
}

}  // namespace velmor::viewer
