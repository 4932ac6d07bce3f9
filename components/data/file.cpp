#include "data/file.h"

#include <exception>
#include <new>

#include "data/fileimpl.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {

// No exception leaves the engine: an unexpected one (memory running out on
// an absurd file, say) becomes an Error and the call's neutral result.
template <typename R, typename F>
R Guard(const FileImpl& impl, R fallback, F&& body) noexcept {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        impl.ReportFailure("There is not enough memory to complete the operation.");
    } catch (const std::exception& e) {
        impl.ReportFailure(std::string("The operation failed: ") + e.what());
    } catch (...) {
        impl.ReportFailure("The operation failed.");
    }
    return fallback;
}

template <typename F>
void GuardVoid(const FileImpl& impl, F&& body) noexcept {
    Guard(impl, 0, [&] {
        body();
        return 0;
    });
}

std::string Part(const std::string& path, int which) {
    std::string folder, name, extension;
    util::SplitPath(path, folder, name, extension);
    return which == 0 ? folder : which == 1 ? name : extension;
}

}  // namespace

File::File() : impl_(std::make_unique<FileImpl>(*this)) {}

File::~File() = default;

void File::SetStoreConnectionAndIndexingFilesInDataPath(const std::string& trueOrFalse) {
    impl_->storeInDataPath = util::ToBoolean(trueOrFalse);
}

void File::SetSecondaryConnectionAndIndexingPath(const std::string& folder) {
    impl_->secondaryPath = folder;
}

bool File::Loading() const {
    return impl_->loading;
}
void File::SetLoading(bool v) {
    impl_->loading = v;
}

bool File::Open(const std::string& pathAndName) {
    return Guard(*impl_, false, [&] { return impl_->Open(pathAndName); });
}
void File::CloseFile() {
    GuardVoid(*impl_, [&] { impl_->CloseFile(); });
}
bool File::Connected() const {
    return impl_->reader.IsOpen();
}
void File::LaunchConnectionWizard() {
    GuardVoid(*impl_, [&] { impl_->LaunchConnectionWizard(); });
}
void File::Refresh() {
    GuardVoid(*impl_, [&] { impl_->Refresh(); });
}

const std::string& File::PathAndName() const {
    return impl_->path;
}
std::string File::FilePath() const {
    return Part(impl_->path, 0);
}
std::string File::FileTitle() const {
    return Part(impl_->path, 1);
}
std::string File::FileExtension() const {
    return Part(impl_->path, 2);
}

std::filesystem::file_time_type File::FileDateTime() const {
    return impl_->fileTime;
}
void File::SetFileDateTime(std::filesystem::file_time_type t) {
    impl_->fileTime = t;
}
FilePos File::FileLength() const {
    return impl_->reader.Size();
}
std::string File::ConnectionPathAndName() const {
    return impl_->ConnectionPathAndName();
}
std::string File::ConversionSource() const {
    return impl_->path;
}

Connection& File::GetConnection() {
    return impl_->connection;
}
const Connection& File::GetConnection() const {
    return impl_->connection;
}
Fields& File::GetFields() {
    return impl_->fields;
}
const Fields& File::GetFields() const {
    return impl_->fields;
}
FileTypes& File::GetFileTypes() {
    return impl_->fileTypes;
}

void File::CopyConnectionTo(Connection& target) const {
    target = impl_->connection;
}
void File::CopyConnectionFrom(const Connection& source) {
    GuardVoid(*impl_, [&] { impl_->connection = source; });
}

const std::string& File::DatabaseType() const {
    return impl_->connection.DatabaseTypeName();
}
void File::SetDatabaseType(const std::string& v) {
    GuardVoid(*impl_, [&] { impl_->SetDatabaseType(v); });
}
void File::SetEstimatedRecordCount(RecordNo n) {
    impl_->estimatedRecordCount = n;
}
bool File::FixedLayout() const {
    return impl_->FixedLayout();
}
void File::SetFixedLayout(bool v) {
    impl_->fixedLayoutHint = v;
}
bool File::ShowFieldNames() const {
    return impl_->showFieldNames;
}
void File::SetShowFieldNames(bool v) {
    impl_->showFieldNames = v;
}
bool File::RedrawPending() const {
    return impl_->redrawPending;
}
void File::SetRedrawPending(bool v) {
    impl_->redrawPending = v;
}

bool File::SaveConnection(const std::string& pathAndName, bool createFormatFile) {
    return Guard(*impl_, false,
                 [&] { return impl_->SaveConnection(pathAndName, createFormatFile); });
}
bool File::CreateFormatFile() {
    return Guard(*impl_, false, [&] { return impl_->CreateFormatFile(); });
}

RecordNo File::RecordCount() const {
    return impl_->RecordCount();
}
RecordNo File::RecordNumber() const {
    return impl_->recordNumber;
}
void File::SetRecordNumber(RecordNo n) {
    GuardVoid(*impl_, [&] { impl_->MoveTo(n); });
}
void File::MoveTo(RecordNo n) {
    GuardVoid(*impl_, [&] { impl_->MoveTo(n); });
}
void File::MoveLast() {
    GuardVoid(*impl_, [&] { impl_->MoveLast(); });
}
void File::CompleteLayout() {
    GuardVoid(*impl_, [&] { impl_->CompleteLayout(); });
}
bool File::AtEnd() const {
    return impl_->atEnd;
}
std::string File::RecordText() const {
    return Guard(*impl_, std::string(), [&] { return impl_->RecordText(); });
}
bool File::RecordDeleted() const {
    return Guard(*impl_, false, [&] { return impl_->dbase && impl_->GetBytes(1, 1) == "*"; });
}
std::string File::GetBytes(FilePos start, FilePos length) const {
    return Guard(*impl_, std::string(), [&] { return impl_->GetBytes(start, length); });
}
FilePos File::RecordStartByte() const {
    return impl_->recordNumber >= 1 && !impl_->atEnd ? impl_->recordStart + 1 : 0;
}
FilePos File::BytePosition() const {
    return impl_->bytePosition;
}
void File::SetBytePosition(FilePos v) {
    impl_->bytePosition = v;
}

RecordNo File::Find(std::string_view fieldName, std::string_view phrase, RecordNo& position) {
    return Guard(*impl_, RecordNo{0}, [&] { return impl_->Find(fieldName, phrase, position); });
}

std::string File::FieldValue(int index) const {
    return Guard(*impl_, std::string(), [&] { return impl_->FieldValue(index); });
}

}  // namespace velmor::data
