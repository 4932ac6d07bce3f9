// `velmor-data bytes find|replace`: the hex editor's byte-pattern search and
// replacement from the command line, through the same routines.
#pragma once

#include <string>
#include <vector>

namespace velmor::cli {

/// Arguments after "bytes"; gives the exit status (1 for no match or a
/// failure, 2 for a wrong command line).
int RunBytesCommand(const std::vector<std::string>& args);

}  // namespace velmor::cli
