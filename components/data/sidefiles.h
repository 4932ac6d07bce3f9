// Where the connection (".vdc") and indexing (".vdi") files of a data file
// are kept, and the settings every new File and Converter starts with.
#pragma once

#include <string>
#include <vector>

#include "data/connection.h"

namespace velmor::data {

struct SideFileSettings {
    /// Keep both files beside the data file, under the data file's name.
    bool storeInDataPath = true;
    /// Folder for both files ("$APPPATH" already expanded); "" for none.
    std::string secondaryPath;
};

/// What every File and Converter starts with, so that an object a window or
/// a script creates later reads a data file exactly as the viewer does.
struct EngineDefaults {
    SideFileSettings sideFiles;
    std::vector<Connection> fileTypes;  ///< templates, consulted in order
};

/// Replaces the defaults; objects already made keep what they have.
void SetEngineDefaults(EngineDefaults defaults);
EngineDefaults GetEngineDefaults();

enum class SideFileKind { Connection, Index };

/// Where the data file's side file of that kind is written. Beside the data
/// file it is named after the data file ("orders.csv.vdc"); in a shared
/// folder (the secondary folder, else the user's data or cache folder) the
/// name also carries a hash of the data file's full path, so the files of
/// /a/orders.csv and /b/orders.csv never meet. "" when dataPath is "".
std::string SideFilePath(const std::string& dataPath, SideFileKind kind,
                         const SideFileSettings& settings);

/// The connection file to read and save: one already beside the data file
/// wins when the settings put side files in the user's folders, so files
/// made before keep working; otherwise SideFilePath.
std::string ConnectionFileFor(const std::string& dataPath, const SideFileSettings& settings);

/// Creates the folders above Path; false when they cannot be made.
bool MakeFolderFor(const std::string& path);

/// $XDG_DATA_HOME/Velmor/Connections/ and $XDG_CACHE_HOME/Velmor/ (with the
/// usual defaults below the home folder), each ending with "/"; "" when no
/// home folder is known.
std::string UserConnectionFolder();
std::string UserIndexFolder();

}  // namespace velmor::data
