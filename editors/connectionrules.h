// Arithmetic of the data-connection wizard, free of widgets and of the
// engine so each rule can be checked on its own.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "copybook/recordformat.h"
#include "data/types.h"

namespace velmor::editors {

/// The entries of the database-type list, in list order.
inline constexpr const char* kDatabaseTypes[] = {"Flat ASCII", "Flat EBCDIC", "DBase III",
                                                 "DBase IV", "DBase V"};
inline constexpr int kDatabaseTypeCount = 5;

/// The entries of the record-format list, in list order: fixed length, then
/// variable records after a record descriptor word (big-endian length,
/// little-endian length, or in blocks after a block descriptor word).
inline constexpr const char* kRecordFormats[] = {"Fixed Length", "Variable (RDW)",
                                                 "Variable, Little-Endian RDW",
                                                 "Variable Blocked (BDW)"};
inline constexpr int kRecordFormatCount = 4;

/// The record format of a list entry (Fixed for an entry out of range) and
/// the entry of a record format.
copybook::RecordFormat RecordFormatAt(int listIndex);
int RecordFormatIndex(copybook::RecordFormat format);

/// The first two list entries are the flat types.
bool IsFlatDatabaseType(int listIndex);

/// Byte offset a flat type gets: one record in when the first record holds
/// the field names (so it is skipped), else 0.
/// Variable records have no one length to skip, so they start at 0.
data::FilePos FlatByteOffset(bool firstRecordContainsFieldNames, data::FilePos recordLength,
                             bool variable = false);

/// Records a fixed-length file is expected to hold: (file length − byte
/// offset) ÷ record length, rounded half to even. A record length of 0 or
/// less divides nothing and gives 1; a file shorter than its offset gives 0.
data::RecordNo EstimatedRecordCount(data::FilePos fileLength, data::FilePos byteOffset,
                                    data::FilePos recordLength);

/// The record length after an arrow button: one more or one less, never
/// below 1 (a length of 0 or less cuts the file into nothing) nor above
/// what a file can hold.
data::FilePos StepRecordLength(data::FilePos current, int step);

/// A field derived from the words of a header record.
struct DerivedField {
    std::string name;
    data::FilePos start = 1;
    data::FilePos length = 0;
};

/// Cuts a header record at its spaces: one field per word, named by the
/// word. The fields tile the record from position 1; each ends at the last
/// space before the next word; the last one reaches one position past the
/// text (its length counts from the space before it, or from 0).
std::vector<DerivedField> DeriveFieldsFromSpaces(std::string_view recordText);

}  // namespace velmor::editors
