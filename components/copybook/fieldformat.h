// How one field of a mainframe record keeps its value: the storage type the
// copybook's PICTURE and USAGE give it, and what the decoder needs to read it.
#pragma once

#include <string>
#include <string_view>

namespace velmor::copybook {

enum class FieldType {
    Text,          ///< characters, shown as they are (the file's encoding)
    Zoned,         ///< one digit a byte, sign in a zone or a separate byte
    Packed,        ///< two digits a byte, sign in the last nibble (COMP-3)
    Binary,        ///< big-endian two's complement or unsigned (COMP, BINARY, COMP-4)
    NativeBinary,  ///< COMP-5: big-endian, the whole width of the bytes counts
    Float,         ///< COMP-1 (4 bytes) or COMP-2 (8 bytes)
    Edited,        ///< numeric-edited display text (Z, *, +, -, CR, DB, ...)
};

enum class SignForm {
    None,               ///< unsigned
    TrailingOverpunch,  ///< sign in the last digit's zone (the default)
    LeadingOverpunch,
    LeadingSeparate,
    TrailingSeparate,
};

/// The character set of display numbers and edited fields.
enum class Charset { Ebcdic, Ascii };
/// The floating-point form of COMP-1 and COMP-2 fields.
enum class FloatFormat { Ibm, Ieee };

struct FieldFormat {
    FieldType type = FieldType::Text;
    SignForm sign = SignForm::None;
    int digits = 0;  ///< digit positions that take storage (P positions excluded)
    int scale = 0;   ///< value = stored integer * 10^-scale (negative with trailing P)
    int length = 0;  ///< bytes
    std::string picture;  ///< as written in the copybook, upper-cased; empty for COMP-1/2
    std::string usage;    ///< "DISPLAY", "COMP-3", ...; empty for text fields

    bool IsNumber() const { return type != FieldType::Text; }
    bool Signed() const { return sign != SignForm::None; }
};

/// "text", "zoned", "packed", "binary", "comp-5", "float", "edited".
const char* TypeName(FieldType type);
/// The type of a name TypeName gives (case ignored); false for any other.
bool TypeFromName(std::string_view name, FieldType& type);

}  // namespace velmor::copybook
