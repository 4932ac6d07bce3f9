#include "hexedit/bytewriter.h"

#include "data/bytefile.h"

namespace velmor::hexedit {

Writable EnsureWritable(const std::string& path, const std::function<bool()>& askClearReadOnly,
                        std::string& error) {
    if (!data::IsReadOnly(path)) return Writable::Yes;
    if (!askClearReadOnly || !askClearReadOnly()) return Writable::Refused;
    if (!data::AddOwnerWrite(path, error)) return Writable::Failed;
    // The owner may write now; someone who is not the owner still may not.
    if (data::IsReadOnly(path)) {
        error = "\"" + path + "\" is still read-only: only its owner may change that.";
        return Writable::Failed;
    }
    return Writable::Yes;
}

ByteWriteOutcome WriteByte(const std::string& path, std::int64_t position, unsigned char value,
                           const std::function<bool()>& askClearReadOnly) {
    ByteWriteOutcome outcome;
    if (EnsureWritable(path, askClearReadOnly, outcome.error) != Writable::Yes) return outcome;
    outcome.written =
        data::WriteOneByte(path, position, value, outcome.error) == data::ByteWrite::Written;
    return outcome;
}

}  // namespace velmor::hexedit
