#include "data/convert_typed.h"

#include <algorithm>
#include <cstring>

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
    b.used = 0;
    if (!format_) b.text.clear();
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

// Each value is decoded straight into the delimited text (Text is kept at
// its capacity; Used says how much of it holds records); only a value that
// may hold a delimiter is looked at again, and only one that does is moved.
void TypedStream::Format(Block& b, std::string_view data) const {
    const std::size_t length = static_cast<std::size_t>(length_);
    const std::size_t columns = records_.Columns();
    const std::string& fieldDelimiter = format_->FieldDelimiter();
    const std::string& recordDelimiter = format_->RecordDelimiter();
    std::string& text = b.text;
    char* p = text.data();
    char* end = p + text.size();
    std::string value, qualified;
    for (std::size_t at = 0; at < data.size(); at += length) {
        if (static_cast<std::size_t>(end - p) < recordRoom_) {
            const std::size_t used = static_cast<std::size_t>(p - text.data());
            text.resize(std::max(2 * text.size(), used + recordRoom_ + (std::size_t{1} << 16)));
            p = text.data() + used;
            end = text.data() + text.size();
        }
        const std::string_view record = data.substr(at, length);
        char* const start = p;
        for (std::size_t c = 0; c < columns; ++c) {
            if (c > 0 && fieldDelimiter.size() == 1) {
                *p++ = fieldDelimiter[0];
            } else if (c > 0) {
                std::memcpy(p, fieldDelimiter.data(), fieldDelimiter.size());
                p += fieldDelimiter.size();
            }
            char* const mark = p;
            copybook::ValueState state;
            p = records_.Put(c, record, p, state);
            if (state == copybook::ValueState::Invalid) ++b.invalid;
            if (trimText_ && !records_.Format(c).IsNumber())
                while (p > mark && (p[-1] == ' ' || p[-1] == '\0')) --p;
            if (!scan_[c] || !format_->NeedsQualifier(std::string_view(mark, static_cast<std::size_t>(p - mark))))
                continue;
            if (format_->Qualifier().empty()) {
                b.used = static_cast<std::size_t>(start - text.data());
                b.unwritable = b.first + b.records + 1;
                return;
            }
            value.assign(mark, p);
            qualified.clear();
            format_->AppendValue(value, qualified);
            std::memcpy(mark, qualified.data(), qualified.size());  // within the record's room
            p = mark + qualified.size();
        }
        std::memcpy(p, recordDelimiter.data(), recordDelimiter.size());
        p += recordDelimiter.size();
        ++b.records;
    }
    b.used = static_cast<std::size_t>(p - text.data());
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
    for (int k = 1; ahead_ && k < kSlots; ++k)
        if (blocks_[0].records == perBlock_ && k * perBlock_ < count_) Start(k, k * perBlock_);
    return true;
}

void TypedStream::SetDelimited(const DelimitedFormat* format, bool trimText) {
    format_ = format;
    trimText_ = trimText;
    scan_.assign(records_.Columns(), true);
    recordRoom_ = 0;
    if (!format) return;
    // The most one record's text can take: each value qualified with every
    // byte doubled, and the delimiters.
    for (std::size_t c = 0; c < records_.Columns(); ++c)
        recordRoom_ += 2 * records_.Room(c) + 2 * format->Qualifier().size() + format->FieldDelimiter().size();
    recordRoom_ += format->RecordDelimiter().size();
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
    // The block after this one was started when an earlier one was taken.
    const int next = (slot_ + 1) % kSlots;
    if (!ahead_) Start(next, used.first + used.records);
    if (!Take(next)) return false;
    const int freed = slot_;
    slot_ = next;
    const Block& now = blocks_[slot_];
    if (now.records == 0 && now.unwritable == 0) return false;
    const RecordNo after = now.first + (kSlots - 1) * perBlock_;
    if (ahead_ && now.records == perBlock_ && after < count_) Start(freed, after);
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
    text = std::string_view(b.text).substr(0, b.used);
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
