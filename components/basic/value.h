// What a script variable or expression holds: nothing yet, a Boolean, a whole
// number, a floating number, a text, or one of the data engine's objects.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace velmor::data {
class File;
class Converter;
class Connection;
class Fields;
class Field;
}  // namespace velmor::data

namespace velmor::basic {

/// Visitor made of several lambdas, for std::visit over Value and Object.
template <class... Fs>
struct Overload : Fs... {
    using Fs::operator()...;
};
template <class... Fs>
Overload(Fs...) -> Overload<Fs...>;

/// The script's own "App" object: the folder of the script that runs.
struct AppInfo {
    std::string path;  ///< ends with the path separator ("" when unknown)
};

/// A field of a layout, held through its collection: a script may keep a
/// field after the layout dropped it, so every use checks it is still there.
struct FieldRef {
    std::shared_ptr<data::Fields> fields;
    data::Field* field = nullptr;
    /// The field, or nullptr once it has left its collection.
    data::Field* Resolve() const;
};

/// An engine object as a script holds it. Objects reached through a File
/// (its Connection, Fields and their Field items) keep that File alive and
/// report their failures through its Error event.
struct Object {
    using Target = std::variant<std::shared_ptr<data::File>, std::shared_ptr<data::Converter>,
                                std::shared_ptr<data::Connection>, std::shared_ptr<data::Fields>,
                                FieldRef, std::shared_ptr<AppInfo>>;
    Target target;
    std::shared_ptr<data::File> owner;  ///< the File whose Error event speaks for it

    /// "File", "Converter", "Connection", "Fields", "Field" or "App".
    const char* TypeName() const;
    bool SameAs(const Object& other) const;
};

/// A script value. Copies of an object value share the object.
class Value {
public:
    using Data = std::variant<std::monostate, bool, std::int64_t, double, std::string, Object>;

    Value() = default;
    Value(bool v) : data_(v) {}
    Value(std::int64_t v) : data_(v) {}
    Value(int v) : data_(static_cast<std::int64_t>(v)) {}
    Value(double v) : data_(v) {}
    Value(std::string v) : data_(std::move(v)) {}
    Value(const char* v) : data_(std::string(v)) {}
    Value(Object v) : data_(std::move(v)) {}

    bool IsEmpty() const { return std::holds_alternative<std::monostate>(data_); }
    bool IsObject() const { return std::holds_alternative<Object>(data_); }
    const Data& Get() const { return data_; }
    /// nullptr when the value is no object.
    const Object* AsObject() const { return std::get_if<Object>(&data_); }

    /// The File object the value holds (a File created by the script), else null.
    std::shared_ptr<data::File> AsFile() const;
    /// The Converter object the value holds, else null.
    std::shared_ptr<data::Converter> AsConverter() const;

    /// "Empty", "Boolean", "Long", "Double", "String" or the object's type.
    std::string TypeName() const;

private:
    Data data_;
};

}  // namespace velmor::basic
