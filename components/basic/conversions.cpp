#include "basic/conversions.h"

#include <charconv>
#include <cmath>
#include <limits>

namespace velmor::basic {

void Fail(std::string message) {
    throw ScriptError{std::move(message)};
}

namespace {

// Shortest text that reads back as the same number, whatever the locale.
std::string NumberText(double v) {
    char buffer[64];
    std::to_chars_result written = std::to_chars(buffer, buffer + sizeof buffer, v);
    return std::string(buffer, written.ptr);
}

[[noreturn]] void Refuse(const Value& value, const char* what, const char* expected) {
    Fail(std::string(what) + " expects " + expected + ", not " +
         (value.IsEmpty() ? std::string("an empty value") : "a " + value.TypeName()) + ".");
}

}  // namespace

std::string ToText(const Value& value, const char* what) {
    const Value::Data& data = value.Get();
    if (const auto* text = std::get_if<std::string>(&data)) return *text;
    if (const auto* flag = std::get_if<bool>(&data)) return *flag ? "True" : "False";
    if (const auto* whole = std::get_if<std::int64_t>(&data)) return std::to_string(*whole);
    if (const auto* number = std::get_if<double>(&data)) return NumberText(*number);
    if (value.IsEmpty()) return {};
    Refuse(value, what, "a text");
}

bool ToBoolean(const Value& value, const char* what) {
    const Value::Data& data = value.Get();
    if (const auto* flag = std::get_if<bool>(&data)) return *flag;
    if (const auto* whole = std::get_if<std::int64_t>(&data)) return *whole != 0;
    Refuse(value, what, "True or False");
}

std::int64_t ToWhole(const Value& value, const char* what) {
    const Value::Data& data = value.Get();
    if (const auto* whole = std::get_if<std::int64_t>(&data)) return *whole;
    if (const auto* number = std::get_if<double>(&data)) {
        constexpr double limit = 9.2e18;
        if (std::isfinite(*number) && std::trunc(*number) == *number &&
            std::fabs(*number) < limit) {
            return static_cast<std::int64_t>(*number);
        }
    }
    Refuse(value, what, "a whole number");
}

int ToIndex(const Value& value, const char* what) {
    std::int64_t whole = ToWhole(value, what);
    if (whole < std::numeric_limits<int>::min() || whole > std::numeric_limits<int>::max()) {
        Fail(std::string(what) + ": the number " + std::to_string(whole) + " is out of range.");
    }
    return static_cast<int>(whole);
}

const Object& ToObject(const Value& value, const char* what) {
    const Object* object = value.AsObject();
    if (object == nullptr) Refuse(value, what, "an object");
    return *object;
}

}  // namespace velmor::basic
