// Decoding the bytes of a mainframe field into its value: exact decimals for
// zoned, packed, binary and edited numbers (never through binary floating
// point), the shortest faithful text for COMP-1 and COMP-2.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "copybook/fieldformat.h"

namespace velmor::copybook {

enum class ValueState {
    Value,    ///< a number (or, for text fields, the bytes)
    Empty,    ///< all blank: no value, neither zero nor invalid
    Invalid,  ///< bytes not valid for the type: "?" and their hex
};

struct DecodeOptions {
    Charset charset = Charset::Ebcdic;
    FloatFormat floats = FloatFormat::Ibm;
};

/// Appends the value of Bytes to Out: "-1234.50" (the picture's scale, no
/// leading zeros), nothing when empty, "?" + hex ("?0123405A") when invalid.
/// Text fields append their bytes unchanged (the caller translates them).
ValueState Decode(const FieldFormat& format, std::string_view bytes, const DecodeOptions& options,
                  std::string& out);

/// As Decode, writing at Out, which has room for DecodeRoom(Format) bytes;
/// the end of what was written.
char* DecodeTo(const FieldFormat& format, std::string_view bytes, const DecodeOptions& options,
               char* out, ValueState& state);
/// The most bytes Decode can give for Format's values.
inline std::size_t DecodeRoom(const FieldFormat& format) {
    const std::size_t length = format.length > 0 ? static_cast<std::size_t>(format.length) : 0;
    const std::size_t scale = static_cast<std::size_t>(format.scale < 0 ? -format.scale : format.scale);
    return 2 * length + scale + 200;
}

/// A decimal number typed by a user ("-1234.5", "+001234.50", " 7 ") in one
/// form for comparison with decoded values ("-1234.5", "7"); nullopt for
/// text that is not a number.
std::optional<std::string> CanonicalNumber(std::string_view text);

/// Appends "?" and the bytes in hex.
void AppendInvalid(std::string_view bytes, std::string& out);

}  // namespace velmor::copybook
