#include "editors/connectionrules.h"

#include <algorithm>

#include "editors/fieldrules.h"
#include "util/utilities.h"

namespace velmor::editors {

bool IsFlatDatabaseType(int listIndex) {
    return listIndex == 0 || listIndex == 1;
}

copybook::RecordFormat RecordFormatAt(int listIndex) {
    switch (listIndex) {
        case 1: return copybook::RecordFormat::Rdw;
        case 2: return copybook::RecordFormat::RdwLittleEndian;
        case 3: return copybook::RecordFormat::Bdw;
        default: return copybook::RecordFormat::Fixed;
    }
}

int RecordFormatIndex(copybook::RecordFormat format) {
    for (int i = 0; i < kRecordFormatCount; ++i) {
        if (RecordFormatAt(i) == format) return i;
    }
    return 0;
}

data::FilePos FlatByteOffset(bool firstRecordContainsFieldNames, data::FilePos recordLength,
                             bool variable) {
    return firstRecordContainsFieldNames && !variable ? recordLength : 0;
}

data::RecordNo EstimatedRecordCount(data::FilePos fileLength, data::FilePos byteOffset,
                                    data::FilePos recordLength) {
    if (recordLength <= 0) return 1;
    // In floating point: an offset typed as a huge negative number must not
    // overflow the subtraction.
    const double records = (static_cast<double>(fileLength) - static_cast<double>(byteOffset)) /
                           static_cast<double>(recordLength);
    return std::max<data::RecordNo>(0, util::RoundHalfEven(records));
}

data::FilePos StepRecordLength(data::FilePos current, int step) {
    return std::clamp<data::FilePos>(std::clamp(current, data::FilePos{0}, kMostAFileHolds) + step,
                                     1, kMostAFileHolds);
}

std::vector<DerivedField> DeriveFieldsFromSpaces(std::string_view text) {
    std::vector<DerivedField> fields;
    const auto size = static_cast<data::FilePos>(text.size());
    data::FilePos pos = 1;
    while (pos <= size) {
        if (text[static_cast<std::size_t>(pos - 1)] == ' ') {
            ++pos;
            continue;
        }
        data::FilePos end = pos;
        while (end < size && text[static_cast<std::size_t>(end)] != ' ') ++end;
        DerivedField field;
        field.name = std::string(text.substr(static_cast<std::size_t>(pos - 1),
                                             static_cast<std::size_t>(end - pos + 1)));
        // Leading spaces belong to the first field; later fields begin at
        // their word and the one before ends at the last space before it.
        field.start = fields.empty() ? 1 : pos;
        if (!fields.empty()) fields.back().length = pos - fields.back().start;
        field.length = end - pos + 1;
        fields.push_back(std::move(field));
        pos = end + 1;
    }
    // The last field reaches one position past the text: layouts derived
    // this way have always been stored like that.
    if (!fields.empty()) fields.back().length = size - fields.back().start + 2;
    return fields;
}

}  // namespace velmor::editors
