// How script values become the types engine members take, and the failure
// that stops one statement. ScriptError never leaves the interpreter: Run
// turns it into the Error event.
#pragma once

#include <cstdint>
#include <string>

#include "basic/value.h"

namespace velmor::basic {

struct ScriptError {
    std::string message;
};

[[noreturn]] void Fail(std::string message);

/// Text of a Boolean, number or text value; "" for Empty; objects refuse.
std::string ToText(const Value& value, const char* what);
/// True/False; whole numbers count as BASIC does (0 is False).
bool ToBoolean(const Value& value, const char* what);
/// A whole number; a Double only when it has no fraction.
std::int64_t ToWhole(const Value& value, const char* what);
/// A whole number that fits an int (indexes).
int ToIndex(const Value& value, const char* what);
/// The object a value holds; refuses anything else.
const Object& ToObject(const Value& value, const char* what);

/// Conversions into the member types of the engine classes.
template <class T>
T FromValue(const Value& value, const char* what);
template <>
inline bool FromValue<bool>(const Value& value, const char* what) {
    return ToBoolean(value, what);
}
template <>
inline std::int64_t FromValue<std::int64_t>(const Value& value, const char* what) {
    return ToWhole(value, what);
}
template <>
inline int FromValue<int>(const Value& value, const char* what) {
    return ToIndex(value, what);
}
template <>
inline std::string FromValue<std::string>(const Value& value, const char* what) {
    return ToText(value, what);
}

}  // namespace velmor::basic
