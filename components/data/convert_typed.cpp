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
    b.unwritable = 0;
    b.text.clear();
    b.ends.clear();
    const RecordNo wanted = std::min(perBlock_, count_ - first);
    if (wanted <= 0 || length_ == 0) return;
    if (!b.reader.IsOpen() && !b.reader.Open(path_, b.error)) return;
    b.bytes.resize(static_cast<std::size_t>(wanted * length_));
    b.bytes.resize(b.reader.ReadAt(offset_ + first * length_, b.bytes.data(), b.bytes.size()));
    const std::string_view data = b.bytes;
    if (format_) {
        Format(b, data);
        return;
    }
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

// Each value is decoded straight into the delimited text; only a value that
// may hold a delimiter is looked at again, and only one that does is moved.
void TypedStream::Format(Block& b, std::string_view data) const {
    const std::size_t length = static_cast<std::size_t>(length_);
    const std::size_t columns = records_.Columns();
    const std::string& fieldDelimiter = format_->FieldDelimiter();
    std::string& text = b.text;
    std::string value;
    for (std::size_t at = 0; at < data.size(); at += length) {
        const std::string_view record = data.substr(at, length);
        const std::size_t start = text.size();
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0) text.append(fieldDelimiter);
            const std::size_t mark = text.size();
            if (records_.Append(c, record, text) == copybook::ValueState::Invalid) ++b.invalid;
            if (trimText_ && !records_.Format(c).IsNumber()) {
                std::size_t end = text.size();
                while (end > mark && (text[end - 1] == ' ' || text[end - 1] == '\0')) --end;
                text.resize(end);
            }
            if (!scan_[c] || !format_->NeedsQualifier(std::string_view(text).substr(mark))) continue;
            if (format_->Qualifier().empty()) {
                text.resize(start);
                b.unwritable = b.first + b.records + 1;
                return;
            }
            value.assign(text, mark);
            text.resize(mark);
            format_->AppendValue(value, text);
        }
        text.append(format_->RecordDelimiter());
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
    unwritable_ = 0;
    done_ = offset_;
    slot_ = 0;
    ahead_ = threads_ > 1 && SplitMiddle(offset_, Total()) < Total();
    Start(0, 0);
    if (!Take(0)) return false;
    if (ahead_ && blocks_[0].records == perBlock_ && perBlock_ < count_) Start(1, perBlock_);
    return true;
}

void TypedStream::SetDelimited(const DelimitedFormat* format, bool trimText) {
    format_ = format;
    trimText_ = trimText;
    scan_.assign(records_.Columns(), true);
    if (!format) return;
    // What a decoded number can hold: digits, sign, point, exponent, and
    // "?" with hex digits when invalid.
    for (std::size_t c = 0; c < records_.Columns(); ++c)
        if (records_.Format(c).IsNumber()) scan_[c] = format->NeedsQualifier("0123456789+-.eE?ABCDEF");
}

// Moves to the block after the current one once it is used up; false at the
// end or on a failure.
bool TypedStream::Advance() {
    const Block& used = blocks_[slot_];
    if (used.unwritable > 0) {
        unwritable_ = used.unwritable;
        return false;
    }
    if (used.records < perBlock_ || used.first + used.records >= count_) return false;
    // The block after this one was started when this one was taken.
    const int next = 1 - slot_;
    if (!ahead_) Start(next, used.first + used.records);
    if (!Take(next)) return false;
    slot_ = next;
    const Block& now = blocks_[slot_];
    if (now.records == 0 && now.unwritable == 0) return false;
    if (ahead_ && now.records == perBlock_ && now.first + now.records < count_)
        Start(1 - slot_, now.first + now.records);
    return true;
}

bool TypedStream::NextDelimited(std::string_view& text, RecordNo& records) {
    text = {};
    records = 0;
    if (!error_.empty() || unwritable_ > 0) return false;
    // The first block was taken by Rewind; each later call moves on.
    if (row_ > 0 && !Advance()) return false;
    const Block& b = blocks_[slot_];
    row_ = b.records + 1;
    text = b.text;
    records = b.records;
    return true;
}

const Values* TypedStream::Next() {
    if (!error_.empty()) return nullptr;
    if (row_ >= blocks_[slot_].records && !Advance()) return nullptr;
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
