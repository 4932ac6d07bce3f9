// Positional reads of a data file. The engine never maps a data file: another
// program may shorten it while it is open, and a read must then come back
// short instead of faulting.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "data/types.h"

namespace velmor::data {

class DataReader {
public:
    DataReader() = default;
    ~DataReader();
    DataReader(const DataReader&) = delete;
    DataReader& operator=(const DataReader&) = delete;

    /// Opens Path for reading; on failure Error holds a description.
    bool Open(const std::string& path, std::string& error);
    void Close();
    bool IsOpen() const { return fd_ >= 0; }

    /// Size and modification time as of Open (or the last Restat).
    FilePos Size() const { return size_; }
    std::filesystem::file_time_type ModificationTime() const { return mtime_; }
    /// The file's inode and its status change time in nanoseconds as of Open
    /// (or the last Restat): no user command can set either back, so a file
    /// replaced by another of the same size and time still differs in them.
    std::int64_t Inode() const { return inode_; }
    std::int64_t ChangeTime() const { return ctime_; }
    /// Re-reads size and time from the file system.
    void Restat();

    /// Reads up to Count bytes at Offset; fewer at the end of the file or on
    /// a failing read (never more than the file holds).
    size_t ReadAt(FilePos offset, char* buffer, size_t count) const;
    /// Convenience: the bytes as a string (shorter at the file's end).
    std::string ReadString(FilePos offset, size_t count) const;

private:
    int fd_ = -1;
    FilePos size_ = 0;
    std::filesystem::file_time_type mtime_{};
    std::int64_t inode_ = 0;
    std::int64_t ctime_ = 0;
    std::string path_;
};

/// Opens Path for reading when it is a regular file, without ever blocking
/// (a FIFO, device, socket or folder is refused); -1 with Error otherwise.
int OpenDataFile(const std::string& path, std::string& error);

/// Reads a whole (small) file; false when it cannot be read or is longer
/// than Limit bytes.
bool ReadWholeFile(const std::string& path, std::string& text, size_t limit = size_t{1} << 30);

/// Modification time of a file, or the epoch when it cannot be read.
std::filesystem::file_time_type ModificationTimeOf(const std::string& path);

}  // namespace velmor::data
