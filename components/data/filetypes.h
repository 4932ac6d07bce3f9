// Named connection templates (the program's profiles) that Open consults
// when a data file has no connection file of its own.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/connection.h"

namespace velmor::data {

class FileTypes {
public:
    /// A new template under Name; Key is kept for callers that use one.
    Connection& Add(const std::string& name, const std::string& key = {});
    int Count() const { return static_cast<int>(items_.size()); }
    /// 1-based; nullptr when out of range.
    const Connection* Item(int index) const;
    void Clear() { items_.clear(); }
    /// First template whose Extensions hold a pattern matching the file's
    /// extension ("*.csv", "*.*index", ...); the catch-all "*.*" never wins
    /// over a real match, and matches nothing on its own.
    const Connection* MatchExtension(std::string_view extension) const;

private:
    std::vector<std::unique_ptr<Connection>> items_;
};

}  // namespace velmor::data
