#include "editors/fieldrules.h"

#include <algorithm>

#include "util/utilities.h"

namespace velmor::editors {

data::FilePos BoxNumber(std::string_view text) {
    return std::clamp<data::FilePos>(util::ReadWholeNumber(text), -kMostAFileHolds,
                                     kMostAFileHolds);
}

data::FilePos EndingPosition(data::FilePos start, data::FilePos length) {
    return start + length - 1;
}

data::FilePos LengthFromEnd(data::FilePos start, data::FilePos end) {
    return end - start + 1;
}

data::FilePos StartAfter(int n, data::FilePos previousEnd) {
    return n == 1 ? 1 : previousEnd + 1;
}

std::string DefaultFieldName(int index, const std::function<bool(std::string_view)>& exists) {
    // The layout holds finitely many names, so the search always ends.
    for (long long n = index;; ++n) {
        std::string name = "Field" + std::to_string(n);
        if (!exists(name)) return name;
    }
}

std::pair<data::FilePos, data::FilePos> SplitHalves(data::FilePos length) {
    const data::FilePos first = util::RoundHalfEven(static_cast<double>(length) / 2.0);
    return {first, length - first};
}

}  // namespace velmor::editors
