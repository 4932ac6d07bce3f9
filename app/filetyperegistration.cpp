// Hands the profiles to the data engine; kept apart so that everything else
// in this library links without the engine's file-type list.
#include "app/global.h"
#include "app/profilestore.h"
#include "data/filetypes.h"
#include "data/profilefile.h"
#include "data/sidefiles.h"

namespace velmor::Global {

void RegisterFileTypes(data::FileTypes& types) {
    types.Clear();
    // The same hand-over velmor-data uses, so both read a file alike.
    data::RegisterProfileEntries(internal::ToProfileEntries(AllFileTypes), types);
}

void HandSettingsToEngine() {
    data::EngineDefaults defaults;
    defaults.sideFiles.storeInDataPath = StoreConnectionAndIndexingFilesInDataPath;
    defaults.sideFiles.secondaryPath =
        ExpandAppPath(SecondaryConnectionAndIndexingPath).toStdString();
    data::FileTypes types;
    RegisterFileTypes(types);
    for (int i = 1; i <= types.Count(); ++i) defaults.fileTypes.push_back(*types.Item(i));
    data::SetEngineDefaults(std::move(defaults));
}

}  // namespace velmor::Global
