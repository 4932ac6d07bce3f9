// Reaches the properties and methods of the engine objects by name. Each
// engine class has one table of members (bindings_*.cpp); adding a member to
// the script language is one line there.
#pragma once

#include <memory>
#include <string_view>
#include <vector>

#include "basic/value.h"

namespace velmor::basic {

/// How a member is used: a property read may be written "x.Count" or
/// "x.Count()", a method call "Call x.Open(p)" or "Call x.CloseFile".
struct MemberUse {
    std::vector<Value>& args;  ///< a method may change them (by-reference arguments)
    bool fileAccess = true;    ///< false: members that read or write files refuse
};

/// Reads a property or calls a method; throws ScriptError on failure.
Value InvokeMember(const Object& object, std::string_view name, MemberUse use);
/// Sets a property; throws ScriptError on failure.
void AssignMember(const Object& object, std::string_view name, const Value& value);

/// New engine objects as a script creates them with CreateObject.
Object NewFileObject();
Object NewConverterObject();

}  // namespace velmor::basic
