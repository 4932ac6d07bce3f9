// A file written under a temporary name beside its final name and renamed
// over it only once complete, so a failed or cancelled write never leaves a
// half-written target nor disturbs an older one.
#pragma once

#include <string>
#include <string_view>

#include "data/types.h"
#include "util/safewrite.h"

namespace velmor::data {

class StagedOutput {
public:
    explicit StagedOutput(std::string target);
    ~StagedOutput();
    StagedOutput(const StagedOutput&) = delete;
    StagedOutput& operator=(const StagedOutput&) = delete;

    /// Creates the temporary file in the real target's folder; refuses a
    /// read-only target or one that is not a regular file.
    bool Create();
    /// Buffered; false (with Error()) once any write failed.
    bool Write(std::string_view bytes);
    /// Overwrites bytes already written (flushes the buffer first).
    bool WriteAt(FilePos offset, std::string_view bytes);
    /// Writes what is buffered; needed before WriteRangeAt.
    bool FlushBuffer() { return Flush(); }
    /// Writes Bytes at Offset past the buffer. Several threads may call it
    /// at once for ranges that do not overlap; failures go to Error only.
    bool WriteRangeAt(FilePos offset, std::string_view bytes, std::string& error) const;
    /// After WriteRangeAt: later writes go on from End.
    bool ContinueAt(FilePos end);
    /// Asks the system to start writing that range to the disk now; the
    /// buffered writes do so by themselves every few megabytes.
    void StartWriteback(FilePos offset, FilePos bytes) const;
    /// Written between two calls of StartWriteback.
    static constexpr FilePos kWritebackStep = FilePos{8} << 20;
    /// Drops everything written so far; later writes start at offset 0.
    bool Restart();
    /// Flushes, syncs and makes the temporary file the target's content.
    bool Commit();
    /// Closes and removes the temporary file; the target stays as it was.
    void Abort();

    const std::string& Error() const { return error_; }
    const std::string& TemporaryPath() const;
    FilePos BytesWritten() const { return written_ + static_cast<FilePos>(buffer_.size()); }

private:
    bool Flush();
    bool WriteAll(const char* data, std::size_t size);
    bool Fail(const std::string& what, int errorNumber);

    std::string target_;
    util::SafeWriter file_;
    std::string buffer_;
    std::string error_;
    FilePos written_ = 0;
    FilePos writebackFrom_ = 0;
    int fd_ = -1;
};

}  // namespace velmor::data
