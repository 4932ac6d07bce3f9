// The header of a dBase III/IV/V table: record count, header and record
// length and the field descriptors.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "data/types.h"

namespace velmor::data {

struct DbaseField {
    std::string name;
    char type = 'C';
    FilePos start = 0;  ///< 1-based within the record (the deletion flag is byte 1)
    FilePos length = 0;
};

struct DbaseHeader {
    unsigned char version = 0;
    RecordNo recordCount = 0;  ///< as the header states it
    FilePos headerLength = 0;  ///< bytes before the first record
    FilePos recordLength = 0;
    std::vector<DbaseField> fields;
    bool terminated = false;  ///< the descriptors end with the 0x0D marker
};

/// Reads the header from the file's first bytes (Head; the whole header when
/// the file holds it) of a file of FileSize bytes. On failure Error says what
/// is damaged.
bool ReadDbaseHeader(std::string_view head, FilePos fileSize, DbaseHeader& header,
                     std::string& error);

/// The number of whole records the file really holds: the header's count,
/// never more than the bytes after the header contain.
RecordNo DbaseRecordsHeld(const DbaseHeader& header, FilePos fileSize, bool endsWithMarker);

/// Bytes of a record the header counts but the file cuts short (0: none).
FilePos DbaseRecordCut(const DbaseHeader& header, FilePos fileSize, bool endsWithMarker);

/// True when Head looks like the start of a dBase table of FileSize bytes.
bool LooksLikeDbase(std::string_view head, FilePos fileSize);

}  // namespace velmor::data
