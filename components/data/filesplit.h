// Where whole-file work is split between two threads. Counting records, the
// converter's passes and the field code counter all ask here, so they agree
// on when a file is worth a second thread and where the second half begins.
#pragma once

#include "data/types.h"

namespace velmor::data {

struct SplitPolicy {
    /// Ranges smaller than this stay on one thread: starting a second one
    /// costs more than it saves.
    FilePos smallest = FilePos{4} << 20;
    /// When not negative, the file offset to split at instead of the middle
    /// (tests put the split on a qualifier, inside a value, ...).
    FilePos at = -1;
};

/// The policy of this process; tests change it.
SplitPolicy& TwoThreadSplitting();

/// True when this process may run on two cores at once (taskset or a
/// container may leave it only one, where a second thread only adds work).
bool TwoCoresAvailable();

/// Where a second thread begins on [Start, End): the middle (or the policy's
/// forced offset), or End when the range stays on one thread. Threads is the
/// caller's own limit; Smallest overrides the policy's when not negative.
/// FirstPercent moves the split off the middle where the second thread's
/// work per byte is dearer than the first's.
FilePos SplitMiddle(FilePos start, FilePos end, int threads = 2, FilePos smallest = -1,
                    int firstPercent = 50);

}  // namespace velmor::data
