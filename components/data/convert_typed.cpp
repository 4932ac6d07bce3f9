#include "data/convert_typed.h"

#include <algorithm>

#include "data/convert_fast.h"
#include "data/filesplit.h"

namespace velmor::data {

TypedStream::TypedStream(std::string path, FilePos offset, FilePos recordLength, RecordNo count,
                         TypedRecords records)
    : path_(std::move(path)),
      offset_(offset),
      length_(std::max<FilePos>(recordLength, 0)),
      count_(std::max<RecordNo>(count, 0)),
      records_(std::move(records)) {
    perBlock_ = std::max<RecordNo>(1, (FilePos{1} << 20) / std::max<FilePos>(length_, 1));
}

TypedStream::~TypedStream() {
    for (std::future<void>& f : pending_)
        if (f.valid()) f.wait();
}

void TypedStream::Decode(Block& b, RecordNo first) const {
    b.first = first;
    b.records = 0;
    b.invalid = 0;
    b.text.clear();
    b.ends.clear();
    const RecordNo wanted = std::min(perBlock_, count_ - first);
    if (wanted <= 0 || length_ == 0) return;
    if (!b.reader.IsOpen() && !b.reader.Open(path_, b.error)) return;
    b.bytes.resize(static_cast<std::size_t>(wanted * length_));
    b.bytes.resize(b.reader.ReadAt(offset_ + first * length_, b.bytes.data(), b.bytes.size()));
    const std::string_view data = b.bytes;
    const std::size_t length = static_cast<std::size_t>(length_);
    const std::size_t columns = records_.Columns();
    for (std::size_t at = 0; at < data.size(); at += length) {
        const std::string_view record = data.substr(at, length);
        for (std::size_t c = 0; c < columns; ++c) {
            if (records_.Append(c, record, b.text) == copybook::ValueState::Invalid) ++b.invalid;
            b.ends.push_back(static_cast<std::uint32_t>(b.text.size()));
        }
        ++b.records;
    }
}

void TypedStream::Start(int slot, RecordNo first) {
    if (!ahead_) {
        Decode(blocks_[slot], first);
        return;
    }
    pending_[slot] = std::async(std::launch::async, [this, slot, first] { Decode(blocks_[slot], first); });
}

bool TypedStream::Take(int slot) {
    if (pending_[slot].valid()) pending_[slot].get();
    Block& b = blocks_[slot];
    if (!b.error.empty()) {
        error_ = b.error;
        return false;
    }
    invalid_ += b.invalid;
    done_ = offset_ + (b.first + b.records) * length_;
    row_ = 0;
    return true;
}

bool TypedStream::Rewind() {
    for (std::future<void>& f : pending_)
        if (f.valid()) f.wait();
    error_.clear();
    invalid_ = 0;
    done_ = offset_;
    slot_ = 0;
    ahead_ = threads_ > 1 && SplitMiddle(offset_, Total()) < Total();
    Start(0, 0);
    if (!Take(0)) return false;
    if (ahead_ && blocks_[0].records == perBlock_ && perBlock_ < count_) Start(1, perBlock_);
    return true;
}

const Values* TypedStream::Next() {
    if (!error_.empty()) return nullptr;
    if (row_ >= blocks_[slot_].records) {
        // The block after this one was started when this one was taken.
        const Block& used = blocks_[slot_];
        if (used.records < perBlock_ || used.first + used.records >= count_) return nullptr;
        const int next = 1 - slot_;
        if (!ahead_) Start(next, used.first + used.records);
        if (!Take(next)) return nullptr;
        slot_ = next;
        const Block& now = blocks_[slot_];
        if (now.records == 0) return nullptr;
        if (ahead_ && now.records == perBlock_ && now.first + now.records < count_)
            Start(1 - slot_, now.first + now.records);
    }
    const Block& b = blocks_[slot_];
    const std::size_t columns = records_.Columns();
    const std::size_t base = static_cast<std::size_t>(row_) * columns;
    values_.resize(columns);
    std::uint32_t from = base == 0 ? 0 : b.ends[base - 1];
    for (std::size_t c = 0; c < columns; ++c) {
        const std::uint32_t to = b.ends[base + c];
        values_[c] = std::string_view(b.text).substr(from, to - from);
        from = to;
    }
    ++row_;
    return &values_;
}

}  // namespace velmor::data
