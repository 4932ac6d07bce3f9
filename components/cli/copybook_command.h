// velmor-data over a COBOL copybook: "fields", "records", "count", "find",
// "codes", "convert" and "dump" of a mainframe file whose layout and value
// types come from --copybook, in fixed, RDW or BDW records.
#pragma once

#include <string>
#include <vector>

namespace velmor::cli {

/// Runs Args when they carry --copybook; false leaves them to the other
/// commands. Status is the exit status.
bool RunCopybookCommand(const std::vector<std::string>& args, int& status);

/// The usage lines of the copybook options.
std::string CopybookUsage();

}  // namespace velmor::cli
