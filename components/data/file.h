// One open data file: its connection (record division), field layout,
// current record, search and the engine's events. Never throws; every
// failure is reported through OnError and leaves the object usable.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "data/connection.h"
#include "data/fields.h"
#include "data/filetypes.h"
#include "data/types.h"

namespace velmor::data {

class FileImpl;

class File {
public:
    File();
    ~File();
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    // ---- events (all raised on the caller's thread, during the call) ----
    ErrorHandler OnError;
    std::function<void()> OnConnectionEstablished;
    /// The current record changed inside the engine (not through MoveTo).
    /// The engine itself never moves on its own at present.
    std::function<void(RecordNo& record)> OnRecordNumberChanged;
    /// Layout or widths grew (e.g. counting met a longer record): redraw.
    /// Raised by MoveLast and Refresh; a MoveTo (called while a window
    /// composes its view) sets RedrawPending instead.
    std::function<void()> OnRecordUpdated;
    /// Progress of counting (MoveLast, MoveTo far ahead); false cancels.
    ProgressHandler OnProgress;

    // ---- options handed over before Open ----
    void SetStoreConnectionAndIndexingFilesInDataPath(const std::string& trueOrFalse);
    void SetSecondaryConnectionAndIndexingPath(const std::string& folder);
    bool Loading() const;
    void SetLoading(bool v);

    // ---- opening and closing ----
    /// Opens the file: connection file, else format file, else matching
    /// file type, else detection. Raises OnConnectionEstablished. Never
    /// reads the whole file. Opening the file that is already open keeps
    /// the connection in force; a connection just Reset then becomes fixed
    /// records of a detected length ("Flat ASCII", no fields).
    bool Open(const std::string& pathAndName);
    void CloseFile();
    bool Connected() const;
    /// Detects the record division from the file's first kilobytes and
    /// applies it; raises OnConnectionEstablished.
    void LaunchConnectionWizard();
    /// Re-reads the layout-dependent state (e.g. after the format file
    /// changed) and redraws.
    void Refresh();

    // ---- names ----
    const std::string& PathAndName() const;
    std::string FilePath() const;       ///< folder, ending with the separator
    std::string FileTitle() const;      ///< name without folder and extension
    std::string FileExtension() const;  ///< without the dot
    std::filesystem::file_time_type FileDateTime() const;
    void SetFileDateTime(std::filesystem::file_time_type t);
    FilePos FileLength() const;
    /// Where this file's connection file lives; "" when no file is open.
    std::string ConnectionPathAndName() const;
    /// The open file as a conversion source.
    std::string ConversionSource() const;

    // ---- connection and layout ----
    Connection& GetConnection();
    const Connection& GetConnection() const;
    Fields& GetFields();
    const Fields& GetFields() const;
    FileTypes& GetFileTypes();
    void CopyConnectionTo(Connection& target) const;
    void CopyConnectionFrom(const Connection& source);
    const std::string& DatabaseType() const;
    void SetDatabaseType(const std::string& v);
    void SetEstimatedRecordCount(RecordNo n);
    bool FixedLayout() const;
    void SetFixedLayout(bool v);
    bool ShowFieldNames() const;
    void SetShowFieldNames(bool v);
    bool RedrawPending() const;
    void SetRedrawPending(bool v);

    /// Writes the connection file ("" = ConnectionPathAndName()), and the
    /// format file ".fmt" beside the data file when CreateFormatFile.
    bool SaveConnection(const std::string& pathAndName, bool createFormatFile);
    /// Writes only the format file beside the data file.
    bool CreateFormatFile();

    // ---- records ----
    /// Records counted so far (exact when FixedLayout()); excludes a record
    /// holding the field names.
    RecordNo RecordCount() const;
    RecordNo RecordNumber() const;
    void SetRecordNumber(RecordNo n);
    /// Makes record N current; counts a delimited file further when needed.
    /// Past the last record AtEnd() becomes true and the record is empty;
    /// below 1 there is no current record (RecordNumber 0).
    void MoveTo(RecordNo n);
    /// Counts to the end (progress, cancel) and makes the last record current.
    void MoveLast();
    /// Counts a delimited file whose layout was detected (never a saved one)
    /// to its end, so that the fields of records past the sample join the
    /// layout; the current record stays. Nothing for any other layout.
    void CompleteLayout();
    bool AtEnd() const;
    /// Raw bytes of the current record, without its record delimiter.
    std::string RecordText() const;
    /// True when the current record is one a dBase table marks deleted.
    bool RecordDeleted() const;
    /// Length bytes of the current record from byte Start (1-based) on; fewer
    /// at the record's end.
    std::string GetBytes(FilePos start, FilePos length) const;
    /// 1-based file position of the current record's first byte.
    FilePos RecordStartByte() const;
    FilePos BytePosition() const;
    void SetBytePosition(FilePos v);

    /// Next record after Position whose field FieldName contains Phrase
    /// (case and surrounding blanks ignored). Returns that record (also
    /// stored in Position), 0 when none; the current record does not move.
    RecordNo Find(std::string_view fieldName, std::string_view phrase, RecordNo& position);

    /// Value of field Index (1-based) in the current record.
    std::string FieldValue(int index) const;

private:
    std::unique_ptr<FileImpl> impl_;
};

}  // namespace velmor::data
