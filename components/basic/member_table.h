// The name -> member table of one engine class, and the helpers that turn a
// getter/setter pair or a lambda into one table line.
#pragma once

#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>
#include <type_traits>
#include <unordered_map>
#include <vector>

#include "basic/conversions.h"
#include "basic/nocase.h"
#include "basic/value.h"
#include "util/utilities.h"

namespace velmor::basic {

template <class T>
struct Member {
    using Getter = std::function<Value(const Object& self, T& object)>;
    using Setter = std::function<void(T& object, const Value& value, const char* what)>;
    using Method = std::function<Value(const Object& self, T& object, std::vector<Value>& args,
                                       const char* what)>;
    std::string name;
    std::string what;  ///< "Type.Member", for messages
    Getter get;
    Setter set;
    Method call;
    int minArgs = 0;
    int maxArgs = 0;
    bool touchesFiles = false;
};

template <class T>
class MemberTable {
public:
    MemberTable(const char* typeName, std::initializer_list<Member<T>> members)
        : typeName_(typeName) {
        for (Member<T> member : members) {
            member.what = std::string(typeName) + "." + member.name;
            members_.emplace(member.name, std::move(member));
        }
    }
    const char* TypeName() const { return typeName_; }
    const Member<T>* Find(std::string_view name) const {
        auto found = members_.find(name);
        return found == members_.end() ? nullptr : &found->second;
    }

private:
    const char* typeName_;
    std::unordered_map<std::string, Member<T>, NoCaseHash, NoCaseEqual> members_;
};

inline Value ToValue(bool v) {
    return Value(v);
}
inline Value ToValue(std::int64_t v) {
    return Value(v);
}
inline Value ToValue(int v) {
    return Value(v);
}
inline Value ToValue(const std::string& v) {
    return Value(v);
}

/// A read-only property.
template <class T, class R>
Member<T> Property(const char* name, R (T::*get)() const) {
    Member<T> m;
    m.name = name;
    m.get = [get](const Object&, T& object) { return ToValue((object.*get)()); };
    return m;
}

/// A property with getter and setter.
template <class T, class R, class A>
Member<T> Property(const char* name, R (T::*get)() const, void (T::*set)(A)) {
    Member<T> m = Property(name, get);
    m.set = [set](T& object, const Value& value, const char* what) {
        (object.*set)(FromValue<std::decay_t<A>>(value, what));
    };
    return m;
}

/// A property that can only be set.
template <class T, class A>
Member<T> WriteOnly(const char* name, void (T::*set)(A)) {
    Member<T> m;
    m.name = name;
    m.set = [set](T& object, const Value& value, const char* what) {
        (object.*set)(FromValue<std::decay_t<A>>(value, what));
    };
    return m;
}

/// A method taking MinArgs to MaxArgs arguments.
template <class T>
Member<T> Method(const char* name, int minArgs, int maxArgs, typename Member<T>::Method call,
                 bool touchesFiles = false) {
    Member<T> m;
    m.name = name;
    m.call = std::move(call);
    m.minArgs = minArgs;
    m.maxArgs = maxArgs;
    m.touchesFiles = touchesFiles;
    return m;
}

/// A method without arguments or result.
template <class T>
Member<T> Action(const char* name, void (T::*action)()) {
    return Method<T>(name, 0, 0,
                     [action](const Object&, T& object, std::vector<Value>&, const char*) {
                         (object.*action)();
                         return Value();
                     });
}

/// A property whose value is another object (Connection, Fields).
template <class T>
Member<T> ObjectProperty(const char* name, typename Member<T>::Getter get) {
    Member<T> m;
    m.name = name;
    m.get = std::move(get);
    return m;
}

}  // namespace velmor::basic
