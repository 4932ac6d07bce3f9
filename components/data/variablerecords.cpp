#include "data/variablerecords.h"

#include <algorithm>

namespace velmor::data {

namespace {
constexpr size_t kChunk = size_t{1} << 20;
constexpr FilePos kProgressStep = FilePos{4} << 20;
}  // namespace

using copybook::RecordFormat;

VariableRecords::VariableRecords(const DataReader& reader, RecordFormat format, FilePos dataStart)
    : reader_(reader), format_(format), dataStart_(dataStart) {
    index_.Reset(dataStart_);
    index_.blocked = format_ == RecordFormat::Bdw;
}

void VariableRecords::Stop(FilePos at, const std::string& what) {
    problem_ = copybook::DamageText(index_.counted + 1, at, what);
    index_.complete = true;
}

bool VariableRecords::Adopt(const std::string& path, const IndexKey& key) {
    if (!LoadRecordIndex(path, key, index_)) return false;
    if (index_.blocked != (format_ == RecordFormat::Bdw)) {
        index_.Reset(dataStart_);
        index_.blocked = format_ == RecordFormat::Bdw;
        return false;
    }
    if (index_.complete && index_.countedEnd < reader_.Size()) index_.complete = false;
    index_.changed = false;
    return true;
}

bool VariableRecords::CountTo(RecordNo target, const ProgressHandler& progress) {
    if (index_.complete || index_.counted >= target) return true;
    index_.Materialize();
    if (!buffer_) buffer_.reset(new unsigned char[kChunk]);
    const FilePos size = reader_.Size();
    const bool bdw = format_ == RecordFormat::Bdw;
    const bool little = format_ == RecordFormat::RdwLittleEndian;
    unsigned char* buffer = buffer_.get();
    FilePos pos = index_.countedEnd;  // the next descriptor word
    FilePos blockEnd = index_.countedBlockEnd;
    FilePos base = pos, held = 0;  // the buffer holds [base, base + held)
    FilePos nextReport = pos + kProgressStep;
    RecordNo counted = index_.counted;
    auto keep = [&] {
        // Whatever was counted here is worth saving, up to the end or the
        // damage as much as up to a target.
        if (counted != index_.counted) index_.changed = true;
        index_.counted = counted;
        index_.countedEnd = pos;
        index_.countedBlockEnd = blockEnd;
    };
    // The hot loop: one descriptor word per record, checked inline; only a
    // damaged one goes to the shared checks for its message.
    while (counted < target) {
        if (pos + 4 > base + held) {
            keep();
            if (pos >= size) {
                if (bdw && blockEnd > pos) Stop(pos, "the file ends inside a block");
                index_.complete = true;
                return true;
            }
            if (progress && pos >= nextReport) {
                nextReport = pos + kProgressStep;
                if (!progress(pos, size)) return false;
            }
            base = pos;
            held = static_cast<FilePos>(
                reader_.ReadAt(pos, reinterpret_cast<char*>(buffer),
                               static_cast<size_t>(std::min<FilePos>(kChunk, size - pos))));
            if (held < 4) {
                Stop(pos, bdw && pos == blockEnd ? "the file ends inside a block descriptor word"
                                                 : "the file ends inside a record descriptor word");
                return true;
            }
        }
        const unsigned char* word = buffer + (pos - base);
        std::uint32_t length = 0;
        if (bdw && pos == blockEnd) {
            const std::string problem = copybook::BlockWordProblem(word, length);
            if (!problem.empty()) {
                keep();
                Stop(pos, problem);
                return true;
            }
            blockEnd = pos + length;
            pos += 4;
            continue;
        }
        length = little ? (word[0] | (word[1] << 8)) : ((word[0] << 8) | word[1]);
        if (length < 4 || word[2] != 0 || word[3] != 0 || (bdw && pos + length > blockEnd) ||
            pos + length > size) {
            keep();
            std::string problem = copybook::RecordWordProblem(word, format_, blockEnd - pos, length);
            if (problem.empty())
                problem = "the record length " + std::to_string(length) +
                          " runs past the end of the file (" + std::to_string(size - pos) +
                          " bytes left)";
            Stop(pos, problem);
            return true;
        }
        if (static_cast<FilePos>(length) - 4 > index_.longest) {
            index_.longest = length - 4;
            if (LongRecord) LongRecord(RecordSpan{pos + 4, length - 4, pos + length});
        }
        pos += length;
        ++counted;
        if (counted % RecordIndex::kStride == 0) {
            index_.checkpoints.push_back(pos);
            if (bdw) index_.blockEnds.push_back(blockEnd);
        }
    }
    keep();
    return true;
}

bool VariableRecords::Locate(RecordNo p, RecordSpan& span, const ProgressHandler& progress) {
    if (p < 0) return false;
    CountTo(p + 1, progress);
    if (index_.counted <= p) return false;
    const bool bdw = format_ == RecordFormat::Bdw;
    const bool little = format_ == RecordFormat::RdwLittleEndian;
    const auto k = static_cast<size_t>(p / RecordIndex::kStride);
    RecordNo record = static_cast<RecordNo>(k) * RecordIndex::kStride;
    FilePos pos = index_.Checkpoint(k);
    if (pos < 0) return false;
    FilePos blockEnd = bdw && k < index_.blockEnds.size() ? index_.blockEnds[k] : 0;
    if (cursorRecord_ >= record && cursorRecord_ <= p) {
        record = cursorRecord_;
        pos = cursorOffset_;
        blockEnd = cursorBlockEnd_;
    }
    // Every word on the way was checked by counting; only a file shortened
    // since, or a damaged indexing file, can fail here.
    unsigned char word[4];
    for (;;) {
        if (reader_.ReadAt(pos, reinterpret_cast<char*>(word), 4) != 4) return false;
        if (bdw && pos == blockEnd) {
            blockEnd = pos + ((word[0] << 8) | word[1]);
            pos += 4;
            continue;
        }
        const FilePos length = little ? (word[0] | (word[1] << 8)) : ((word[0] << 8) | word[1]);
        if (length < 4) return false;  // a damaged indexing file: never loop in place
        if (record == p) {
            span = RecordSpan{pos + 4, length - 4, pos + length};
            cursorRecord_ = p + 1;
            cursorOffset_ = pos + length;
            cursorBlockEnd_ = blockEnd;
            return true;
        }
        pos += length;
        ++record;
    }
}

}  // namespace velmor::data
