// Hands the profiles to the data engine; kept apart so that everything else
// in this library links without the engine's file-type list.
#include "app/global.h"
#include "data/filetypes.h"

namespace velmor::Global {

void RegisterFileTypes(data::FileTypes& types) {
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

}  // namespace velmor::Global
