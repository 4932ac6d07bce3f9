// Byte-pattern find and replace over a whole data file, shared by the hex
// editor's find/replace dialog and `velmor-data bytes`. The file is read in
// large chunks that overlap by the pattern's length less one, so an
// occurrence across a chunk boundary is found, and the outcome never depends
// on where the chunks fall.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "data/types.h"

namespace velmor::data {

constexpr std::size_t kByteChunk = std::size_t{4} << 20;

/// The refusal of an empty pattern, for find and replace alike.
inline constexpr const char* kNothingToFind =
    "There is nothing to find: the text to replace is empty.";

struct ByteFindResult {
    std::int64_t position = 0;  ///< 1-based; 0 when not found
    bool cancelled = false;
    std::string error;  ///< set when the file could not be read
};

/// First occurrence of Pattern at or after the 1-based From. An empty
/// pattern is never found. Progress (done, total) runs after each chunk;
/// false from it cancels.
ByteFindResult FindBytes(const std::string& path, std::string_view pattern, std::int64_t from,
                         const ProgressHandler& progress = {}, std::size_t chunk = kByteChunk);

/// Every occurrence at or after From, overlapping ones included (each search
/// starts one byte after the last match); OnMatch gets the 1-based position
/// and returns false to stop. Position of the result holds the count.
ByteFindResult FindAllBytes(const std::string& path, std::string_view pattern, std::int64_t from,
                            const std::function<bool(std::int64_t)>& onMatch,
                            const ProgressHandler& progress = {}, std::size_t chunk = kByteChunk);

struct ByteReplaceResult {
    std::int64_t replaced = 0;
    bool cancelled = false;
    bool rewritten = false;  ///< the file was replaced by a new one (lengths differ)
    std::string error;       ///< set on failure
};

/// Replaces, from left to right, every non-overlapping occurrence of Find
/// in the file as it was before the call. Equal lengths are written in
/// place chunk by chunk (a cancel stops between chunks, and what was
/// replaced stays). Other lengths are written as they are produced through
/// util::SafeWriter (the real file behind a link, hard links and owner
/// kept); on failure or cancel the data file is untouched and the temporary
/// file is removed. An empty Find, a read-only file and anything but a
/// regular file are refused.
ByteReplaceResult ReplaceAllBytes(const std::string& path, std::string_view find,
                                  std::string_view replacement,
                                  const ProgressHandler& progress = {},
                                  std::size_t chunk = kByteChunk);

}  // namespace velmor::data
