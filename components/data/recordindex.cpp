#include "data/recordindex.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace velmor::data {

namespace {

constexpr char kMagic[8] = {'V', 'D', 'I', 'D', 'X', '0', '1', '\n'};

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

}  // namespace

void RecordIndex::Reset(FilePos dataStart) {
    checkpoints.assign(1, dataStart);
    counted = 0;
    countedEnd = dataStart;
    complete = false;
    longest = 0;
}

bool WriteFileAtomically(const std::string& path, const std::string& text, std::string& error) {
    std::string temp = path + ".tmp" + std::to_string(::getpid());
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) {
        error = std::strerror(errno);
        return false;
    }
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            error = n < 0 ? std::strerror(errno) : "the disk is full";
            ::close(fd);
            ::unlink(temp.c_str());
            return false;
        }
        done += static_cast<size_t>(n);
    }
    if (::close(fd) != 0 || std::rename(temp.c_str(), path.c_str()) != 0) {
        error = std::strerror(errno);
        ::unlink(temp.c_str());
        return false;
    }
    return true;
}

bool SaveRecordIndex(const std::string& path, const IndexKey& key, const RecordIndex& index) {
    std::string out(kMagic, sizeof kMagic);
    PutNumber(out, key.fileSize);
    PutNumber(out, key.fileTime);
    PutNumber(out, static_cast<std::int64_t>(key.division.size()));
    out += key.division;
    PutNumber(out, index.counted);
    PutNumber(out, index.countedEnd);
    PutNumber(out, index.complete ? 1 : 0);
    PutNumber(out, index.longest);
    PutNumber(out, static_cast<std::int64_t>(index.checkpoints.size()));
    out.reserve(out.size() + index.checkpoints.size() * 8);
    for (FilePos p : index.checkpoints) PutNumber(out, p);
    std::string error;
    return WriteFileAtomically(path, out, error);
}

bool LoadRecordIndex(const std::string& path, const IndexKey& key, RecordIndex& index) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (data.size() < sizeof kMagic || std::memcmp(data.data(), kMagic, sizeof kMagic) != 0)
        return false;
    size_t at = sizeof kMagic;
    std::int64_t size = 0, time = 0, divisionLength = 0;
    if (!GetNumber(data, at, size) || !GetNumber(data, at, time) ||
        !GetNumber(data, at, divisionLength))
        return false;
    if (size != key.fileSize || time != key.fileTime || divisionLength < 0 ||
        static_cast<size_t>(divisionLength) > data.size() - at)
        return false;
    if (data.compare(at, static_cast<size_t>(divisionLength), key.division) != 0 ||
        static_cast<size_t>(divisionLength) != key.division.size())
        return false;
    at += static_cast<size_t>(divisionLength);
    RecordIndex loaded;
    std::int64_t complete = 0, points = 0;
    if (!GetNumber(data, at, loaded.counted) || !GetNumber(data, at, loaded.countedEnd) ||
        !GetNumber(data, at, complete) || !GetNumber(data, at, loaded.longest) ||
        !GetNumber(data, at, points))
        return false;
    if (points < 1 || static_cast<std::uint64_t>(points) != (data.size() - at) / 8 ||
        (data.size() - at) % 8 != 0)
        return false;
    if (loaded.counted < 0 || points != loaded.counted / RecordIndex::kStride + 1 ||
        loaded.countedEnd < 0 || loaded.countedEnd > size)
        return false;
    loaded.complete = complete != 0;
    loaded.checkpoints.resize(static_cast<size_t>(points));
    FilePos previous = -1;
    for (auto& p : loaded.checkpoints) {
        GetNumber(data, at, p);
        if (p < previous || p > size) return false;
        previous = p;
    }
    index = std::move(loaded);
    return true;
}

}  // namespace velmor::data
