// Reads one range of a file forward for the converter's whole-file passes:
// one buffer keeps the unread tail of the last read when more bytes are
// needed, and grows for a record longer than itself, up to a limit (a caller
// that streams records longer than that asks Full() before filling). The
// file is read, never mapped, so one shortened meanwhile cannot crash us.
#pragma once

#include <algorithm>
#include <limits>
#include <memory>
#include <string>
#include <string_view>

#include "data/types.h"

namespace velmor::data {

class BlockReader {
public:
    /// Bytes after the data that may be read (not used): loads of 32 bytes
    /// at the end of a value stay inside the buffer.
    static constexpr std::size_t kSlack = 64;
    /// A range "to the end of the file".
    static constexpr FilePos kToEnd = std::numeric_limits<FilePos>::max();

    BlockReader() = default;
    ~BlockReader();
    BlockReader(const BlockReader&) = delete;
    BlockReader& operator=(const BlockReader&) = delete;

    /// Reads [From, To) of Path in reads of Block bytes.
    bool Open(const std::string& path, FilePos from, FilePos to, std::size_t block,
              std::string& error);

    std::string_view Data() const { return {buffer_.get() + begin_, end_ - begin_}; }
    void Consume(std::size_t n) { begin_ += n; }
    /// Everything up to the end of the range (or of a shorter file) is read.
    bool AtEnd() const { return atEnd_; }
    /// The file position of the first unconsumed byte.
    FilePos Position() const { return position_ - static_cast<FilePos>(end_ - begin_); }
    /// The file position up to which bytes were read.
    FilePos Done() const { return position_; }

    /// Moves the end of the range further (once known).
    void Extend(FilePos to) {
        to_ = std::max(to_, to);
        atEnd_ = position_ >= to_;
    }

    /// Reads more bytes after the unconsumed ones; false on a read failure or
    /// when one record would outgrow the largest buffer allowed.
    bool Fill(std::string& error);

    /// The largest the buffer may grow to (256 MB unless set lower).
    void SetLargest(std::size_t bytes) { largest_ = std::max<std::size_t>(bytes, 64); }
    /// The unconsumed bytes fill more than half of a buffer that may not
    /// grow: Fill would refuse, so they must be consumed in pieces.
    bool Full() const { return (end_ - begin_) * 2 > capacity_ && capacity_ >= largest_; }

private:
    void Resize(std::size_t capacity);
    bool Fail(std::string& error) const;
    void Close();

    std::string path_;
    int fd_ = -1;
    std::unique_ptr<char[]> buffer_;
    std::size_t capacity_ = 0;
    std::size_t largest_ = std::size_t{256} << 20;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    FilePos position_ = 0;
    FilePos to_ = 0;
    bool atEnd_ = false;
};

}  // namespace velmor::data
