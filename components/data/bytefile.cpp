#include "data/bytefile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace velmor::data {

FileDescriptor::~FileDescriptor() {
    if (fd >= 0) ::close(fd);
}

std::string DescribeFailure(const std::string& what, const std::string& path, int error) {
    return what + " \"" + path + "\": " + SystemErrorText(error);
}

std::string SystemErrorText(int error) {
    return std::strerror(error);
}

ByteWrite WriteOneByte(const std::string& path, std::int64_t position, unsigned char value,
                       std::string& error) {
    // No O_CREAT and no O_TRUNC: a missing file is an error, never a new one.
    FileDescriptor file(::open(path.c_str(), O_WRONLY | O_CLOEXEC));
    if (file.fd < 0) {
        error = DescribeFailure("Cannot open", path, errno);
        return ByteWrite::Failed;
    }
    struct stat info {};
    if (::fstat(file.fd, &info) != 0) {
        error = DescribeFailure("Cannot read the length of", path, errno);
        return ByteWrite::Failed;
    }
    if (position < 1 || position > info.st_size) return ByteWrite::PastEnd;
    const ssize_t written = ::pwrite(file.fd, &value, 1, static_cast<off_t>(position - 1));
    if (written != 1) {
        error = DescribeFailure("Cannot write to", path, written < 0 ? errno : EIO);
        return ByteWrite::Failed;
    }
    if (::close(file.fd) != 0) {
        file.fd = -1;
        error = DescribeFailure("Cannot write to", path, errno);
        return ByteWrite::Failed;
    }
    file.fd = -1;
    return ByteWrite::Written;
}

std::int64_t ReadBytesAt(const std::string& path, std::int64_t start, char* buffer,
                         std::int64_t count, std::int64_t& fileLength, std::string& error) {
    FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        error = DescribeFailure("Cannot open", path, errno);
        return -1;
    }
    fileLength = info.st_size;
    std::int64_t done = 0;
    while (start >= 1 && done < count) {
        const ssize_t got = ::pread(file.fd, buffer + done, static_cast<size_t>(count - done),
                                    static_cast<off_t>(start - 1 + done));
        if (got < 0 && errno == EINTR) continue;
        if (got < 0) {
            error = DescribeFailure("Cannot read", path, errno);
            return -1;
        }
        if (got == 0) break;
        done += got;
    }
    return done;
}

bool IsReadOnly(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return false;  // the open will say why
    if (info.st_uid == ::geteuid()) return (info.st_mode & S_IWUSR) == 0;
    if (info.st_gid == ::getegid()) return (info.st_mode & S_IWGRP) == 0;
    return (info.st_mode & S_IWOTH) == 0 && ::access(path.c_str(), W_OK) != 0;
}

bool AddOwnerWrite(const std::string& path, std::string& error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 ||
        ::chmod(path.c_str(), (info.st_mode & 07777) | S_IWUSR) != 0) {
        error = DescribeFailure("Cannot change the permissions of", path, errno);
        return false;
    }
    return true;
}

}  // namespace velmor::data
