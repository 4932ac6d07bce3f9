// Copybook text, then a NUL, then a record: parsing must fail with a place
// inside the text or give a layout whose fields every record can decode.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "copybook/copybook.h"
#include "copybook/decode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace velmor::copybook;
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    const size_t nul = all.find('\0');
    const std::string_view text = all.substr(0, nul);
    const std::string_view record = nul == std::string_view::npos ? std::string_view() : all.substr(nul + 1);
    CopybookError error;
    auto book = Copybook::Parse(text, error);
    if (!book) {
        if (error.line < 1 || error.column < 1 || error.message.empty()) std::abort();
        return 0;
    }
    for (bool fillers : {false, true}) {
        ResolveOptions options;
        options.fillers = fillers;
        const Layout layout = book->Resolve(options, record);
        std::string value;
        for (const CopybookField& f : layout.fields) {
            if (f.offset < 0 || f.offset + f.format.length > layout.length) std::abort();
            if (f.offset >= static_cast<std::int64_t>(record.size())) continue;
            const std::string_view bytes = record.substr(static_cast<size_t>(f.offset),
                                                         static_cast<size_t>(f.format.length));
            for (Charset charset : {Charset::Ebcdic, Charset::Ascii}) {
                value.clear();
                const ValueState state = Decode(f.format, bytes, {charset, FloatFormat::Ibm}, value);
                if (state == ValueState::Invalid && (value.empty() || value[0] != '?')) std::abort();
                if (state == ValueState::Value && f.format.type != FieldType::Text &&
                    f.format.type != FieldType::Float && !CanonicalNumber(value))
                    std::abort();
                // Written in place, the same text within the room it promises.
                std::string room(DecodeRoom(f.format), '\0');
                ValueState placed;
                const char* end = DecodeTo(f.format, bytes, {charset, FloatFormat::Ibm}, room.data(), placed);
                if (placed != state || end - room.data() > static_cast<std::ptrdiff_t>(room.size()) ||
                    std::string_view(room.data(), static_cast<size_t>(end - room.data())) != value)
                    std::abort();
            }
        }
        if (layout.fields.size() > 100000) break;
    }
    return 0;
}
