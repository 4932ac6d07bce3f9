#include "copybook/recordformat.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace velmor::copybook {
namespace {

constexpr size_t kBlock = size_t{4} << 20;

std::uint32_t Read16(const unsigned char* p, bool little) {
    return little ? (p[0] | (p[1] << 8)) : ((p[0] << 8) | p[1]);
}

}  // namespace

const char* RecordFormatName(RecordFormat format) {
    switch (format) {
        case RecordFormat::Fixed: return "fixed";
        case RecordFormat::Rdw: return "rdw";
        case RecordFormat::RdwLittleEndian: return "rdw-le";
        case RecordFormat::Bdw: return "bdw";
    }
    return "fixed";
}

bool RecordFormatFromName(std::string_view name, RecordFormat& format) {
    for (RecordFormat f : {RecordFormat::Fixed, RecordFormat::Rdw, RecordFormat::RdwLittleEndian,
                           RecordFormat::Bdw}) {
        if (name == RecordFormatName(f)) {
            format = f;
            return true;
        }
    }
    return false;
}

RecordReader::~RecordReader() {
    if (file_) std::fclose(file_);
}

bool RecordReader::Open(const std::string& path, RecordFormat format, std::int64_t fixedLength,
                        std::int64_t offset, std::string& error) {
    file_ = std::fopen(path.c_str(), "rb");
    if (!file_) {
        error = "Cannot open \"" + path + "\": " + std::strerror(errno);
        return false;
    }
    if (offset > 0 && std::fseek(file_, static_cast<long>(offset), SEEK_SET) != 0) {
        error = "Cannot read \"" + path + "\".";
        return false;
    }
    base_ = offset;
    format_ = format;
    fixed_ = fixedLength;
    if (format == RecordFormat::Fixed && fixedLength <= 0) {
        error = "A fixed-length file needs a record length.";
        return false;
    }
    return true;
}

void RecordReader::OpenBytes(std::string_view bytes, RecordFormat format, std::int64_t fixedLength) {
    memory_ = bytes;
    fromMemory_ = true;
    end_ = bytes.size();
    format_ = format;
    fixed_ = fixedLength > 0 ? fixedLength : 1;
}

bool RecordReader::Fill(size_t need) {
    if (end_ - pos_ >= need) return true;
    if (fromMemory_ || !file_) return false;
    if (pos_ > 0) {  // keep the unread bytes at the front
        std::memmove(buffer_.data(), buffer_.data() + pos_, end_ - pos_);
        base_ += static_cast<std::int64_t>(pos_);
        end_ -= pos_;
        pos_ = 0;
    }
    if (buffer_.size() < need || buffer_.size() < kBlock) buffer_.resize(std::max(need, kBlock));
    while (end_ < need) {
        const size_t got = std::fread(buffer_.data() + end_, 1, buffer_.size() - end_, file_);
        if (got == 0) return false;
        end_ += got;
    }
    return true;
}

std::uint32_t RecordReader::Length16(size_t at, bool little) const {
    const char* data = fromMemory_ ? memory_.data() : buffer_.data();
    return Read16(reinterpret_cast<const unsigned char*>(data + at), little);
}

bool RecordReader::Damaged(const std::string& what) {
    problem_ = "Record " + std::to_string(number_ + 1) + " at byte " +
               std::to_string(base_ + static_cast<std::int64_t>(pos_)) + ": " + what +
               "; reading stops before it.";
    stopped_ = true;
    return false;
}

bool RecordReader::Next(std::string_view& record) {
    if (stopped_) return false;
    const char* data = nullptr;
    if (format_ == RecordFormat::Fixed) {
        if (!Fill(static_cast<size_t>(fixed_)) && end_ == pos_) return false;
        const size_t size = std::min(static_cast<size_t>(fixed_), end_ - pos_);
        data = fromMemory_ ? memory_.data() : buffer_.data();
        recordStart_ = base_ + static_cast<std::int64_t>(pos_);
        record = std::string_view(data + pos_, size);
        pos_ += size;
        ++number_;
        return true;
    }
    if (format_ == RecordFormat::Bdw && blockLeft_ == 0) {
        if (!Fill(4)) {
            if (end_ != pos_) return Damaged("the file ends inside a block descriptor word");
            return false;
        }
        const std::uint32_t length = Length16(pos_, false);
        if ((length & 0x8000) != 0 || Length16(pos_ + 2, false) != 0)
            return Damaged("the block descriptor word " + std::to_string(length) +
                           " is not a length followed by two zero bytes");
        if (length < 4) return Damaged("the block length " + std::to_string(length) + " is less than 4");
        blockLeft_ = length - 4;
        pos_ += 4;
        if (blockLeft_ == 0) return Next(record);
    }
    if (!Fill(4)) {
        if (end_ != pos_) return Damaged("the file ends inside a record descriptor word");
        if (blockLeft_ > 0) return Damaged("the file ends inside a block");
        return false;
    }
    const bool little = format_ == RecordFormat::RdwLittleEndian;
    const std::uint32_t length = Length16(pos_, little);
    if (Length16(pos_ + 2, false) != 0)
        return Damaged("the two bytes after the record length " + std::to_string(length) +
                       " are not zero");
    if (length < 4) return Damaged("the record length " + std::to_string(length) + " is less than 4");
    if (format_ == RecordFormat::Bdw && length > blockLeft_)
        return Damaged("the record length " + std::to_string(length) + " runs past the end of its block");
    if (!Fill(length))
        return Damaged("the record length " + std::to_string(length) +
                       " runs past the end of the file (" + std::to_string(end_ - pos_) +
                       " bytes left)");
    data = fromMemory_ ? memory_.data() : buffer_.data();
    recordStart_ = base_ + static_cast<std::int64_t>(pos_);
    record = std::string_view(data + pos_ + 4, length - 4);
    pos_ += length;
    if (format_ == RecordFormat::Bdw) blockLeft_ -= length;
    ++number_;
    return true;
}

std::int64_t RecordReader::CountToEnd() {
    std::string_view record;
    if (format_ == RecordFormat::Rdw || format_ == RecordFormat::RdwLittleEndian) {
        // The plain chain of lengths, walked in the buffer; anything unusual
        // (a refill, damage) goes through Next for its exact handling.
        const bool little = format_ == RecordFormat::RdwLittleEndian;
        while (!stopped_) {
            const auto* data = reinterpret_cast<const unsigned char*>(
                fromMemory_ ? memory_.data() : buffer_.data());
            size_t pos = pos_;
            std::int64_t n = number_;
            while (pos + 4 <= end_) {
                const std::uint32_t length = Read16(data + pos, little);
                if (length < 4 || data[pos + 2] != 0 || data[pos + 3] != 0 || pos + length > end_) break;
                pos += length;
                ++n;
            }
            if (n > number_) {
                recordStart_ = base_ + static_cast<std::int64_t>(pos_);
                pos_ = pos;
                number_ = n;
            }
            if (!Next(record)) break;
        }
        return number_;
    }
    while (Next(record)) {
    }
    return number_;
}

bool ChainsAsRdw(std::string_view sample, bool wholeFile, bool littleEndian) {
    size_t at = 0;
    int records = 0;
    const auto* p = reinterpret_cast<const unsigned char*>(sample.data());
    while (at + 4 <= sample.size()) {
        const std::uint32_t length = Read16(p + at, littleEndian);
        if (length < 5 || p[at + 2] != 0 || p[at + 3] != 0) return false;
        if (at + length > sample.size()) return !wholeFile && records >= 2;
        at += length;
        ++records;
    }
    return records >= 2 && (at == sample.size() || !wholeFile);
}

}  // namespace velmor::copybook
