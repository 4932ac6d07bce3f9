// What the data-connection wizard and the field editor refuse, with their
// messages, free of widgets so that "velmor-data connection" refuses the
// same things in the same words.
#pragma once

#include <string>
#include <string_view>

namespace velmor::datatools {

/// The wizard's delimiter labels: record, field, qualifier.
inline constexpr const char* kDelimiterLabels[] = {"End of Record Marker", "Field Seperator",
                                                   "Text Qualifier"};

/// A representation text that cannot be read; Why is the parser's reason.
inline std::string UnreadableDelimiterMessage(std::string_view label, std::string_view text,
                                              std::string_view why) {
    return std::string(label) + " \"" + std::string(text) + "\" cannot be read. " +
           std::string(why);
}

/// A second field of a name the layout already has.
inline std::string FieldExistsMessage(std::string_view name) {
    return "Field Name: '" + std::string(name) + "' already exists.";
}

}  // namespace velmor::datatools
