// velmor-data reads a file the way the program does: through the user's
// connection profiles ("UserConnections.txt" where the program keeps it),
// else the built-in ones. --no-profiles leaves the division to detection.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <string>

#include "data/filetypes.h"
#include "data/profilefile.h"
#include "data/sidefiles.h"

namespace velmor::cli {

/// The program's configuration folder: $VELMOR_CONFIG, else
/// $XDG_CONFIG_HOME (or ~/.config) + "/Velmor/Velmor_Dravik".
inline std::string UserConfigFolder() {
    auto variable = [](const char* name) {
        const char* value = std::getenv(name);
        return std::string(value ? value : "");
    };
    std::string named = variable("VELMOR_CONFIG");
    while (named.size() > 1 && named.back() == '/') named.pop_back();
    if (!named.empty()) return named;
    std::string base = variable("XDG_CONFIG_HOME");
    if (base.empty() || base.front() != '/') {
        const std::string home = variable("HOME");
        if (home.empty()) return {};
        base = home + "/.config";
    }
    return base + "/Velmor/Velmor_Dravik";
}

/// The profile file the program reads: the user's when there is one, else
/// the one beside the programs.
inline std::string DefaultProfileFile() {
    std::error_code ec;
    const std::string config = UserConfigFolder();
    if (!config.empty() && std::filesystem::is_regular_file(config + "/UserConnections.txt", ec))
        return config + "/UserConnections.txt";
    std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return "UserConnections.txt";
    return (self.parent_path() / "UserConnections.txt").string();
}

/// Makes the profiles of Path (or the built-ins when it does not exist) the
/// file types every File and Converter starts with. False with Error when
/// the profile file cannot be read.
inline bool UseProfiles(const std::string& path, std::string& error) {
    data::ProfileEntries connections;
    if (!data::LoadProfileFile(path, connections)) {
        error = "The profile file \"" + path + "\" cannot be read.";
        return false;
    }
    data::FileTypes types;
    data::RegisterProfileEntries(data::AllFileTypeEntries(connections), types);
    data::EngineDefaults defaults = data::GetEngineDefaults();
    defaults.fileTypes.clear();
    for (int i = 1; i <= types.Count(); ++i) defaults.fileTypes.push_back(*types.Item(i));
    data::SetEngineDefaults(std::move(defaults));
    return true;
}

}  // namespace velmor::cli
