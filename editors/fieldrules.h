// Position arithmetic and naming rules of the field-definition editor, free
// of widgets and of the engine.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>

#include "data/types.h"

namespace velmor::editors {

/// Positions, lengths and offsets typed into a box are held within this
/// size, as the engine holds them: no file is that large, and sums of such
/// numbers never overflow.
inline constexpr data::FilePos kMostAFileHolds = data::FilePos{1} << 48;

/// The number a box holds: its leading number, rounded half to even (0 when
/// there is none), clamped to ±kMostAFileHolds.
data::FilePos BoxNumber(std::string_view text);

/// Last byte of a field: start + length − 1.
data::FilePos EndingPosition(data::FilePos start, data::FilePos length);

/// Length that makes a field starting at Start end at End: end − start + 1.
data::FilePos LengthFromEnd(data::FilePos start, data::FilePos end);

/// Where field N (1-based) of an appended field begins: 1 for the first,
/// else directly after the previous field's end.
data::FilePos StartAfter(int n, data::FilePos previousEnd);

/// The name an unnamed field at Index gets: "Field" followed by the first of
/// Index, Index + 1, ... that Exists does not report.
std::string DefaultFieldName(int index, const std::function<bool(std::string_view)>& exists);

/// The lengths of the two halves of a split: the first is Length ÷ 2
/// rounded half to even, the second the rest.
std::pair<data::FilePos, data::FilePos> SplitHalves(data::FilePos length);

}  // namespace velmor::editors
