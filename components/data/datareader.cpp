#include "data/datareader.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <system_error>

namespace velmor::data {

DataReader::~DataReader() {
    Close();
}

int OpenDataFile(const std::string& path, std::string& error) {
    // Non-blocking, so a FIFO without a writer cannot hold us in open().
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        error = errno == ENXIO
                    ? "\"" + path + "\" is not a regular file; only files can be read."
                    : "The file \"" + path + "\" cannot be opened: " + std::strerror(errno) + ".";
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        error = S_ISDIR(st.st_mode)
                    ? "\"" + path + "\" is a folder, not a data file."
                    : "\"" + path + "\" is not a regular file; only files can be read.";
        return -1;
    }
    int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return fd;
}

bool DataReader::Open(const std::string& path, std::string& error) {
    Close();
    int fd = OpenDataFile(path, error);
    if (fd < 0) return false;
    fd_ = fd;
    path_ = path;
    Restat();
    return true;
}

void DataReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    size_ = 0;
    mtime_ = {};
    inode_ = 0;
    ctime_ = 0;
    path_.clear();
}

void DataReader::Restat() {
    struct stat st {};
    if (fd_ < 0 || ::fstat(fd_, &st) != 0) return;
    size_ = static_cast<FilePos>(st.st_size);
    mtime_ = ModificationTimeOf(path_);
    inode_ = static_cast<std::int64_t>(st.st_ino);
    ctime_ = static_cast<std::int64_t>(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
}

size_t DataReader::ReadAt(FilePos offset, char* buffer, size_t count) const {
    if (fd_ < 0 || offset < 0 || count == 0) return 0;
    size_t done = 0;
    while (done < count) {
        ssize_t n = ::pread(fd_, buffer + done, count - done,
                            static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<size_t>(n);
    }
    return done;
}

std::string DataReader::ReadString(FilePos offset, size_t count) const {
    std::string text(count, '\0');
    text.resize(ReadAt(offset, text.data(), count));
    return text;
}

bool ReadWholeFile(const std::string& path, std::string& text, size_t limit) {
    DataReader reader;
    std::string error;
    if (!reader.Open(path, error) || static_cast<std::uint64_t>(reader.Size()) > limit)
        return false;
    text = reader.ReadString(0, static_cast<size_t>(reader.Size()));
    return static_cast<FilePos>(text.size()) == reader.Size();
}

std::filesystem::file_time_type ModificationTimeOf(const std::string& path) {
    std::error_code ec;
    auto t = std::filesystem::last_write_time(path, ec);
    return ec ? std::filesystem::file_time_type{} : t;
}

}  // namespace velmor::data
