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
    return file_.GetConnection().RecordLength();
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
    return {f->Name(), f->StartingPosition(), f->Length(), f->Format().IsNumber()};
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
