// Direct byte access to a data file for the hex editor: each call opens the
// file, does one thing and closes it again, so no handle outlives a user
// action. Nothing here ever makes a file longer.
#pragma once

#include <cstdint>
#include <string>

namespace velmor::data {

/// What a single-byte write did.
enum class ByteWrite { Written, PastEnd, Failed };

/// Writes Value at the 1-based Position. A position past the end (or below
/// 1) writes nothing and gives PastEnd; Error is set on Failed.
ByteWrite WriteOneByte(const std::string& path, std::int64_t position, unsigned char value,
                       std::string& error);

/// Reads up to Count bytes from the 1-based Start into Buffer; gives the
/// number read (fewer at the end of the file), -1 with Error set on failure.
/// FileLength receives the file's length.
std::int64_t ReadBytesAt(const std::string& path, std::int64_t start, char* buffer,
                         std::int64_t count, std::int64_t& fileLength, std::string& error);

/// True when the calling user has no write permission on Path. Judged from
/// the permission bits, so that the answer is the same for the superuser.
bool IsReadOnly(const std::string& path);

/// Grants the file's owner write permission and keeps every other bit.
/// False with Error set when the permissions cannot be changed.
bool AddOwnerWrite(const std::string& path, std::string& error);

/// Text of an errno value, e.g. "Permission denied".
std::string SystemErrorText(int error);

/// "What "path": reason" for a failed system call on Path.
std::string DescribeFailure(const std::string& what, const std::string& path, int error);

/// Closes a descriptor on every path out of a routine.
struct FileDescriptor {
    int fd = -1;
    FileDescriptor() = default;
    explicit FileDescriptor(int d) : fd(d) {}
    ~FileDescriptor();
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
};

}  // namespace velmor::data
