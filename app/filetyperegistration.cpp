// Hands the profiles to the data engine; kept apart so that everything else
// in this library links without the engine's file-type list.
#include "app/global.h"
#include "app/profilestore.h"
#include "data/filetypes.h"
#include "data/profilefile.h"

namespace velmor::Global {

void RegisterFileTypes(data::FileTypes& types) {
    // The same hand-over velmor-data uses, so both read a file alike.
    data::RegisterProfileEntries(internal::ToProfileEntries(AllFileTypes), types);
}

}  // namespace velmor::Global
