// Small shared types of the data engine.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace velmor::data {

/// 1-based record number; 0 means "no record".
using RecordNo = std::int64_t;
/// Byte count or 0-based byte offset within a data file.
using FilePos = std::int64_t;

/// A failure reported by an engine object: Description for the user; the
/// handler may set Cancel (the engine stops the operation either way).
using ErrorHandler = std::function<void(const std::string& description, bool& cancel)>;

/// Progress of a long operation (counting, converting). Returning false
/// cancels it; the object stays consistent.
using ProgressHandler = std::function<bool(std::int64_t done, std::int64_t total)>;

}  // namespace velmor::data
