// Hashing and comparing names without regard to ASCII case, so that lookups
// by a name as written in a script need no lower-case copy.
#pragma once

#include <cstddef>
#include <string_view>

#include "util/utilities.h"

namespace velmor::basic {

struct NoCaseHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const {
        std::size_t hash = 14695981039346656037ull;
        for (char c : text) {
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        return hash;
    }
};

struct NoCaseEqual {
    using is_transparent = void;
    bool operator()(std::string_view a, std::string_view b) const {
        return util::EqualsNoCase(a, b);
    }
};

}  // namespace velmor::basic
