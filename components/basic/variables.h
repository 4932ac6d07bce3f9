// The variables of one running procedure, looked up by name without regard
// to case, as BASIC does.
#pragma once

#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "basic/nocase.h"
#include "basic/value.h"

namespace velmor::basic {

class Variable {
public:
    Variable() = default;
    explicit Variable(std::string name) : name_(std::move(name)) {}

    /// The name as the script declared it.
    const std::string& Name() const { return name_; }
    /// What the variable holds; for an object variable, the object itself.
    const basic::Value& Value() const { return value_; }
    void SetValue(basic::Value v) { value_ = std::move(v); }

private:
    std::string name_;
    basic::Value value_;
};

class Variables {
public:
    /// 1-based index of the named variable, 0 when there is none.
    int IndexOf(std::string_view name) const;
    /// The variable at a 1-based index; an empty, nameless variable when the
    /// index is out of range.
    const Variable& Item(int index) const;
    int Count() const { return static_cast<int>(items_.size()); }

    /// Declares Name; false when it was declared already (it keeps its value).
    bool Declare(const std::string& name);
    /// nullptr when Name is not declared.
    Variable* Find(std::string_view name);
    const Variable* Find(std::string_view name) const;

private:
    std::vector<Variable> items_;
    std::unordered_map<std::string, int, NoCaseHash, NoCaseEqual> index_;  // name -> 1-based index
};

}  // namespace velmor::basic
