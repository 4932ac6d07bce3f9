#include "data/carriedconnection.h"

#include "data/connectionfile.h"
#include "data/file.h"
#include "util/utilities.h"

namespace velmor::data {

std::string CarriedConnection(const File& file) {
    const Connection& c = file.GetConnection();
    const std::string& type = c.DatabaseTypeName();
    // A table's own header moves with it (and a table given new columns is
    // converted whole); only a layout saved or edited over it is carried.
    const bool dbase =
        type.size() >= 5 && util::EqualsNoCase(std::string_view(type).substr(0, 5), "DBase");
    if (dbase && c.AuxiliaryText() == kDbaseHeaderLayout) return {};
    return FormatConnectionFile(c, file.GetFields(), false);
}

bool ApplyCarriedConnection(File& file, std::string_view text, std::string& error) {
    ConnectionFileContent content;
    if (!ParseConnectionFile(text, content, error)) return false;
    // A script's layout is edited by hand: one that names no division would
    // convert nothing and still succeed.
    const Connection& c = content.connection;
    if (!c.IsFixed() && !c.IsDelimited()) {
        error = "it names neither fixed-length nor delimited records";
        return false;
    }
    // The division first, so that the fields' positions are taken as they
    // are, not tiled over the division the file was opened with.
    file.GetFields().Clear();
    file.CopyConnectionFrom(content.connection);
    file.Refresh();
    Fields& fields = file.GetFields();
    fields.Clear();  // a delimited division has just named its own
    AddFieldLines(content.fields, fields);
    file.SetShowFieldNames(content.showFieldNames);
    file.Refresh();
    return true;
}

}  // namespace velmor::data
