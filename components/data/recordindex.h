// The sparse index of a delimited file: the start of every 64th record, the
// number of records counted so far and where counting stopped. Eight bytes
// per 64 records keeps it far below one byte per record.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "data/datareader.h"
#include "data/types.h"

namespace velmor::data {

struct RecordIndex {
    static constexpr RecordNo kStride = 64;

    /// checkpoints[k] = file offset of physical record k * kStride (0-based).
    std::vector<FilePos> checkpoints;
    /// Physical records found so far (a final record without a delimiter
    /// counts once the end of the file is reached).
    RecordNo counted = 0;
    /// File offset just after the last counted record.
    FilePos countedEnd = 0;
    /// The end of the file was reached: Counted is final.
    bool complete = false;
    /// Longest record (bytes without its delimiter) among the counted ones.
    FilePos longest = 0;
    /// Most values in one counted record; 0 when they were not counted.
    std::int64_t mostValues = 0;
    /// Counting went on since the index was loaded or saved.
    bool changed = false;
    /// Records in blocks (BDW): reaching a checkpoint's record also needs
    /// where the block around it ends (the checkpoint itself when it starts
    /// a block), so blockEnds[k] goes with checkpoint k, and countedBlockEnd
    /// with countedEnd. Saved as an optional part after the checkpoints.
    bool blocked = false;
    std::vector<FilePos> blockEnds;
    FilePos countedBlockEnd = 0;

    /// Checkpoints of a reused indexing file stay on disk until counting
    /// goes on: opening a counted file then costs no more than a small one.
    std::shared_ptr<DataReader> stored;
    FilePos storedOffset = 0;
    size_t storedCount = 0;

    void Reset(FilePos dataStart);
    size_t CheckpointCount() const { return stored ? storedCount : checkpoints.size(); }
    /// Checkpoint K (K < CheckpointCount()); -1 when the stored file fails.
    FilePos Checkpoint(size_t k) const;
    /// Reads stored checkpoints into memory; false when the file fails.
    bool Materialize();
    /// Records a record end at Offset (just after its delimiter).
    void AddEnd(FilePos offset) {
        ++counted;
        countedEnd = offset;
        changed = true;
        if (counted % kStride == 0) checkpoints.push_back(offset);
    }
    size_t MemoryBytes() const {
        return (checkpoints.capacity() + blockEnds.capacity()) * sizeof(FilePos);
    }
};

/// What an index file must match to be reused: the data file's size, time,
/// inode and change time, a sample of its content, and the division it was
/// counted with.
struct IndexKey {
    FilePos fileSize = 0;
    std::int64_t fileTime = 0;
    std::string division;  ///< delimiters and byte offset, as text
    std::uint64_t content = 0;
    std::int64_t inode = 0;
    std::int64_t changeTime = 0;  ///< nanoseconds
};

/// The key of the file Reader has open, counted with Division.
IndexKey IndexKeyOf(const DataReader& reader, const std::string& division);

/// A checksum of the first and last 64 KiB of the file and of the first
/// 4 KiB of every 64 MiB: copying another file of the same size and time
/// over the data file (cp -p, touch -r) still changes it.
std::uint64_t ContentSample(const DataReader& reader);

/// Writes Index to Path (temporary file and rename). False on failure.
bool SaveRecordIndex(const std::string& path, const IndexKey& key, const RecordIndex& index);
/// Reads Path into Index when it exists, is sound and matches Key.
bool LoadRecordIndex(const std::string& path, const IndexKey& key, RecordIndex& index);

/// Writes Text to Path through a temporary file in the same folder renamed
/// over it, so a failure never leaves a half-written file. Error describes a
/// failure.
bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error);

}  // namespace velmor::data
