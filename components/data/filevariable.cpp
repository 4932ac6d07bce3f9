// Dividing a file of variable records (RDW, little-endian RDW, BDW blocks):
// the records are counted as they are met, like delimited ones; the record
// length shown is the longest record met so far.
#include <algorithm>

#include "data/fileimpl.h"
#include "util/utilities.h"

namespace velmor::data {

namespace {
constexpr RecordNo kSampleRecords = 1000;
}  // namespace

void FileImpl::DivideVariable() {
    kind = Kind::Variable;
    ebcdic = util::EqualsNoCase(connection.DatabaseTypeName(), "Flat EBCDIC");
    dataStart = std::clamp<FilePos>(connection.ByteOffset(), 0, reader.Size());
    damageReported_ = false;
    variable = std::make_unique<VariableRecords>(reader, connection.RecordFormat(), dataStart);
    divisionKey_ = std::string("variable ") + copybook::RecordFormatName(connection.RecordFormat()) +
                   " " + std::to_string(dataStart);
    if (reader.Size() >= kIndexFileThreshold)
        variable->Adopt(IndexPathAndName(), IndexKeyOf(reader, divisionKey_));
    variable->LongRecord = [this](const RecordSpan& span) { WidenFor({}, span.length); };
    variable->CountTo(kSampleRecords);
    variableSample_ = variable->Counted();
    connection.SetRecordLength(variable->Index().longest);
}

void FileImpl::ReportVariableDamage() {
    // Told when a record is asked for, never while dividing: a command that
    // divides and then counts prints the count before the message.
    if (kind != Kind::Variable || dividing_ || damageReported_ || variable->Problem().empty()) return;
    damageReported_ = true;
    RaiseError("\"" + path + "\" holds only " + std::to_string(variable->Counted()) +
               " readable record(s). " + variable->Problem());
}

}  // namespace velmor::data
