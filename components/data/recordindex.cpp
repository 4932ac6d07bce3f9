#include "data/recordindex.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "data/datareader.h"
#include "util/safewrite.h"

namespace velmor::data {

namespace {

constexpr char kMagic[8] = {'V', 'D', 'I', 'D', 'X', '0', '3', '\n'};
// Opens the optional part of a blocked file's index: the block ends.
constexpr std::int64_t kBlockTag = 0x53444E454B4C4221;  // "!BLKENDS"

void PutNumber(std::string& out, std::int64_t v) {
    for (int i = 0; i < 8; ++i)
        out.push_back(static_cast<char>((static_cast<std::uint64_t>(v) >> (8 * i)) & 0xFF));
}

bool GetNumber(const std::string& in, size_t& at, std::int64_t& v) {
    if (at > in.size() || in.size() - at < 8) return false;
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u |= static_cast<std::uint64_t>(static_cast<unsigned char>(in[at + static_cast<size_t>(i)]))
             << (8 * i);
    at += 8;
    v = static_cast<std::int64_t>(u);
    return true;
}

void Mix(std::uint64_t& sum, std::string_view bytes) {
    // FNV-1a, 64 bits.
    for (unsigned char c : bytes) {
        sum ^= c;
        sum *= 0x100000001B3ULL;
    }
}

}  // namespace

std::uint64_t ContentSample(const DataReader& reader) {
    constexpr FilePos kEnds = FilePos{64} << 10, kStep = FilePos{64} << 20;
    constexpr size_t kPiece = size_t{4} << 10;
    const FilePos size = reader.Size();
    std::uint64_t sum = 0xCBF29CE484222325ULL;
    Mix(sum, reader.ReadString(0, static_cast<size_t>(std::min(size, kEnds))));
    for (FilePos at = kStep; at < size; at += kStep) Mix(sum, reader.ReadString(at, kPiece));
    if (size > kEnds) Mix(sum, reader.ReadString(size - kEnds, static_cast<size_t>(kEnds)));
    return sum;
}

IndexKey IndexKeyOf(const DataReader& reader, const std::string& division) {
    IndexKey key{reader.Size(), reader.ModificationTime().time_since_epoch().count(), division,
                 ContentSample(reader)};
    key.inode = reader.Inode();
    key.changeTime = reader.ChangeTime();
    return key;
}

void RecordIndex::Reset(FilePos dataStart) {
    stored.reset();
    storedCount = 0;
    checkpoints.assign(1, dataStart);
    counted = 0;
    countedEnd = dataStart;
    complete = false;
    longest = 0;
    mostValues = 0;
    blockEnds.assign(1, dataStart);
    countedBlockEnd = dataStart;
}

FilePos RecordIndex::Checkpoint(size_t k) const {
    if (!stored) return checkpoints[k];
    char bytes[8];
    if (stored->ReadAt(storedOffset + static_cast<FilePos>(k) * 8, bytes, 8) != 8) return -1;
    std::uint64_t u = 0;
    for (int i = 0; i < 8; ++i)
        u |= static_cast<std::uint64_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    return static_cast<FilePos>(u);
}

bool RecordIndex::Materialize() {
    if (!stored) return true;
    std::vector<FilePos> loaded(storedCount);
    std::string bytes = stored->ReadString(storedOffset, storedCount * 8);
    bool ok = bytes.size() == storedCount * 8;
    for (size_t k = 0; ok && k < storedCount; ++k) {
        std::uint64_t u = 0;
        for (int i = 0; i < 8; ++i)
            u |= static_cast<std::uint64_t>(
                     static_cast<unsigned char>(bytes[k * 8 + static_cast<size_t>(i)]))
                 << (8 * i);
        loaded[k] = static_cast<FilePos>(u);
        ok = loaded[k] >= (k ? loaded[k - 1] : 0);
    }
    stored.reset();
    storedCount = 0;
    if (!ok) {
        // A damaged indexing file: count again from the start.
        FilePos start = loaded.empty() ? 0 : loaded[0];
        Reset(start);
        return false;
    }
    checkpoints = std::move(loaded);
    return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    util::SafeWriter file(path);
    if (file.Open() && file.Write(text) && file.Commit()) return true;
    error = file.Reason();
    return false;
}

bool SaveRecordIndex(const std::string& path, const IndexKey& key, const RecordIndex& index) {
    if (index.stored) return false;  // nothing counted beyond the stored file
    std::string out(kMagic, sizeof kMagic);
    PutNumber(out, key.fileSize);
    PutNumber(out, key.fileTime);
    PutNumber(out, key.inode);
    PutNumber(out, key.changeTime);
    PutNumber(out, static_cast<std::int64_t>(key.content));
    PutNumber(out, static_cast<std::int64_t>(key.division.size()));
    out += key.division;
    PutNumber(out, index.counted);
    PutNumber(out, index.countedEnd);
    // The most values ride in the completion word's upper bits, so an index
    // of an older version still reads (as "not counted").
    PutNumber(out, index.complete ? 1 + 2 * std::max<std::int64_t>(index.mostValues, 0) : 0);
    PutNumber(out, index.longest);
    PutNumber(out, static_cast<std::int64_t>(index.checkpoints.size()));
    if (index.blocked && index.blockEnds.size() != index.checkpoints.size()) return false;
    // Eight little-endian bytes each: on a little-endian machine the
    // checkpoints' own memory, written as it is (pushing them a byte at a
    // time cost as much as the write itself).
    std::string_view points(reinterpret_cast<const char*>(index.checkpoints.data()),
                            index.checkpoints.size() * 8);
    std::string swapped;
    if constexpr (std::endian::native != std::endian::little) {
        swapped.reserve(points.size());
        for (FilePos p : index.checkpoints) PutNumber(swapped, p);
        points = swapped;
    }
    std::string blocks;
    if (index.blocked) {
        PutNumber(blocks, kBlockTag);
        PutNumber(blocks, index.countedBlockEnd);
        for (FilePos p : index.blockEnds) PutNumber(blocks, p);
    }
    // An index is made again by counting, so it is not synced (that took a
    // tenth of a count's time): a crash may leave it missing or cut short,
    // which the exact size looked for on loading turns away.
    util::SafeWriter file(path);
    file.SkipSync();
    return file.Open() && file.Write(out) && file.Write(points) && file.Write(blocks) &&
           file.Commit();
}

namespace {
// The optional part after the checkpoints: its tag, the counted end's block
// end and one block end per checkpoint, never decreasing.
bool LoadBlockEnds(const DataReader& reader, FilePos at, std::int64_t points, RecordIndex& index) {
    const std::string part = reader.ReadString(at, static_cast<size_t>(16 + points * 8));
    size_t from = 0;
    std::int64_t tag = 0;
    if (!GetNumber(part, from, tag) || tag != kBlockTag ||
        !GetNumber(part, from, index.countedBlockEnd) || index.countedBlockEnd < index.countedEnd)
        return false;
    index.blockEnds.assign(static_cast<size_t>(points), 0);
    FilePos previous = 0;
    for (FilePos& end : index.blockEnds) {
        if (!GetNumber(part, from, end) || end < previous) return false;
        previous = end;
    }
    index.blocked = true;
    return true;
}
}  // namespace

bool LoadRecordIndex(const std::string& path, const IndexKey& key, RecordIndex& index) {
    auto reader = std::make_shared<DataReader>();
    std::string error;
    if (!reader->Open(path, error)) return false;
    const size_t headLength = sizeof kMagic + 6 * 8 + key.division.size() + 5 * 8;
    std::string data = reader->ReadString(0, headLength);
    if (data.size() != headLength || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0)
        return false;
    size_t at = sizeof kMagic;
    std::int64_t size = 0, time = 0, inode = 0, changeTime = 0, content = 0, divisionLength = 0;
    GetNumber(data, at, size);
    GetNumber(data, at, time);
    GetNumber(data, at, inode);
    GetNumber(data, at, changeTime);
    GetNumber(data, at, content);
    GetNumber(data, at, divisionLength);
    if (size != key.fileSize || time != key.fileTime || inode != key.inode ||
        changeTime != key.changeTime ||
        static_cast<std::uint64_t>(content) != key.content ||
        divisionLength != static_cast<std::int64_t>(key.division.size()) ||
        data.compare(at, key.division.size(), key.division) != 0)
        return false;
    at += key.division.size();
    RecordIndex loaded;
    std::int64_t complete = 0, points = 0;
    GetNumber(data, at, loaded.counted);
    GetNumber(data, at, loaded.countedEnd);
    GetNumber(data, at, complete);
    GetNumber(data, at, loaded.longest);
    GetNumber(data, at, points);
    const FilePos checkpointsEnd = static_cast<FilePos>(headLength) + points * 8;
    if (loaded.counted < 0 || points != loaded.counted / RecordIndex::kStride + 1 ||
        loaded.countedEnd < 0 || loaded.countedEnd > size || loaded.longest < 0 ||
        (reader->Size() != checkpointsEnd && reader->Size() != checkpointsEnd + 16 + points * 8))
        return false;
    if (reader->Size() != checkpointsEnd && !LoadBlockEnds(*reader, checkpointsEnd, points, loaded))
        return false;
    loaded.complete = complete != 0;
    loaded.mostValues = complete > 0 ? complete >> 1 : 0;
    loaded.stored = std::move(reader);
    loaded.storedOffset = static_cast<FilePos>(headLength);
    loaded.storedCount = static_cast<size_t>(points);
    index = std::move(loaded);
    return true;
}

}  // namespace velmor::data
