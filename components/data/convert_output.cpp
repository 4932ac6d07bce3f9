#include "data/convert_output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace velmor::data {

namespace {

// Large enough that writes cost one system call per megabyte, small enough
// to stay far below any memory limit.
constexpr std::size_t kBufferSize = 1 << 20;

}  // namespace

StagedOutput::StagedOutput(std::string target) : target_(std::move(target)), file_(target_) {}

StagedOutput::~StagedOutput() {
    Abort();
}

bool StagedOutput::Fail(const std::string& what, int errorNumber) {
    if (error_.empty()) {
        error_ = what + " \"" + target_ + "\": " + std::strerror(errorNumber) + ".";
    }
    return false;
}

// The safe writer refuses read-only and odd targets, follows links, keeps
// hard links and owner, and removes the temporary file on a signal.
bool StagedOutput::Create() {
    if (target_.empty()) return Fail("No name was given for the file to write", EINVAL);
    if (!file_.Open()) {
        error_ = file_.Error();
        return false;
    }
    fd_ = file_.Descriptor();
    buffer_.reserve(kBufferSize);
    return true;
}

void StagedOutput::StartWriteback(FilePos offset, FilePos bytes) const {
#if defined(__linux__)
    // Only starts the disk writes, without waiting: the final sync then has
    // little left to do, and memory does not fill with dirty pages.
    if (fd_ >= 0) {
        ::sync_file_range(fd_, static_cast<off_t>(offset), static_cast<off_t>(bytes),
                          SYNC_FILE_RANGE_WRITE);
    }
#else
    (void)offset;
    (void)bytes;
#endif
}

bool StagedOutput::WriteAll(const char* data, std::size_t size) {
    if (written_ - writebackFrom_ >= kWritebackStep) {
        StartWriteback(writebackFrom_, written_ - writebackFrom_);
        writebackFrom_ = written_;
    }
    while (size > 0) {
        ssize_t n = ::write(fd_, data, size);
        if (n < 0) {
            if (errno == EINTR) continue;
            return Fail("Cannot write", errno);
        }
        if (n == 0) return Fail("Cannot write", ENOSPC);
        data += n;
        size -= static_cast<std::size_t>(n);
        written_ += n;
    }
    return true;
}

bool StagedOutput::Flush() {
    if (buffer_.empty()) return error_.empty();
    bool ok = WriteAll(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool StagedOutput::Write(std::string_view bytes) {
    if (fd_ < 0 || !error_.empty()) return false;
    if (buffer_.size() + bytes.size() > kBufferSize) {
        if (!Flush()) return false;
        if (bytes.size() >= kBufferSize) return WriteAll(bytes.data(), bytes.size());
    }
    buffer_.append(bytes);
    return true;
}

bool StagedOutput::WriteAt(FilePos offset, std::string_view bytes) {
    if (fd_ < 0 || !Flush()) return false;
    std::string error;
    if (WriteRangeAt(offset, bytes, error)) return true;
    if (error_.empty()) error_ = error;
    return false;
}

bool StagedOutput::WriteRangeAt(FilePos offset, std::string_view bytes, std::string& error) const {
    if (fd_ < 0) return false;
    std::size_t done = 0;
    while (done < bytes.size()) {
        ssize_t n = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                             static_cast<off_t>(offset + static_cast<FilePos>(done)));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error =
                "Cannot write \"" + target_ + "\": " + std::strerror(n < 0 ? errno : ENOSPC) + ".";
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool StagedOutput::ContinueAt(FilePos end) {
    if (fd_ < 0 || !Flush()) return false;
    if (::lseek(fd_, static_cast<off_t>(end), SEEK_SET) < 0) return Fail("Cannot write", errno);
    written_ = end;
    writebackFrom_ = end;
    return true;
}

bool StagedOutput::Restart() {
    if (fd_ < 0 || !error_.empty()) return false;
    buffer_.clear();
    // Truncating also drops the pages not yet on the disk.
    if (::ftruncate(fd_, 0) != 0) return Fail("Cannot write", errno);
    return ContinueAt(0);
}

bool StagedOutput::Commit() {
    if (fd_ < 0 || !Flush()) return false;
    fd_ = -1;
    if (file_.Commit()) return true;
    if (error_.empty()) error_ = file_.Error();
    return false;
}

void StagedOutput::Abort() {
    fd_ = -1;
    file_.Abort();
    buffer_.clear();
}

const std::string& StagedOutput::TemporaryPath() const {
    return file_.TemporaryPath();
}

}  // namespace velmor::data
