// Find in a typed field (packed, zoned, binary, ...): the decoded value of
// each record compared as a number with the phrase, so "-1234.50" finds a
// packed 01 23 45 0D and "-1234.5" finds it too.
#include <algorithm>

#include "copybook/decode.h"
#include "data/fileimpl.h"

namespace velmor::data {

RecordNo FileImpl::FindDecoded(int index, std::string_view phrase, RecordNo from) {
    const Field& f = *fields.Item(index);
    const std::optional<std::string> wanted = copybook::CanonicalNumber(phrase);
    if (!wanted) {
        RaiseError("\"" + std::string(phrase) + "\" is not a number; the field \"" + f.Name() +
                   "\" holds numbers.");
        return 0;
    }
    const copybook::DecodeOptions options{ebcdic ? copybook::Charset::Ebcdic : copybook::Charset::Ascii,
                                          ebcdic ? copybook::FloatFormat::Ibm : copybook::FloatFormat::Ieee};
    const FilePos begin = std::clamp<FilePos>(f.StartingPosition() - 1, 0, fixedLength);
    const FilePos end = std::clamp<FilePos>(f.StartingPosition() - 1 + f.Length(), begin, fixedLength);
    const RecordNo perChunk = std::max<RecordNo>(1, (FilePos{1} << 20) / std::max<FilePos>(fixedLength, 1));
    std::string chunk, value;
    for (RecordNo first = std::max<RecordNo>(from, 1); first <= fixedCount; first += perChunk) {
        const RecordNo records = std::min(perChunk, fixedCount - first + 1);
        const FilePos offset = dataStart + (first - 1) * fixedLength;
        chunk.resize(static_cast<size_t>(records * fixedLength));
        chunk.resize(reader.ReadAt(offset, chunk.data(), chunk.size()));
        for (RecordNo r = 0; r < records; ++r) {
            const FilePos at = r * fixedLength;
            if (at + begin >= static_cast<FilePos>(chunk.size())) break;
            const std::string_view bytes = std::string_view(chunk).substr(
                static_cast<size_t>(at + begin), static_cast<size_t>(end - begin));
            value.clear();
            if (copybook::Decode(f.Format(), bytes, options, value) == copybook::ValueState::Value &&
                copybook::CanonicalNumber(value) == wanted)
                return first + r;
        }
        if (owner.OnProgress && !owner.OnProgress(offset, reader.Size())) return 0;
    }
    return 0;
}

}  // namespace velmor::data
