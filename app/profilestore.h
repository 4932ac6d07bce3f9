// What the profile store remembers about its file between a load and a save.
#pragma once

namespace velmor::Global::internal {

/// Forgets that the last load found the profile file unreadable.
void ForgetProfileFileState();

}  // namespace velmor::Global::internal
