// Hands the profiles to the data engine; kept apart so that everything else
// in this library links without the engine's file-type list.
#include "app/global.h"
#include "data/filetypes.h"
#include "data/sidefiles.h"

namespace velmor::Global {

void RegisterFileTypes(data::FileTypes& types) {
    types.Clear();
    for (const ConnectionProfile& p : AllFileTypes) {
        data::Connection& c = types.Add(p.Name.toStdString(), std::string());
        c.SetExtensions(p.Extensions.toStdString());
        c.SetIsFixed(p.IsFixed);
        c.SetIsDelimited(p.IsDelimited);
        c.SetRecordLength(p.RecordLength);
        c.SetByteOffset(p.ByteOffset);
        c.SetFirstRecordContainsFieldNames(p.FirstRecordContainsFieldNames);
        c.SetRecordDelimiterRepresentation(p.RecordDelimiterRepresentation.toStdString());
        c.SetFieldDelimiterRepresentation(p.FieldDelimiterRepresentation.toStdString());
        c.SetTextQualifierRepresentation(p.TextQualifierRepresentation.toStdString());
    }
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
