// velmor-data dump: the printout of one record as text, for batch use.
#pragma once

#include <string>
#include <vector>

namespace velmor::cli {

/// Args as velmor-data received them, "dump" first. Returns the exit status.
int RunDump(const std::vector<std::string>& args);

/// The help lines of the dump command.
const char* DumpUsage();

}  // namespace velmor::cli
