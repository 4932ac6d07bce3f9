// Writes a data file of another type from a source read through its own
// connection: delimited, fixed (CR LF records) or dBase III (".dbf").
#pragma once

#include <string>

#include "data/filetypes.h"
#include "data/types.h"

namespace velmor::data {

class Converter {
public:
    /// Starts with the engine's defaults (connection folders, file types).
    Converter();

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
    /// Records a dBase source marks deleted are written to a target that is
    /// not dBase too (a dBase target always keeps them, marked).
    bool KeepDeletedRecords() const { return keepDeleted_; }
    void SetKeepDeletedRecords(bool v) { keepDeleted_ = v; }
    /// The source's layout as a connection file's text, used instead of the
    /// connection the source would be opened with; "" reads the source
    /// through its own. A script sets it line by line (AddSourceConnectionLine),
    /// so that it repeats a conversion wherever the data has moved.
    const std::string& SourceConnection() const { return sourceConnection_; }
    void SetSourceConnection(const std::string& v) { sourceConnection_ = v; }
    void AddSourceConnectionLine(const std::string& line) { sourceConnection_ += line + "\r\n"; }

    // The same options and templates the viewer hands its File, so that the
    // source is read through the very connection the viewer uses (a
    // connection file kept in the secondary folder, a profile's settings).
    void SetStoreConnectionAndIndexingFilesInDataPath(const std::string& trueOrFalse) {
        storeInDataPath_ = trueOrFalse;
    }
    void SetSecondaryConnectionAndIndexingPath(const std::string& folder) {
        secondaryPath_ = folder;
    }
    /// Templates consulted when the source has no connection file of its own.
    FileTypes& GetFileTypes() { return fileTypes_; }
    const FileTypes& GetFileTypes() const { return fileTypes_; }
    const std::string& StoreConnectionAndIndexingFilesInDataPath() const {
        return storeInDataPath_;
    }
    const std::string& SecondaryConnectionAndIndexingPath() const { return secondaryPath_; }

    /// Converts Source into Target. Refuses to overwrite the source; writes a
    /// temporary file renamed at the end. False (after OnError) on failure.
    /// A delimited or fixed target also gets its own connection file (and a
    /// fixed one its format file) so it opens divided as it was written.
    bool Convert(const std::string& source, const std::string& target);

private:
    bool isFixed_ = false;
    bool isDelimited_ = false;
    bool firstRecordContainsFieldNames_ = false;
    bool keepDeleted_ = false;
    std::string recordDelimiter_;
    std::string fieldDelimiter_;
    std::string textQualifier_;
    std::string sourceConnection_;
    std::string storeInDataPath_;
    std::string secondaryPath_;
    FileTypes fileTypes_;
};

}  // namespace velmor::data
