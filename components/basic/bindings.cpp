#include "basic/bindings.h"

#include "basic/bindings_tables.h"
#include "data/converter.h"
#include "data/file.h"

namespace velmor::basic {
namespace {

template <class T>
T& Deref(const std::shared_ptr<T>& pointer, const char* typeName) {
    if (!pointer) Fail(std::string("The ") + typeName + " object is not set.");
    return *pointer;
}

// Calls Visit(table, object) with the member table of the object's class.
template <class F>
auto WithTable(const Object& object, F&& visit) {
    return std::visit(
        Overload{
            [&](const std::shared_ptr<data::File>& p) {
                return visit(FileMembers(), Deref(p, "File"));
            },
            [&](const std::shared_ptr<data::Converter>& p) {
                return visit(ConverterMembers(), Deref(p, "Converter"));
            },
            [&](const std::shared_ptr<data::Connection>& p) {
                return visit(ConnectionMembers(), Deref(p, "Connection"));
            },
            [&](const std::shared_ptr<data::Fields>& p) {
                return visit(FieldsMembers(), Deref(p, "Fields"));
            },
            [&](const FieldRef& r) {
                data::Field* field = r.Resolve();
                if (field == nullptr) Fail("The field is no longer part of its layout.");
                return visit(FieldMembers(), *field);
            },
            [&](const std::shared_ptr<AppInfo>& p) { return visit(AppMembers(), Deref(p, "App")); },
        },
        object.target);
}

template <class T>
const Member<T>& FindMember(const MemberTable<T>& table, std::string_view name) {
    const Member<T>* member = table.Find(name);
    if (member == nullptr) {
        Fail(std::string(table.TypeName()) + " has no member \"" + std::string(name) + "\".");
    }
    return *member;
}

std::string ArgumentCount(int minArgs, int maxArgs) {
    std::string count = std::to_string(minArgs);
    if (maxArgs != minArgs) count += " to " + std::to_string(maxArgs);
    return count + (maxArgs == 1 ? " argument" : " arguments");
}

}  // namespace

Value InvokeMember(const Object& object, std::string_view name, MemberUse use) {
    return WithTable(object, [&](const auto& table, auto& target) {
        const auto& member = FindMember(table, name);
        const std::string& what = member.what;
        int count = static_cast<int>(use.args.size());
        if (member.call) {
            if (member.touchesFiles && !use.fileAccess) {
                Fail(what + " is not allowed: this script runs without file access.");
            }
            if (count < member.minArgs || count > member.maxArgs) {
                Fail(what + " expects " + ArgumentCount(member.minArgs, member.maxArgs) + ", not " +
                     std::to_string(count) + ".");
            }
            return member.call(object, target, use.args, what.c_str());
        }
        if (!member.get) Fail(what + " can only be set, not read.");
        if (count != 0) Fail(what + " is a property and takes no arguments.");
        return member.get(object, target);
    });
}

void AssignMember(const Object& object, std::string_view name, const Value& value) {
    WithTable(object, [&](const auto& table, auto& target) {
        const auto& member = FindMember(table, name);
        const std::string& what = member.what;
        if (member.call) Fail(what + " is a method; it cannot be assigned.");
        if (!member.set) Fail(what + " is read-only.");
        member.set(target, value, what.c_str());
        return 0;
    });
}

Object NewFileObject() {
    auto file = std::make_shared<data::File>();
    return Object{file, file};
}

Object NewConverterObject() {
    return Object{std::make_shared<data::Converter>(), nullptr};
}

}  // namespace velmor::basic
