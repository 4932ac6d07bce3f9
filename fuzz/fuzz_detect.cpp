// Detection, the file-type fitting and the profile file on arbitrary bytes:
// never a crash, and the answers stay within the sample.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "data/detection.h"
#include "data/filetypefit.h"
#include "data/profilefile.h"

using namespace velmor::data;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // The first byte says whether the sample is the whole file.
    const FilePos fileSize = static_cast<FilePos>(size) + (size > 0 && data[0] % 2 ? 4096 : 0);
    Detection d = DetectConnection(bytes, fileSize);
    if (d.byteOffset < 0 || d.byteOffset > static_cast<FilePos>(size)) std::abort();
    if (d.kind == Detection::Kind::Delimited && d.recordDelimiter.empty()) std::abort();
    if (d.kind == Detection::Kind::Delimited && !d.fieldDelimiter.empty()) {
        Delimiters chosen{d.recordDelimiter, d.fieldDelimiter, d.qualifier};
        DelimitedFit fit = JudgeDelimited(bytes, fileSize, chosen, d.byteOffset);
        if (fit.support < 0 || fit.support > 1) std::abort();
    }
    Connection csv;
    csv.SetIsDelimited(true);
    csv.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
    csv.SetFieldDelimiterRepresentation("CHR$(44)");
    csv.SetTextQualifierRepresentation("CHR$(34)");
    csv.SetFirstRecordContainsFieldNames(true);
    FitDelimitedSettings(csv, bytes, fileSize);
    if (csv.ByteOffset() < 0 || csv.ByteOffset() > static_cast<FilePos>(size)) std::abort();
    ParseProfileText(bytes);
    return 0;
}
