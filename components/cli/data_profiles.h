// velmor-data reads a file the way the program does: through the user's
// connection profiles ("UserConnections.txt" beside the programs), else the
// built-in ones. --no-profiles leaves the division to detection alone.
#pragma once

#include <filesystem>
#include <string>

#include "data/file.h"
#include "data/profilefile.h"

namespace velmor::cli {

/// "UserConnections.txt" in the folder of the running program.
inline std::string DefaultProfileFile() {
    std::error_code ec;
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "UserConnections.txt";
    return (self.parent_path() / "UserConnections.txt").string();
}

/// Hands the profiles of Path (or the built-ins when it does not exist) to
/// the file's types. False with Error when the profile file cannot be read.
inline bool UseProfiles(data::File& file, const std::string& path, std::string& error) {
    data::ProfileEntries connections;
    if (!data::LoadProfileFile(path, connections)) {
        error = "The profile file \"" + path + "\" cannot be read.";
        return false;
    }
    data::RegisterProfileEntries(data::AllFileTypeEntries(connections), file.GetFileTypes());
    return true;
}

}  // namespace velmor::cli
