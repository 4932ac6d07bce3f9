#include "data/bytesearch.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <vector>

#include "data/bytefile.h"
#include "data/phrasefinder.h"
#include "util/safewrite.h"

namespace velmor::data {

namespace {

// Index of the first occurrence in Hay[from, size), or npos.
std::size_t Search(const char* hay, std::size_t size, std::size_t from, std::string_view pattern) {
    if (from >= size || size - from < pattern.size()) return std::string_view::npos;
    const void* hit = ::memmem(hay + from, size - from, pattern.data(), pattern.size());
    return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - hay)
               : std::string_view::npos;
}

// Exact bytes: every byte folds to itself.
const std::array<unsigned char, 256>& IdentityFold() {
    static const std::array<unsigned char, 256> table = [] {
        std::array<unsigned char, 256> t{};
        for (std::size_t b = 0; b < t.size(); ++b) t[b] = static_cast<unsigned char>(b);
        return t;
    }();
    return table;
}

bool ReadFull(int fd, char* buffer, std::size_t count, std::int64_t offset, std::size_t& got) {
    got = 0;
    while (got < count) {
        const ssize_t n = ::pread(fd, buffer + got, count - got,
                                  static_cast<off_t>(offset) + static_cast<off_t>(got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    return true;
}

bool WriteFull(int fd, const char* data, std::size_t count, std::int64_t offset) {
    std::size_t done = 0;
    while (done < count) {
        const ssize_t n = ::pwrite(fd, data + done, count - done,
                                   static_cast<off_t>(offset) + static_cast<off_t>(done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool OpenForReading(const std::string& path, FileDescriptor& file, std::int64_t& size,
                    std::string& error) {
    // Without blocking, so a FIFO is refused at once instead of waiting for
    // a writer.
    file.fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        error = DescribeFailure("Cannot open", path, errno);
        return false;
    }
    if (!S_ISREG(info.st_mode)) {
        error = "\"" + path + "\" is not a regular file; only files can be searched.";
        return false;
    }
    size = info.st_size;
    ::posix_fadvise(file.fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    return true;
}

bool Continue(const ProgressHandler& progress, std::int64_t done, std::int64_t total) {
    return !progress || progress(done, total);
}

ByteReplaceResult ReplaceInPlace(const std::string& path, std::string_view find,
                                 std::string_view replacement, const ProgressHandler& progress,
                                 std::size_t chunk) {
    ByteReplaceResult result;
    FileDescriptor file(::open(path.c_str(), O_RDWR | O_CLOEXEC));
    struct stat info {};
    if (file.fd < 0 || ::fstat(file.fd, &info) != 0) {
        result.error = DescribeFailure("Cannot open", path, errno);
        return result;
    }
    const std::int64_t size = info.st_size;
    const std::size_t m = find.size();
    std::vector<char> buffer(chunk + m - 1);
    std::int64_t next = 0;  // no occurrence may start before: it would overlap a replaced one
    for (std::int64_t o = 0; o < size;) {
        std::size_t got = 0;
        const auto want = static_cast<std::size_t>(
            std::min<std::int64_t>(static_cast<std::int64_t>(buffer.size()), size - o));
        if (!ReadFull(file.fd, buffer.data(), want, o, got)) {
            result.error = DescribeFailure("Cannot read", path, errno);
            return result;
        }
        std::size_t from = static_cast<std::size_t>(std::max<std::int64_t>(next - o, 0));
        std::size_t first = std::string_view::npos, last = 0;
        for (std::size_t k; (k = Search(buffer.data(), got, from, find)) != std::string_view::npos;
             from = k + m) {
            std::memcpy(buffer.data() + k, replacement.data(), m);
            first = std::min(first, k);
            last = k + m;
            ++result.replaced;
        }
        next = std::max(next, o + static_cast<std::int64_t>(from));
        if (first != std::string_view::npos &&
            !WriteFull(file.fd, buffer.data() + first, last - first,
                       o + static_cast<std::int64_t>(first))) {
            result.error = DescribeFailure("Cannot write to", path, errno);
            return result;
        }
        if (o + static_cast<std::int64_t>(got) >= size || got < want) break;
        o += static_cast<std::int64_t>(got - (m - 1));
        if (!Continue(progress, o, size)) {
            result.cancelled = true;
            break;
        }
    }
    if (result.replaced > 0 && ::fdatasync(file.fd) != 0) {
        result.error = DescribeFailure("Cannot write to", path, errno);
        return result;
    }
    return result;
}

// Streams the replaced content of Source into Target, writing whenever a
// chunk's worth is gathered, so memory stays a few chunks whatever the
// lengths; false on a read or write failure (Error set) or a cancel.
bool CopyReplaced(int source, std::int64_t size, util::SafeWriter& target, std::string_view find,
                  std::string_view replacement, const ProgressHandler& progress, std::size_t chunk,
                  ByteReplaceResult& result, const std::string& path) {
    const std::size_t m = find.size();
    std::vector<char> buffer(chunk + m - 1);
    std::string out;
    out.reserve(chunk + replacement.size());
    auto emit = [&](const char* data, std::size_t count) {
        while (count > 0) {
            const std::size_t take = std::min(count, chunk + replacement.size() - out.size());
            out.append(data, take);
            data += take;
            count -= take;
            if (out.size() >= chunk) {
                if (!target.Write(out)) return false;
                out.clear();
            }
        }
        return true;
    };
    std::size_t keep = 0;
    for (std::int64_t pos = 0; pos < size || keep > 0;) {
        std::size_t got = 0;
        if (!ReadFull(source, buffer.data() + keep, chunk, pos, got)) {
            result.error = DescribeFailure("Cannot read", path, errno);
            return false;
        }
        pos += static_cast<std::int64_t>(got);
        const bool atEnd = got < chunk || pos >= size;
        const std::size_t total = keep + got;
        std::size_t i = 0;
        bool ok = true;
        for (std::size_t k;
             ok && (k = Search(buffer.data(), total, i, find)) != std::string_view::npos;
             i = k + m) {
            ok = emit(buffer.data() + i, k - i) && emit(replacement.data(), replacement.size());
            ++result.replaced;
        }
        // The last m - 1 bytes may begin an occurrence that the next read completes.
        const std::size_t tail = atEnd ? total : std::max(i, total - std::min(total, m - 1));
        ok = ok && emit(buffer.data() + i, tail - i);
        if (ok && atEnd) ok = target.Write(out);
        if (!ok) {
            result.error = target.Error();
            return false;
        }
        keep = total - tail;
        std::memmove(buffer.data(), buffer.data() + tail, keep);
        if (atEnd) break;
        if (!Continue(progress, pos, size)) {
            result.cancelled = true;
            return false;
        }
    }
    return true;
}

ByteReplaceResult ReplaceThroughCopy(const std::string& path, std::string_view find,
                                     std::string_view replacement, const ProgressHandler& progress,
                                     std::size_t chunk) {
    ByteReplaceResult result;
    FileDescriptor source;
    std::int64_t size = 0;
    if (!OpenForReading(path, source, size, result.error)) return result;
    util::SafeWriter target(path);
    if (!target.Open()) {
        result.error = target.Error();
        return result;
    }
    if (CopyReplaced(source.fd, size, target, find, replacement, progress, chunk, result, path) &&
        result.replaced > 0) {
        if (target.Commit()) {
            result.rewritten = true;
            return result;
        }
        result.error = target.Error();
    }
    target.Abort();
    if (!result.error.empty() || result.cancelled) result.replaced = 0;
    return result;
}

}  // namespace

ByteFindResult FindAllBytes(const std::string& path, std::string_view pattern, std::int64_t from,
                            const std::function<bool(std::int64_t)>& onMatch,
                            const ProgressHandler& progress, std::size_t chunk) {
    ByteFindResult result;
    FileDescriptor file;
    std::int64_t size = 0;
    if (!OpenForReading(path, file, size, result.error) || pattern.empty()) return result;
    const std::size_t m = pattern.size();
    // The engine's vector filter on the first and last byte: glibc's memmem
    // took half the time of a search.
    const PhraseFinder finder(std::string(pattern), IdentityFold());
    std::vector<char> buffer(chunk + m - 1);
    std::int64_t pos = std::max<std::int64_t>(from, 1) - 1;  // next byte to read
    std::size_t keep = 0;
    while (pos < size) {
        std::size_t got = 0;
        if (!ReadFull(file.fd, buffer.data() + keep, chunk, pos, got)) {
            result.error = DescribeFailure("Cannot read", path, errno);
            return result;
        }
        if (got == 0) break;
        const std::int64_t base = pos - static_cast<std::int64_t>(keep);  // offset of buffer[0]
        const std::size_t total = keep + got;
        for (std::size_t k = 0; (k = finder.Next(buffer.data(), total, k)) != PhraseFinder::npos;
             ++k) {
            ++result.position;
            if (!onMatch(base + static_cast<std::int64_t>(k) + 1)) return result;
        }
        pos += static_cast<std::int64_t>(got);
        keep = std::min(total, m - 1);
        std::memmove(buffer.data(), buffer.data() + total - keep, keep);
        if (pos < size && !Continue(progress, pos, size)) {
            result.cancelled = true;
            return result;
        }
    }
    return result;
}

ByteFindResult FindBytes(const std::string& path, std::string_view pattern, std::int64_t from,
                         const ProgressHandler& progress, std::size_t chunk) {
    std::int64_t found = 0;
    ByteFindResult result = FindAllBytes(
        path, pattern, from,
        [&found](std::int64_t position) {
            found = position;
            return false;
        },
        progress, chunk);
    result.position = result.cancelled ? 0 : found;
    return result;
}

ByteReplaceResult ReplaceAllBytes(const std::string& path, std::string_view find,
                                  std::string_view replacement, const ProgressHandler& progress,
                                  std::size_t chunk) {
    if (find.empty()) {
        ByteReplaceResult refused;
        refused.error = kNothingToFind;
        return refused;
    }
    std::string real, reason;
    bool exists = false;
    if (!util::ResolveWriteTarget(path, real, exists, reason) || !exists) {
        // Renaming a copy over it would get round the missing permission.
        ByteReplaceResult refused;
        if (reason.empty()) reason = SystemErrorText(ENOENT);
        refused.error = reason.rfind("it ", 0) == 0 ? "\"" + path + "\" " + reason.substr(3) + "."
                                                    : "Cannot open \"" + path + "\": " + reason;
        return refused;
    }
    chunk = std::max<std::size_t>(chunk, 1);
    return find.size() == replacement.size()
               ? ReplaceInPlace(path, find, replacement, progress, chunk)
               : ReplaceThroughCopy(path, find, replacement, progress, chunk);
}

}  // namespace velmor::data
