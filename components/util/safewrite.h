// The one way this program replaces or creates a file the user named: the
// write goes to the real file behind any symbolic link; a file without write
// permission (judged by its permission bits, so the superuser is refused as
// well) or one that is not a regular file is refused before anything is
// written; the new content is built in a temporary file beside the real
// file, synced, and then renamed over it with the old mode and owner, or,
// where a rename would split hard links or cannot keep the owner, copied
// back into the original file. A temporary file never outlives a failure,
// a cancel, or SIGINT/SIGTERM/SIGHUP, and one left by a crash is removed the
// next time the same file is written.
#pragma once

#include <sys/types.h>

#include <string>
#include <string_view>

namespace velmor::util {

/// Where a write to Path really goes. False with Reason set ("it is
/// read-only", "it is not a regular file", ...) when the write is refused.
bool ResolveWriteTarget(const std::string& path, std::string& real, bool& exists,
                        std::string& reason);

/// The start of every temporary file name used for Real ("data.csv.temp-").
std::string TemporaryPrefix(const std::string& real);

class SafeWriter {
public:
    explicit SafeWriter(std::string path);
    ~SafeWriter();  ///< Abort unless committed
    SafeWriter(const SafeWriter&) = delete;
    SafeWriter& operator=(const SafeWriter&) = delete;

    /// Checks the target, removes stale temporary files of it and creates
    /// the temporary file.
    bool Open();
    /// The temporary file's descriptor (read and write), -1 when not open.
    int Descriptor() const { return fd_; }
    /// Appends all of Bytes at the descriptor's offset.
    bool Write(std::string_view bytes);
    /// Syncs the temporary file and makes it the target's content.
    bool Commit();
    /// For files that can be made again from others (an index): Commit then
    /// neither syncs the content nor the folder. A crash may leave the old
    /// file, no file, or one cut short, never a half-renamed one, so the
    /// reader must check what it reads.
    void SkipSync() { sync_ = false; }
    /// Closes and removes the temporary file; the target stays as it was.
    void Abort();
    /// Records a failure of the caller's own writes through Descriptor().
    bool Fail(int errorNumber);

    /// "Cannot write "path": reason."
    const std::string& Error() const { return error_; }
    /// The reason alone, e.g. "it is read-only".
    const std::string& Reason() const { return reason_; }
    const std::string& TemporaryPath() const { return temporary_; }
    const std::string& RealPath() const { return real_; }

private:
    bool Refuse(const std::string& reason);
    bool WriteBack();
    void Forget();

    std::string path_;
    std::string real_;
    std::string temporary_;
    std::string error_;
    std::string reason_;
    int fd_ = -1;
    int slot_ = -1;
    bool exists_ = false;
    bool kept_ = false;  ///< a failed write-back left the new content here
    bool sync_ = true;
};

/// Writes Bytes as the whole content of Path through a SafeWriter; Error
/// gets the writer's Error() on failure.
bool WriteWholeFile(const std::string& path, std::string_view bytes, std::string& error);

/// The signal handler's list of live temporary files: Register gives a slot
/// (or -1 when all are taken: the file is then only removed by the writer).
int RegisterTemporaryFile(const std::string& path);
void ForgetTemporaryFile(int slot);

}  // namespace velmor::util
