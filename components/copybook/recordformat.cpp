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

const unsigned char* RecordReader::Bytes() const {
    return reinterpret_cast<const unsigned char*>(fromMemory_ ? memory_.data() : buffer_.data());
}

bool RecordReader::Damaged(const std::string& what) {
    problem_ = DamageText(number_ + 1, base_ + static_cast<std::int64_t>(pos_), what);
    stopped_ = true;
    return false;
}

std::string DamageText(std::int64_t record, std::int64_t offset, const std::string& what) {
    return "Record " + std::to_string(record) + " at byte " + std::to_string(offset) + ": " + what +
           "; reading stops before it.";
}

std::string BlockWordProblem(const unsigned char* word, std::uint32_t& length) {
    length = Read16(word, false);
    if ((length & 0x8000) != 0 || word[2] != 0 || word[3] != 0)
        return "the block descriptor word " + std::to_string(length) +
               " is not a length followed by two zero bytes";
    if (length < 4) return "the block length " + std::to_string(length) + " is less than 4";
    return {};
}

std::string RecordWordProblem(const unsigned char* word, RecordFormat format, std::int64_t blockLeft,
                              std::uint32_t& length) {
    length = Read16(word, format == RecordFormat::RdwLittleEndian);
    if (word[2] != 0 || word[3] != 0)
        return "the two bytes after the record length " + std::to_string(length) + " are not zero";
    if (length < 4) return "the record length " + std::to_string(length) + " is less than 4";
    if (format == RecordFormat::Bdw && length > blockLeft)
        return "the record length " + std::to_string(length) + " runs past the end of its block";
    return {};
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
    while (format_ == RecordFormat::Bdw && blockLeft_ == 0) {  // empty blocks hold nothing
        if (!Fill(4)) {
            if (end_ != pos_) return Damaged("the file ends inside a block descriptor word");
            return false;
        }
        std::uint32_t length = 0;
        const std::string problem = BlockWordProblem(Bytes() + pos_, length);
        if (!problem.empty()) return Damaged(problem);
        blockLeft_ = length - 4;
        pos_ += 4;
    }
    if (!Fill(4)) {
        if (end_ != pos_) return Damaged("the file ends inside a record descriptor word");
        if (blockLeft_ > 0) return Damaged("the file ends inside a block");
        return false;
    }
    std::uint32_t length = 0;
    if (const std::string problem = RecordWordProblem(Bytes() + pos_, format_, blockLeft_, length);
        !problem.empty())
        return Damaged(problem);
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

namespace velmor::copybook {

bool ChainsAsBdw(std::string_view sample, bool wholeFile) {
    const auto* p = reinterpret_cast<const unsigned char*>(sample.data());
    size_t at = 0;
    int records = 0;
    while (at + 4 <= sample.size()) {
        std::uint32_t block = 0;
        if (!BlockWordProblem(p + at, block).empty() || block < 9) return false;
        const size_t end = at + block;
        if (end > sample.size()) return !wholeFile && records >= 2;
        for (size_t r = at + 4; r < end; ++records) {
            std::uint32_t length = 0;
            if (r + 4 > end || !RecordWordProblem(p + r, RecordFormat::Bdw, end - r, length).empty() ||
                length < 5)
                return false;
            r += length;
        }
        at = end;
    }
    return records >= 2 && (at == sample.size() || !wholeFile);
}

RecordFormat ProposedRecordFormat(std::string_view sample, bool wholeFile) {
    if (ChainsAsBdw(sample, wholeFile)) return RecordFormat::Bdw;
    if (ChainsAsRdw(sample, wholeFile, false)) return RecordFormat::Rdw;
    if (ChainsAsRdw(sample, wholeFile, true)) return RecordFormat::RdwLittleEndian;
    return RecordFormat::Fixed;
}

}  // namespace velmor::copybook
