// How a data file is cut into records: fixed length with a byte offset, or
// record delimiter / field delimiter / text qualifier as representation texts.
#pragma once

#include <functional>
#include <string>

#include "copybook/recordformat.h"
#include "data/types.h"

namespace velmor::data {

/// The AuxiliaryText of a dBase table shown with its own header's fields.
inline constexpr const char* kDbaseHeaderLayout = "dBase header";

class Connection {
public:
    Connection() = default;
    Connection(const Connection& other);
    Connection& operator=(const Connection& other);  // copies settings, not the change hook

    bool IsFixed() const { return isFixed_; }
    void SetIsFixed(bool v);
    bool IsDelimited() const { return isDelimited_; }
    void SetIsDelimited(bool v);
    bool FirstRecordContainsFieldNames() const { return firstRecordContainsFieldNames_; }
    void SetFirstRecordContainsFieldNames(bool v);
    /// Bytes per record (fixed records). 0 or less: the division is not set.
    FilePos RecordLength() const { return recordLength_; }
    void SetRecordLength(FilePos v);
    /// Bytes before the first record.
    FilePos ByteOffset() const { return byteOffset_; }
    void SetByteOffset(FilePos v);
    const std::string& RecordDelimiterRepresentation() const { return recordDelimiter_; }
    void SetRecordDelimiterRepresentation(const std::string& v);
    const std::string& FieldDelimiterRepresentation() const { return fieldDelimiter_; }
    void SetFieldDelimiterRepresentation(const std::string& v);
    const std::string& TextQualifierRepresentation() const { return textQualifier_; }
    void SetTextQualifierRepresentation(const std::string& v);
    /// Fixed records: fixed length (RecordLength) or variable with a record
    /// descriptor word (RDW, little-endian RDW, or blocked with BDW), whose
    /// RecordLength is then the longest record met.
    copybook::RecordFormat RecordFormat() const { return recordFormat_; }
    void SetRecordFormat(copybook::RecordFormat v);
    bool IsVariable() const { return isFixed_ && recordFormat_ != copybook::RecordFormat::Fixed; }

    /// Database type as the wizard names it ("Flat ASCII", "Flat EBCDIC",
    /// "DBase III", ...).
    const std::string& DatabaseTypeName() const { return databaseTypeName_; }
    void SetDatabaseTypeName(const std::string& v);
    /// Non-empty when the layout came from a source other than the first
    /// record's text (a connection file, a format file, a dBase header).
    const std::string& AuxiliaryText() const { return auxiliaryText_; }
    void SetAuxiliaryText(const std::string& v);

    /// File-type templates only: the profile name and extension patterns.
    const std::string& Name() const { return name_; }
    void SetName(const std::string& v) { name_ = v; }
    const std::string& Extensions() const { return extensions_; }
    void SetExtensions(const std::string& v) { extensions_ = v; }

    /// All settings back to their defaults (neither fixed nor delimited).
    void Reset();

    bool SameSettings(const Connection& other) const;

    /// Called after every change of a setting; the owning File uses it to
    /// re-divide the file. Not copied.
    void SetChangeHook(std::function<void()> hook) { changed_ = std::move(hook); }

private:
    void Changed();

    bool isFixed_ = false;
    bool isDelimited_ = false;
    bool firstRecordContainsFieldNames_ = false;
    FilePos recordLength_ = 0;
    FilePos byteOffset_ = 0;
    std::string recordDelimiter_;
    std::string fieldDelimiter_;
    std::string textQualifier_;
    copybook::RecordFormat recordFormat_ = copybook::RecordFormat::Fixed;
    std::string databaseTypeName_;
    std::string auxiliaryText_;
    std::string name_;
    std::string extensions_;
    std::function<void()> changed_;
};

}  // namespace velmor::data
