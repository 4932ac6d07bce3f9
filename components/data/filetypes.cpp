#include "data/filetypes.h"

#include "util/utilities.h"

namespace velmor::data {

Connection& FileTypes::Add(const std::string& name, const std::string& /*key*/) {
    auto item = std::make_unique<Connection>();
    item->SetName(name);
    items_.push_back(std::move(item));
    return *items_.back();
}

const Connection* FileTypes::Item(int index) const {
    if (index < 1 || index > Count()) return nullptr;
    return items_[static_cast<size_t>(index - 1)].get();
}

namespace {

// Shell-style match of '*' and '?' against an extension, without regard to case.
bool Glob(std::string_view pattern, std::string_view text) {
    size_t p = 0, t = 0, star = std::string_view::npos, mark = 0;
    while (t < text.size()) {
        if (p < pattern.size() &&
            (pattern[p] == '?' || util::EqualsNoCase(pattern.substr(p, 1), text.substr(t, 1)))) {
            ++p;
            ++t;
        } else if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            mark = t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++mark;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// A pattern such as "*.csv" or "*.*index" matches the extension when the part
// after its first dot matches; "*.*" (and "*") are catch-alls.
bool PatternMatches(std::string pattern, std::string_view extension) {
    pattern = util::Trim(pattern);
    if (pattern.empty()) return false;
    size_t dot = pattern.find('.');
    std::string_view tail = dot == std::string::npos ? std::string_view(pattern)
                                                     : std::string_view(pattern).substr(dot + 1);
    if (tail == "*" || tail.empty()) return false;
    return Glob(tail, extension);
}

}  // namespace

const Connection* FileTypes::MatchExtension(std::string_view extension) const {
    for (const auto& item : items_) {
        const std::string& list = item->Extensions();
        size_t begin = 0;
        while (begin <= list.size()) {
            size_t end = list.find_first_of(";,", begin);
            if (end == std::string::npos) end = list.size();
            if (PatternMatches(list.substr(begin, end - begin), extension)) return item.get();
            begin = end + 1;
        }
    }
    return nullptr;
}

}  // namespace velmor::data
