// What the profile store remembers about its file between a load and a save.
#pragma once

#include "app/global.h"
#include "data/profilefile.h"

namespace velmor::Global::internal {

/// Forgets that the last load found the profile file unreadable.
void ForgetProfileFileState();

/// The profiles in the engine's plain form.
data::ProfileEntries ToProfileEntries(const ProfileList& list);

}  // namespace velmor::Global::internal
