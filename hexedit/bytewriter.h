// The one way a byte reaches the data file from the hex editor: the
// read-only question first, then a single byte at its place, never past the
// end of the file.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velmor::hexedit {

enum class Writable { Yes, Refused, Failed };

/// While the user has no write permission on Path, AskClearReadOnly is
/// asked; true grants the owner write permission (nothing else changes).
/// Failed sets Error.
Writable EnsureWritable(const std::string& path, const std::function<bool()>& askClearReadOnly,
                        std::string& error);

struct ByteWriteOutcome {
    bool written = false;  ///< false: refused, past the end, or Error
    std::string error;
};

ByteWriteOutcome WriteByte(const std::string& path, std::int64_t position, unsigned char value,
                           const std::function<bool()>& askClearReadOnly);

}  // namespace velmor::hexedit
