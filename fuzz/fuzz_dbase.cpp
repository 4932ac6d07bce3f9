// The dBase header reader on arbitrary bytes: it either describes a table
// that fits the bytes or says what is damaged, and never reads past them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "data/dbaseheader.h"

using namespace velmor::data;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string_view head(reinterpret_cast<const char*>(data), size);
    for (FilePos fileSize : {static_cast<FilePos>(size), static_cast<FilePos>(size) * 3 + 7}) {
        DbaseHeader header;
        std::string error;
        if (ReadDbaseHeader(head, fileSize, header, error)) {
            // Only a table of the deletion flag alone may have no fields.
            if ((header.fields.empty() && header.recordLength != 1) ||
                header.headerLength > fileSize || header.recordLength < 1)
                std::abort();
            for (const auto& f : header.fields) {
                if (f.start < 2 || f.start + f.length - 1 > header.recordLength) std::abort();
            }
            bool marker = size > 0 && data[size - 1] == 0x1A;
            RecordNo held = DbaseRecordsHeld(header, fileSize, marker);
            if (held < 0 || held > header.recordCount) std::abort();
            if (held * header.recordLength > fileSize - header.headerLength + header.recordLength)
                std::abort();
        } else if (error.empty()) {
            std::abort();
        }
        (void)LooksLikeDbase(head, fileSize);
    }
    return 0;
}
