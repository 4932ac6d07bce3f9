// Writes a data file of another type from a source read through its own
// connection: delimited, fixed (CR LF records) or dBase III (".dbf").
#pragma once

#include <string>

#include "data/types.h"

namespace velmor::data {

class Converter {
public:
    ErrorHandler OnError;
    ProgressHandler OnProgress;

    bool IsFixed() const { return isFixed_; }
    void SetIsFixed(bool v) { isFixed_ = v; }
    bool IsDelimited() const { return isDelimited_; }
    void SetIsDelimited(bool v) { isDelimited_ = v; }
    bool FirstRecordContainsFieldNames() const { return firstRecordContainsFieldNames_; }
    void SetFirstRecordContainsFieldNames(bool v) { firstRecordContainsFieldNames_ = v; }
    const std::string& RecordDelimiterRepresentation() const { return recordDelimiter_; }
    void SetRecordDelimiterRepresentation(const std::string& v) { recordDelimiter_ = v; }
    const std::string& FieldDelimiterRepresentation() const { return fieldDelimiter_; }
    void SetFieldDelimiterRepresentation(const std::string& v) { fieldDelimiter_ = v; }
    const std::string& TextQualifierRepresentation() const { return textQualifier_; }
    void SetTextQualifierRepresentation(const std::string& v) { textQualifier_ = v; }

    /// Converts Source into Target. Refuses to overwrite the source; writes a
    /// temporary file renamed at the end. False (after OnError) on failure.
    bool Convert(const std::string& source, const std::string& target);

private:
    bool isFixed_ = false;
    bool isDelimited_ = false;
    bool firstRecordContainsFieldNames_ = false;
    std::string recordDelimiter_;
    std::string fieldDelimiter_;
    std::string textQualifier_;
};

}  // namespace velmor::data
