// The working part of File: the open data file, its division into records,
// the current record and the events. Kept out of the public header.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "data/datareader.h"
#include "data/dbaseheader.h"
#include "data/delimitedrecords.h"
#include "data/file.h"
#include "data/sidefiles.h"
#include "data/variablerecords.h"

namespace velmor::data {

struct RecordFinder;
class PhraseFinder;

class FileImpl {
public:
    explicit FileImpl(File& owner);
    ~FileImpl();

    // ---- opening, closing, division (fileimpl.cpp) ----
    bool Open(const std::string& path);
    void CloseFile();
    void LaunchConnectionWizard();
    void Refresh();
    std::string ConnectionPathAndName() const;
    std::string IndexPathAndName() const;
    std::string FormatPathAndName() const;
    bool SaveConnection(const std::string& path, bool createFormatFile);
    bool CreateFormatFile();
    std::string DatabaseType() const;
    void SetDatabaseType(const std::string& v);

    // ---- records (filerecords.cpp) ----
    RecordNo RecordCount() const;
    void MoveTo(RecordNo n);
    void MoveLast();
    // ---- a detected layout gains what counting finds (filevalues.cpp) ----
    void CompleteLayout();
    void FollowCountedValues();
    void AddCountedFields(std::int64_t most);
    std::string RecordText() const;
    std::string GetBytes(FilePos start, FilePos length) const;
    std::string FieldValue(int index) const;
    RecordNo Find(std::string_view fieldName, std::string_view phrase, RecordNo& position);
    bool FixedLayout() const;

    /// Reports a failure that is not the data's fault; never throws.
    void ReportFailure(const std::string& description) const noexcept;

    File& owner;
    bool storeInDataPath = true;
    std::string secondaryPath;
    bool loading = false;
    bool showFieldNames = false;
    bool redrawPending = false;
    RecordNo estimatedRecordCount = 0;
    bool fixedLayoutHint = false;
    std::string path;
    std::filesystem::file_time_type fileTime{};
    FilePos bytePosition = 1;
    RecordNo recordNumber = 0;
    bool atEnd = false;

    Connection connection;
    Fields fields;
    FileTypes fileTypes;
    DataReader reader;

    enum class Kind { None, Fixed, Delimited, Variable };
    Kind kind = Kind::None;
    bool ebcdic = false;
    bool dbase = false;
    RecordNo fixedCount = 0;  ///< fixed files: records after the offset
    FilePos fixedLength = 0;
    FilePos dataStart = 0;
    RecordNo headerRecords = 0;  ///< delimited: 1 when the first record holds names
    std::unique_ptr<DelimitedRecords> delimited;
    std::unique_ptr<VariableRecords> variable;  ///< RDW and BDW files

    // Current record (kept raw; EBCDIC is translated when handed out).
    FilePos recordStart = 0;
    FilePos recordLength = 0;
    mutable bool recordLoaded = false;
    mutable std::string recordBytes;
    mutable bool valuesLoaded = false;
    mutable std::vector<std::string> values;

private:
    void RaiseError(const std::string& description) const;
    void Divide();
    bool DivideDbase(bool takeFields);
    bool DivideDelimited();
    void DivideFixed();
    void DivideVariable();  // filevariable.cpp
    /// Tells the user once per division where a variable file's records end early.
    void ReportVariableDamage();
    RecordNo FindVariable(int field, std::string_view phrase, RecordNo from);
    void SampleDelimited();
    void WidenFor(const std::vector<std::string>& recordValues, FilePos rawLength);
    void TileDelimitedFields();
    void LayoutGrew();
    void ClearRecord();
    void LoadRecord() const;
    void LoadValues() const;
    /// Replacing: the division is being replaced; a variable division that
    /// counted no further than its own opening sample then leaves the
    /// stored index (another division's, maybe the one chosen next) alone.
    void SaveIndex(bool replacing = false);
    bool ApplyConnectionFile();
    void Reopen();
    void ApplyTemplateOrDetection(const std::string& extension);
    void ApplyDetection(bool keepFields);
    void ApplyFormatFile();
    std::string ReadHead(size_t count) const;
    SideFileSettings SideFiles() const;
    void HookUp();
    RecordNo FindFixed(int field, const PhraseFinder& phrase, RecordNo from);
    /// Typed fields: the next record whose decoded value equals the number Phrase.
    RecordNo FindDecoded(int field, std::string_view phrase, RecordNo from);
    RecordNo FindInLongRecords(FilePos begin, FilePos end, const RecordFinder& finder,
                               RecordNo from);
    RecordNo FindDelimited(int field, const PhraseFinder& phrase, RecordNo from);
    RecordNo FindDelimitedSplitting(const std::function<bool(std::string_view)>& holds,
                                    RecordNo from);
    /// File offset of the next raw occurrence of Phrase at or after From; -1
    /// when none (or when the user cancels).
    FilePos NextRaw(const PhraseFinder& phrase, FilePos from, FilePos& nextReport);

    enum class LayoutSource { None, ConnectionFile, FormatFile, Dbase, Derived, User };
    void SetLayoutSource(LayoutSource source);
    void SetLayout(const std::vector<std::string>& names, const std::vector<FilePos>& widths);

    LayoutSource layoutSource_ = LayoutSource::None;
    bool sampling_ = false;
    bool dividing_ = false;  ///< suppresses the change hooks while the engine edits
    bool grew_ = false;
    bool untallied_ = false;  ///< the index loaded was counted without the values
    mutable bool warnedLong_ = false;
    bool indexChanged_ = false;
    bool damageReported_ = false;
    RecordNo variableSample_ = 0;  ///< records the variable division counted itself
    std::string divisionKey_;
    std::unique_ptr<char[]> findBuffer_;  ///< reused by every Find
};

/// Longest record text handed out; longer records are cut with one warning.
inline constexpr FilePos kMaxRecordText = FilePos{16} << 20;
/// Fields a delimited layout gains from the values it meets, at most.
inline constexpr size_t kMaxDerivedFields = 4096;
/// Delimited files of at least this size keep their index in an indexing file.
inline constexpr FilePos kIndexFileThreshold = FilePos{1} << 20;

}  // namespace velmor::data
