// The tool windows' faces in velmor-data: "layout", "codes" and
// "convert ... --script". Each prints byte for byte what its window shows.
#pragma once

#include <string>
#include <vector>

namespace velmor::data {
class File;
}

namespace velmor::cli {

struct DataOptions;

/// Runs Args when they name one of these commands; false leaves them to the
/// other commands. Status is the exit status.
bool RunToolCommand(const std::vector<std::string>& args, int& status);

int LayoutCommand(const std::vector<std::string>& args);
int CodesCommand(const std::vector<std::string>& args);
int ConvertScriptCommand(const std::vector<std::string>& args);
int ConnectionCommand(const std::vector<std::string>& args);

namespace tool {

constexpr int kFailed = 1;
constexpr int kUsage = 2;

void Print(const std::string& text);
void PrintError(const std::string& text);
/// A wrong command line: the message and the hint to "--help".
int UsageError(const std::string& text);
/// Options that take a value, so their values are not taken for arguments.
bool TakesValue(const std::string& option);
/// Hands the file types (the program's profiles, --profiles or none) to
/// the engine; false after a message.
bool ReadProfiles(const DataOptions& options);
/// Opens Options.File and applies the division options; false after a
/// message. Every engine error is printed and sets Failed, which the caller
/// owns so that the handler never outlives the flag it sets.
bool OpenData(data::File& file, const DataOptions& options, bool& failed);
/// Parses the division options of Rest as the "fields" command would and
/// hands over the side-file settings and file types; false after a message.
bool ParseDivision(const std::string& file, const std::vector<std::string>& rest,
                   DataOptions& options);

}  // namespace tool
}  // namespace velmor::cli
