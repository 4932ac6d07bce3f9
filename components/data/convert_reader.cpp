#include "data/convert_reader.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "data/datareader.h"

namespace velmor::data {

BlockReader::~BlockReader() {
    Close();
}

void BlockReader::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

bool BlockReader::Open(const std::string& path, FilePos from, FilePos to, std::size_t block,
                       std::string& error) {
    Close();
    path_ = path;
    fd_ = OpenDataFile(path, error);
    if (fd_ < 0) return false;
    from = std::max<FilePos>(from, 0);
    ::posix_fadvise(fd_, static_cast<off_t>(from), to == kToEnd ? 0 : static_cast<off_t>(to - from),
                    POSIX_FADV_SEQUENTIAL);
    position_ = from;
    to_ = std::max(to, from);
    begin_ = end_ = 0;
    atEnd_ = false;
    buffer_.reset();
    // A small range gets a small buffer: conversions of small files start
    // without touching a megabyte of memory.
    const FilePos range = to_ - from;
    Resize(static_cast<std::size_t>(
        std::clamp<FilePos>(range, 64, static_cast<FilePos>(std::max<std::size_t>(block, 64)))));
    return true;
}

bool BlockReader::Fill(std::string& error) {
    const std::size_t kept = end_ - begin_;
    if (position_ >= to_) {
        atEnd_ = true;  // nothing more to read: the unconsumed bytes stay
        return true;
    }
    if (kept * 2 > capacity_) {
        // A record that does not fit is refused rather than letting one
        // damaged qualifier swallow the machine's memory.
        if (capacity_ >= largest_) {
            error = "A record of \"" + path_ + "\" near byte " + std::to_string(Position()) +
                    " is longer than " + std::to_string(largest_ >> 20) +
                    " MB (is a text qualifier left open?).";
            return false;
        }
        Resize(std::min(capacity_ * 2, largest_));
    } else if (begin_ > 0) {
        std::memmove(buffer_.get(), buffer_.get() + begin_, kept);
    }
    begin_ = 0;
    end_ = kept;
    while (end_ < capacity_ && position_ < to_) {
        const std::size_t want = static_cast<std::size_t>(
            std::min<FilePos>(static_cast<FilePos>(capacity_ - end_), to_ - position_));
        const ssize_t n = ::pread(fd_, buffer_.get() + end_, want, static_cast<off_t>(position_));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return Fail(error);
        if (n == 0) {
            to_ = position_;  // the file ends before the range does
            break;
        }
        end_ += static_cast<std::size_t>(n);
        position_ += n;
    }
    atEnd_ = position_ >= to_;
    return true;
}

void BlockReader::Resize(std::size_t capacity) {
    auto bigger = std::make_unique_for_overwrite<char[]>(capacity + kSlack);
    if (buffer_) std::memcpy(bigger.get(), buffer_.get() + begin_, end_ - begin_);
    std::memset(bigger.get() + capacity, 0, kSlack);
    buffer_ = std::move(bigger);
    capacity_ = capacity;
}

bool BlockReader::Fail(std::string& error) const {
    error = "Cannot read \"" + path_ + "\": " + std::strerror(errno) + ".";
    return false;
}

}  // namespace velmor::data
