#include "data/fileimpl.h"

#include <algorithm>

#include "copybook/copybook.h"
#include "data/connectionfile.h"
#include "data/detection.h"
#include "data/filetypefit.h"
#include "data/sidefiles.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           util::EqualsNoCase(text.substr(0, prefix.size()), prefix);
}

std::string ReadSmallFile(const std::string& path, bool& ok) {
    std::string text;
    ok = ReadWholeFile(path, text, size_t{64} << 20);
    return text;
}

std::string DbaseTypeName(unsigned char version) {
    switch (version) {
        case 0x04:
        case 0x63:
        case 0x8B:
        case 0x8E:
        case 0xCB:
            return "DBase IV";
        case 0x05:
            return "DBase V";
        default:
            return "DBase III";
    }
}

std::string AuxiliaryFor(int source) {
    switch (source) {
        case 1:
            return "Connection file";
        case 2:
            return "Format file";
        case 3:
            return kDbaseHeaderLayout;
        case 4:
            return "Field delimiter";
        case 5:
            return "Edited";
        default:
            return {};
    }
}

}  // namespace

FileImpl::FileImpl(File& file) : owner(file) {
    EngineDefaults defaults = GetEngineDefaults();
    storeInDataPath = defaults.sideFiles.storeInDataPath;
    secondaryPath = defaults.sideFiles.secondaryPath;
    for (const Connection& type : defaults.fileTypes) fileTypes.Add(type.Name()) = type;
    HookUp();
}

FileImpl::~FileImpl() {
    connection.SetChangeHook({});
    fields.SetChangeHook({});
    try {
        SaveIndex();
    } catch (...) {
        // Keeping the count for the next time is a convenience only.
    }
}

void FileImpl::HookUp() {
    fields.SetOwner(&owner);
    connection.SetChangeHook([this]() noexcept {
        if (dividing_) return;
        try {
            Divide();
        } catch (...) {
            dividing_ = false;
            kind = Kind::None;
            delimited.reset();
            ClearRecord();
            ReportFailure("The file cannot be divided into records with these settings.");
        }
    });
    fields.SetChangeHook([this] {
        if (dividing_) return;
        dividing_ = true;
        layoutSource_ = LayoutSource::User;
        connection.SetAuxiliaryText(AuxiliaryFor(static_cast<int>(layoutSource_)));
        if (kind == Kind::Delimited && delimited && !delimited->Scanner().Get().field.empty())
            TileDelimitedFields();
        valuesLoaded = false;
        dividing_ = false;
    });
}

void FileImpl::RaiseError(const std::string& description) const {
    bool cancel = false;
    if (owner.OnError) owner.OnError(description, cancel);
}

void FileImpl::ReportFailure(const std::string& description) const noexcept {
    try {
        RaiseError(description);
    } catch (...) {
        // The window's own handler failed while reporting: nothing more to do.
    }
}

void FileImpl::SetLayoutSource(LayoutSource source) {
    layoutSource_ = source;
    connection.SetAuxiliaryText(AuxiliaryFor(static_cast<int>(source)));
}

std::string FileImpl::ReadHead(size_t count) const {
    return reader.ReadString(0, count);
}

bool FileImpl::Open(const std::string& pathAndName) {
    std::string error;
    std::error_code ec;
    std::string full = std::filesystem::absolute(pathAndName, ec).lexically_normal().string();
    if (ec) full = pathAndName;
    // Opening the file that is open again keeps the connection in force (the
    // connection wizard does so after resetting it, to start over with the
    // file's own defaults); any other file starts from its connection file.
    const bool reopen = reader.IsOpen() && full == path;
    CloseFile();
    if (!reader.Open(full, error)) {
        RaiseError(error);
        return false;
    }
    path = full;
    fileTime = reader.ModificationTime();
    recordNumber = 0;
    bytePosition = 1;
    dividing_ = true;
    if (reopen) {
        Reopen();
    } else {
        connection.Reset();
        fields.Clear();
        showFieldNames = false;
        SetLayoutSource(LayoutSource::None);
    }
    if (!reopen && !ApplyConnectionFile()) {
        std::string folder, title, extension;
        util::SplitPath(path, folder, title, extension);
        ApplyTemplateOrDetection(extension);
        ApplyFormatFile();
    }
    if (connection.IsFixed() && !connection.IsVariable() && connection.RecordLength() <= 0 &&
        !StartsWithNoCase(connection.DatabaseTypeName(), "DBase")) {
        connection.SetRecordLength(DetectRecordLength(ReadHead(kDetectionSample), reader.Size()));
    }
    dividing_ = false;
    Divide();
    if (owner.OnConnectionEstablished) owner.OnConnectionEstablished();
    return true;
}

void FileImpl::Reopen() {
    if (connection.IsFixed() || connection.IsDelimited()) return;
    // A connection reset to its defaults names no division: the file is then
    // shown as plain fixed-length records of a detected length.
    fields.Clear();
    SetLayoutSource(LayoutSource::None);
    connection.SetIsFixed(true);
    connection.SetDatabaseTypeName("Flat ASCII");
}

void FileImpl::CloseFile() {
    SaveIndex();
    dividing_ = true;
    delimited.reset();
    variable.reset();
    reader.Close();
    path.clear();
    kind = Kind::None;
    fixedCount = 0;
    recordNumber = 0;
    atEnd = false;
    ClearRecord();
    dividing_ = false;
}

bool FileImpl::ApplyConnectionFile() {
    std::string file = ConnectionPathAndName();
    if (!util::FileExists(file)) return false;
    bool ok = false;
    std::string text = ReadSmallFile(file, ok);
    ConnectionFileContent content;
    std::string error;
    if (!ok || !ParseConnectionFile(text, content, error)) {
        if (ok)
            RaiseError("The connection file \"" + file + "\" cannot be used: " + error +
                       ". The file is opened with a detected connection instead.");
        return false;
    }
    connection = content.connection;
    showFieldNames = content.showFieldNames;
    AddFieldLines(content.fields, fields);
    SetLayoutSource(LayoutSource::ConnectionFile);
    return true;
}

void FileImpl::ApplyTemplateOrDetection(const std::string& extension) {
    const Connection* t = fileTypes.MatchExtension(extension);
    std::string head = ReadHead(kDetectionSample);
    bool dbaseTemplate = t && (StartsWithNoCase(t->Name(), "DBase") ||
                               StartsWithNoCase(t->DatabaseTypeName(), "DBase"));
    if (util::EqualsNoCase(extension, "dbf") || dbaseTemplate) {
        connection.SetIsFixed(true);
        std::string name =
            head.empty() ? "DBase III" : DbaseTypeName(static_cast<unsigned char>(head[0]));
        connection.SetDatabaseTypeName(name);
        return;
    }
    // A fixed-length type gives way to a file that is plainly delimited text.
    // So do records whose lengths chain as RDW or BDW (no text file does).
    const bool chains = copybook::ProposedRecordFormat(head, static_cast<FilePos>(head.size()) >=
                                                                 reader.Size()) !=
                        copybook::RecordFormat::Fixed;
    if (!t || (!t->IsFixed() && !t->IsDelimited()) || chains ||
        (t->IsFixed() &&
         FixedTypeContradicted(head, reader.Size(), t->RecordLength(), t->ByteOffset()))) {
        ApplyDetection(true);
        return;
    }
    connection.SetIsFixed(t->IsFixed());
    connection.SetIsDelimited(t->IsDelimited() && !t->IsFixed());
    connection.SetRecordLength(t->RecordLength());
    connection.SetByteOffset(t->ByteOffset());
    connection.SetFirstRecordContainsFieldNames(t->FirstRecordContainsFieldNames());
    connection.SetRecordDelimiterRepresentation(t->RecordDelimiterRepresentation());
    connection.SetFieldDelimiterRepresentation(t->FieldDelimiterRepresentation());
    connection.SetTextQualifierRepresentation(t->TextQualifierRepresentation());
    connection.SetDatabaseTypeName(
        t->DatabaseTypeName().empty() && t->IsFixed() ? "Flat ASCII" : t->DatabaseTypeName());
    if (!connection.IsDelimited()) return;
    // A template names the kind of file; the file's own first kilobytes
    // correct what they plainly contradict and fill what it leaves out.
    FitDelimitedSettings(connection, head, reader.Size());
}

void FileImpl::ApplyDetection(bool keepFields) {
    std::string head = ReadHead(kDetectionSample);
    Detection d = DetectConnection(head, reader.Size());
    connection.Reset();
    switch (d.kind) {
        case Detection::Kind::Dbase:
            connection.SetIsFixed(true);
            connection.SetDatabaseTypeName(DbaseTypeName(static_cast<unsigned char>(head[0])));
            break;
        case Detection::Kind::Fixed:
            connection.SetIsFixed(true);
            connection.SetDatabaseTypeName(d.ebcdic ? "Flat EBCDIC" : "Flat ASCII");
            connection.SetRecordFormat(d.recordFormat);
            connection.SetRecordLength(d.recordLength);
            break;
        case Detection::Kind::Delimited:
            connection.SetIsDelimited(true);
            connection.SetRecordDelimiterRepresentation(
                util::CharactersToRepresentation(d.recordDelimiter));
            connection.SetFieldDelimiterRepresentation(
                util::CharactersToRepresentation(d.fieldDelimiter));
            connection.SetTextQualifierRepresentation(
                util::CharactersToRepresentation(d.qualifier));
            connection.SetFirstRecordContainsFieldNames(d.header);
            connection.SetByteOffset(d.byteOffset);
            break;
    }
    if (!keepFields) {
        fields.Clear();
        SetLayoutSource(LayoutSource::None);
    }
}

void FileImpl::ApplyFormatFile() {
    std::string file = FormatPathAndName();
    if (!util::FileExists(file)) return;
    bool ok = false;
    std::string text = ReadSmallFile(file, ok);
    if (!ok) return;
    auto lines = ParseFormatFile(text);
    if (lines.empty()) return;
    fields.Clear();
    for (const auto& f : lines) fields.Add(f.name, f.length, {}, f.start);
    SetLayoutSource(LayoutSource::FormatFile);
    if (connection.IsFixed() && !StartsWithNoCase(connection.DatabaseTypeName(), "DBase") &&
        DetectLineEnd(ReadHead(kDetectionSample)).empty()) {
        connection.SetRecordLength(lines.back().start + lines.back().length - 1);
    }
}

void FileImpl::LaunchConnectionWizard() {
    if (!reader.IsOpen()) return;
    dividing_ = true;
    ApplyDetection(false);
    dividing_ = false;
    Divide();
    if (owner.OnConnectionEstablished) owner.OnConnectionEstablished();
}

void FileImpl::Refresh() {
    if (!reader.IsOpen()) return;
    Divide();
    if (owner.OnRecordUpdated) owner.OnRecordUpdated();
}

SideFileSettings FileImpl::SideFiles() const {
    return {storeInDataPath, secondaryPath};
}

std::string FileImpl::ConnectionPathAndName() const {
    return ConnectionFileFor(path, SideFiles());
}

std::string FileImpl::IndexPathAndName() const {
    return SideFilePath(path, SideFileKind::Index, SideFiles());
}

std::string FileImpl::FormatPathAndName() const {
    if (path.empty()) return {};
    std::string folder, title, extension;
    util::SplitPath(path, folder, title, extension);
    return folder + title + ".fmt";
}

bool FileImpl::SaveConnection(const std::string& target, bool createFormatFile) {
    if (!reader.IsOpen()) return false;
    const std::string own = ConnectionPathAndName();
    std::string file = target.empty() ? own : target;
    // The folder of side files may not exist yet; a folder the caller names is theirs.
    if (std::filesystem::path(file).parent_path() == std::filesystem::path(own).parent_path())
        MakeFolderFor(file);
    std::string error;
    if (!WriteFileAtomically(file, FormatConnectionFile(connection, fields, showFieldNames),
                             error)) {
        RaiseError("The connection file \"" + file + "\" cannot be written: " + error + ".");
        return false;
    }
    return createFormatFile ? CreateFormatFile() : true;
}

bool FileImpl::CreateFormatFile() {
    if (!reader.IsOpen()) return false;
    if (fields.Count() == 0) return true;
    std::string file = FormatPathAndName();
    std::string error;
    if (!WriteFileAtomically(file, FormatFormatFile(fields), error)) {
        RaiseError("The format file \"" + file + "\" cannot be written: " + error + ".");
        return false;
    }
    return true;
}

std::string FileImpl::DatabaseType() const {
    return connection.DatabaseTypeName();
}

void FileImpl::SetDatabaseType(const std::string& v) {
    connection.SetDatabaseTypeName(v);
}

void FileImpl::SaveIndex(bool replacing) {
    // Variable records keep the same index (BDW files with their blocks' ends).
    RecordIndex* index = kind == Kind::Delimited && delimited ? &delimited->Index()
                         : kind == Kind::Variable && variable ? &variable->Index()
                                                              : nullptr;
    if (!index || reader.Size() < kIndexFileThreshold) return;
    if (!index->changed || index->counted <= RecordIndex::kStride) return;
    if (replacing && kind == Kind::Variable && index->counted <= variableSample_) return;
    IndexKey key = IndexKeyOf(reader, divisionKey_);
    const std::string file = IndexPathAndName();
    if (MakeFolderFor(file) && SaveRecordIndex(file, key, *index)) index->changed = false;
}

}  // namespace velmor::data
