#include "util/safewrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <random>
#include <vector>

namespace velmor::util {

namespace {

// The signal handler may only read memory that is already in place, so the
// paths live in fixed slots; a slot is read only while it is marked live.
constexpr int kSlots = 64;
constexpr std::size_t kPathSpace = PATH_MAX;
enum SlotState : int { kFree = 0, kFilling = 1, kLive = 2 };
std::atomic<int> slotState[kSlots];
char slotPath[kSlots][kPathSpace];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousAction[3];
std::mutex handlerGuard;

extern "C" void RemoveTemporaryFiles(int signal) {
    const int saved = errno;
    for (int i = 0; i < kSlots; ++i) {
        if (slotState[i].load() == kLive) ::unlink(slotPath[i]);
    }
    // Then whatever the signal did before: normally the end of the program.
    for (int k = 0; k < 3; ++k) {
        if (kSignals[k] == signal) ::sigaction(signal, &previousAction[k], nullptr);
    }
    errno = saved;
    ::raise(signal);
}

// Checked at every registration, so a handler that someone else installed
// later is chained to rather than lost.
void InstallHandlers() {
    std::lock_guard<std::mutex> lock(handlerGuard);
    for (int k = 0; k < 3; ++k) {
        struct sigaction current {};
        if (::sigaction(kSignals[k], nullptr, &current) != 0) continue;
        const bool plain = !(current.sa_flags & SA_SIGINFO);
        if (plain && current.sa_handler == RemoveTemporaryFiles) continue;
        // An ignored signal (nohup) stays ignored: it ends nothing.
        if (plain && current.sa_handler == SIG_IGN) continue;
        previousAction[k] = current;
        struct sigaction ours {};
        ours.sa_handler = RemoveTemporaryFiles;
        sigemptyset(&ours.sa_mask);
        for (int s : kSignals) sigaddset(&ours.sa_mask, s);
        ours.sa_flags = SA_RESTART;
        ::sigaction(kSignals[k], &ours, nullptr);
    }
}

std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Joined(const std::string& folder, const std::string& name) {
    return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string RealFolder(const std::string& folder) {
    char* real = ::realpath(folder.c_str(), nullptr);
    if (!real) return folder;
    std::string out(real);
    std::free(real);
    return out;
}

mode_t CurrentUmask() {
    // /proc reads it without changing it, so no other thread sees a 0 umask.
    if (std::FILE* status = std::fopen("/proc/self/status", "re")) {
        char line[256];
        while (std::fgets(line, sizeof line, status)) {
            unsigned mask = 0;
            if (std::sscanf(line, "Umask: %o", &mask) == 1) {
                std::fclose(status);
                return static_cast<mode_t>(mask);
            }
        }
        std::fclose(status);
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

void SyncFolder(const std::string& folder) {
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir < 0) return;
    ::fsync(dir);
    ::close(dir);
}

std::string RandomTail() {
    static std::mutex guard;
    static std::mt19937_64 engine{std::random_device{}()};
    static const char letters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    std::lock_guard<std::mutex> lock(guard);
    std::string tail(6, 'a');
    for (char& c : tail) c = letters[engine() % 36];
    return tail;
}

// A temporary file of Real whose writer is gone: "<prefix><pid>-<6 letters>"
// with no such process alive.
bool IsStale(const std::string& entry, const std::string& prefixName) {
    if (entry.compare(0, prefixName.size(), prefixName) != 0) return false;
    const std::string rest = entry.substr(prefixName.size());
    const std::size_t dash = rest.find('-');
    if (dash == 0 || dash == std::string::npos || rest.size() != dash + 7) return false;
    long pid = 0;
    for (std::size_t i = 0; i < dash; ++i) {
        if (rest[i] < '0' || rest[i] > '9' || pid > 100000000) return false;
        pid = pid * 10 + (rest[i] - '0');
    }
    if (pid == static_cast<long>(::getpid())) return false;
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

void RemoveStaleTemporaries(const std::string& real) {
    const std::string folder = FolderOf(real);
    const std::string prefixName = NameOf(TemporaryPrefix(real));
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    std::vector<std::string> stale;
    while (const dirent* e = ::readdir(dir)) {
        if (IsStale(e->d_name, prefixName)) stale.emplace_back(e->d_name);
    }
    ::closedir(dir);
    for (const std::string& name : stale) ::unlink(Joined(folder, name).c_str());
}

}  // namespace

int RegisterTemporaryFile(const std::string& path) {
    if (path.size() >= kPathSpace) return -1;
    InstallHandlers();
    for (int i = 0; i < kSlots; ++i) {
        int expected = kFree;
        if (slotState[i].compare_exchange_strong(expected, kFilling)) {
            std::memcpy(slotPath[i], path.c_str(), path.size() + 1);
            slotState[i].store(kLive);
            return i;
        }
    }
    return -1;
}

void ForgetTemporaryFile(int slot) {
    if (slot >= 0 && slot < kSlots) slotState[slot].store(kFree);
}

bool ResolveWriteTarget(const std::string& path, std::string& real, bool& exists,
                        std::string& reason) {
    if (path.empty()) {
        reason = "no file name was given";
        return false;
    }
    std::string p = path;
    struct stat info {};
    exists = false;
    for (int hops = 0;; ++hops) {
        if (::lstat(p.c_str(), &info) != 0) {
            if (errno != ENOENT) {
                reason = std::strerror(errno);
                return false;
            }
            break;  // a new file, or the missing end of a link: created there
        }
        if (!S_ISLNK(info.st_mode)) {
            exists = true;
            break;
        }
        if (hops == 40) {
            reason = std::strerror(ELOOP);
            return false;
        }
        std::vector<char> link(PATH_MAX + 1);
        const ssize_t n = ::readlink(p.c_str(), link.data(), link.size() - 1);
        if (n < 0) {
            reason = std::strerror(errno);
            return false;
        }
        const std::string target(link.data(), static_cast<std::size_t>(n));
        p = target.front() == '/' ? target : Joined(FolderOf(p), target);
    }
    real = Joined(RealFolder(FolderOf(p)), NameOf(p));
    if (!exists) return true;
    if (!S_ISREG(info.st_mode)) {
        reason = "it is not a regular file";
        return false;
    }
    // By the bits, so the superuser is refused too: the user took the write
    // permission away on purpose.
    if ((info.st_mode & 0222) == 0 || ::faccessat(AT_FDCWD, real.c_str(), W_OK, AT_EACCESS) != 0) {
        reason = "it is read-only";
        return false;
    }
    return true;
}

std::string TemporaryPrefix(const std::string& real) {
    // Room for ".temp-", a process number and six letters within a name's
    // 255 bytes.
    std::string name = NameOf(real).substr(0, 200);
    return Joined(FolderOf(real), name + ".temp-");
}

SafeWriter::SafeWriter(std::string path) : path_(std::move(path)) {}

SafeWriter::~SafeWriter() {
    Abort();
}

bool SafeWriter::Refuse(const std::string& reason) {
    if (error_.empty()) {
        reason_ = reason;
        error_ = "Cannot write \"" + path_ + "\": " + reason + ".";
    }
    return false;
}

bool SafeWriter::Fail(int errorNumber) {
    Refuse(std::strerror(errorNumber));
    Abort();
    return false;
}

void SafeWriter::Forget() {
    ForgetTemporaryFile(slot_);
    slot_ = -1;
}

bool SafeWriter::Open() {
    std::string reason;
    if (!ResolveWriteTarget(path_, real_, exists_, reason)) return Refuse(reason);
    RemoveStaleTemporaries(real_);
    const std::string prefix = TemporaryPrefix(real_) + std::to_string(::getpid()) + "-";
    for (int attempt = 0; attempt < 100; ++attempt) {
        temporary_ = prefix + RandomTail();
        // Registered before it exists, so no signal can come between.
        slot_ = RegisterTemporaryFile(temporary_);
        // A new file gets the user's usual rights (the umask decides); the
        // copy of an existing one stays private until it takes its mode.
        fd_ = ::open(temporary_.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC,
                     exists_ ? 0600 : 0666);
        if (fd_ >= 0) return true;
        const int saved = errno;
        Forget();
        temporary_.clear();
        if (saved != EEXIST) {
            return Refuse("cannot create a temporary file in the folder \"" + FolderOf(real_) +
                          "\": " + std::strerror(saved));
        }
    }
    return Refuse("cannot create a temporary file in the folder \"" + FolderOf(real_) + "\"");
}

bool SafeWriter::Write(std::string_view bytes) {
    if (fd_ < 0) return false;
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return Fail(n < 0 ? errno : ENOSPC);
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

bool SafeWriter::Commit() {
    if (fd_ < 0) return false;
    // On the disk before it becomes the file: a crash soon after must not
    // leave an empty file where the old one was.
    if (sync_ && ::fsync(fd_) != 0 && errno != EINVAL) return Fail(errno);
    struct stat target {};
    if (::stat(real_.c_str(), &target) == 0) {
        if (!S_ISREG(target.st_mode)) return Fail(EISDIR);
        bool writeBack = target.st_nlink > 1;
        if (!writeBack && (target.st_uid != ::geteuid() || target.st_gid != ::getegid())) {
            writeBack = ::fchown(fd_, target.st_uid, target.st_gid) != 0;
        }
        if (writeBack) return WriteBack();
        if (::fchmod(fd_, target.st_mode & 07777) != 0) return Fail(errno);
    } else if (::fchmod(fd_, 0666 & ~CurrentUmask()) != 0) {
        return Fail(errno);
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) return Fail(errno);
    if (::rename(temporary_.c_str(), real_.c_str()) != 0) return Fail(errno);
    Forget();
    temporary_.clear();
    if (sync_) SyncFolder(FolderOf(real_));
    return true;
}

// Every name of the file and its owner stay: the original is overwritten
// from the complete, synced copy. Should that fail midway, the copy stays
// and the message names it.
bool SafeWriter::WriteBack() {
    const int out = ::open(real_.c_str(), O_WRONLY | O_CLOEXEC);
    if (out < 0) return Fail(errno);
    const off_t size = ::lseek(fd_, 0, SEEK_END);
    std::vector<char> buffer(std::size_t{1} << 20);
    int failure = size < 0 ? errno : 0;
    for (off_t at = 0; failure == 0 && at < size;) {
        const ssize_t got = ::pread(fd_, buffer.data(), buffer.size(), at);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) {
            failure = got < 0 ? errno : EIO;
            break;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t n = ::pwrite(out, buffer.data() + done,
                                       static_cast<std::size_t>(got - done), at + done);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                failure = n < 0 ? errno : ENOSPC;
                break;
            }
            done += n;
        }
        at += got;
    }
    if (failure == 0 && (::ftruncate(out, size) != 0 || ::fsync(out) != 0)) failure = errno;
    if (::close(out) != 0 && failure == 0) failure = errno;
    if (failure != 0) {
        Refuse(std::string(std::strerror(failure)) + "; its complete new content is in \"" +
               temporary_ + "\"");
        ::close(fd_);
        fd_ = -1;
        Forget();  // kept for the user: neither Abort nor a signal removes it
        kept_ = true;
        return false;
    }
    ::close(fd_);
    fd_ = -1;
    ::unlink(temporary_.c_str());
    Forget();
    temporary_.clear();
    return true;
}

void SafeWriter::Abort() {
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!temporary_.empty() && !kept_) {
        ::unlink(temporary_.c_str());
        temporary_.clear();
    }
    Forget();
}

bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string& error) {
    SafeWriter writer(path);
    if (writer.Open() && writer.Write(bytes) && writer.Commit()) return true;
    error = writer.Error();
    return false;
}

}  // namespace velmor::util
