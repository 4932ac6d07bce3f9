#include "data/connection.h"

namespace velmor::data {

Connection::Connection(const Connection& other)
    : isFixed_(other.isFixed_),
      isDelimited_(other.isDelimited_),
      firstRecordContainsFieldNames_(other.firstRecordContainsFieldNames_),
      recordLength_(other.recordLength_),
      byteOffset_(other.byteOffset_),
      recordDelimiter_(other.recordDelimiter_),
      fieldDelimiter_(other.fieldDelimiter_),
      textQualifier_(other.textQualifier_),
      recordFormat_(other.recordFormat_),
      databaseTypeName_(other.databaseTypeName_),
      auxiliaryText_(other.auxiliaryText_),
      name_(other.name_),
      extensions_(other.extensions_) {}

Connection& Connection::operator=(const Connection& other) {
    if (this == &other) return *this;
    // Copying the settings already in force changes nothing, so the owning
    // file is not divided again.
    const bool same = SameSettings(other);
    isFixed_ = other.isFixed_;
    isDelimited_ = other.isDelimited_;
    firstRecordContainsFieldNames_ = other.firstRecordContainsFieldNames_;
    recordLength_ = other.recordLength_;
    byteOffset_ = other.byteOffset_;
    recordDelimiter_ = other.recordDelimiter_;
    fieldDelimiter_ = other.fieldDelimiter_;
    textQualifier_ = other.textQualifier_;
    recordFormat_ = other.recordFormat_;
    databaseTypeName_ = other.databaseTypeName_;
    auxiliaryText_ = other.auxiliaryText_;
    name_ = other.name_;
    extensions_ = other.extensions_;
    if (!same) Changed();
    return *this;
}

// Every setter reports only real changes, so that re-typing the same value in
// a window never makes the owning file re-divide itself.
template <typename T>
static bool Assign(T& member, const T& value) {
    if (member == value) return false;
    member = value;
    return true;
}

void Connection::SetIsFixed(bool v) {
    if (Assign(isFixed_, v)) Changed();
}
void Connection::SetIsDelimited(bool v) {
    if (Assign(isDelimited_, v)) Changed();
}
void Connection::SetFirstRecordContainsFieldNames(bool v) {
    if (Assign(firstRecordContainsFieldNames_, v)) Changed();
}
void Connection::SetRecordLength(FilePos v) {
    if (Assign(recordLength_, v)) Changed();
}
void Connection::SetByteOffset(FilePos v) {
    if (Assign(byteOffset_, v)) Changed();
}
void Connection::SetRecordDelimiterRepresentation(const std::string& v) {
    if (Assign(recordDelimiter_, v)) Changed();
}
void Connection::SetFieldDelimiterRepresentation(const std::string& v) {
    if (Assign(fieldDelimiter_, v)) Changed();
}
void Connection::SetTextQualifierRepresentation(const std::string& v) {
    if (Assign(textQualifier_, v)) Changed();
}
void Connection::SetRecordFormat(copybook::RecordFormat v) {
    if (Assign(recordFormat_, v)) Changed();
}
void Connection::SetDatabaseTypeName(const std::string& v) {
    if (Assign(databaseTypeName_, v)) Changed();
}
void Connection::SetAuxiliaryText(const std::string& v) {
    auxiliaryText_ = v;
}

void Connection::Reset() {
    Connection defaults;
    defaults.name_ = name_;
    defaults.extensions_ = extensions_;
    *this = defaults;
}

bool Connection::SameSettings(const Connection& other) const {
    return isFixed_ == other.isFixed_ && isDelimited_ == other.isDelimited_ &&
           firstRecordContainsFieldNames_ == other.firstRecordContainsFieldNames_ &&
           recordLength_ == other.recordLength_ && byteOffset_ == other.byteOffset_ &&
           recordDelimiter_ == other.recordDelimiter_ && fieldDelimiter_ == other.fieldDelimiter_ &&
           textQualifier_ == other.textQualifier_ && recordFormat_ == other.recordFormat_ &&
           databaseTypeName_ == other.databaseTypeName_;
}

void Connection::Changed() {
    if (changed_) changed_();
}

}  // namespace velmor::data
