#include "basic/value.h"

#include "data/fields.h"

namespace velmor::basic {

data::Field* FieldRef::Resolve() const {
    if (!fields || field == nullptr) return nullptr;
    for (int i = 1; i <= fields->Count(); ++i) {
        if (fields->Item(i) == field) return field;
    }
    return nullptr;
}

namespace {

const void* Address(const Object::Target& target) {
    return std::visit(Overload{[](const FieldRef& r) -> const void* { return r.field; },
                               [](const auto& p) -> const void* { return p.get(); }},
                      target);
}

}  // namespace

const char* Object::TypeName() const {
    static const char* const names[] = {"File",   "Converter", "Connection",
                                        "Fields", "Field",     "App"};
    return names[target.index()];
}

bool Object::SameAs(const Object& other) const {
    return target.index() == other.target.index() && Address(target) == Address(other.target);
}

std::shared_ptr<data::File> Value::AsFile() const {
    const Object* object = AsObject();
    if (object == nullptr) return nullptr;
    const auto* file = std::get_if<std::shared_ptr<data::File>>(&object->target);
    return file != nullptr ? *file : nullptr;
}

std::shared_ptr<data::Converter> Value::AsConverter() const {
    const Object* object = AsObject();
    if (object == nullptr) return nullptr;
    const auto* converter = std::get_if<std::shared_ptr<data::Converter>>(&object->target);
    return converter != nullptr ? *converter : nullptr;
}

std::string Value::TypeName() const {
    static const char* const names[] = {"Empty", "Boolean", "Long", "Double", "String"};
    if (const Object* object = AsObject()) return object->TypeName();
    return names[data_.index()];
}

}  // namespace velmor::basic
