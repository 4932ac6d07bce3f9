#include "basic/variables.h"

namespace velmor::basic {

int Variables::IndexOf(std::string_view name) const {
    auto found = index_.find(name);
    return found == index_.end() ? 0 : found->second;
}

const Variable& Variables::Item(int index) const {
    static const Variable none;
    if (index < 1 || index > Count()) return none;
    return items_[static_cast<std::size_t>(index - 1)];
}

bool Variables::Declare(const std::string& name) {
    auto [where, added] = index_.emplace(name, Count() + 1);
    (void)where;
    if (added) items_.emplace_back(name);
    return added;
}

Variable* Variables::Find(std::string_view name) {
    int index = IndexOf(name);
    return index == 0 ? nullptr : &items_[static_cast<std::size_t>(index - 1)];
}

const Variable* Variables::Find(std::string_view name) const {
    int index = IndexOf(name);
    return index == 0 ? nullptr : &items_[static_cast<std::size_t>(index - 1)];
}

}  // namespace velmor::basic
