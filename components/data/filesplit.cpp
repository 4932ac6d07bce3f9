#include "data/filesplit.h"

#include <sched.h>

#include <algorithm>

namespace velmor::data {

SplitPolicy& TwoThreadSplitting() {
    static SplitPolicy policy;
    return policy;
}

bool TwoCoresAvailable() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (::sched_getaffinity(0, sizeof set, &set) != 0) return true;
    return CPU_COUNT(&set) >= 2;
}

FilePos SplitMiddle(FilePos start, FilePos end, int threads, FilePos smallest, int firstPercent) {
    const SplitPolicy& policy = TwoThreadSplitting();
    if (smallest < 0) smallest = policy.smallest;
    if (threads < 2 || end - start < std::max<FilePos>(smallest, 2)) return end;
    if (policy.at >= 0) return policy.at > start && policy.at < end ? policy.at : end;
    if (!TwoCoresAvailable()) return end;
    return start + (end - start) * firstPercent / 100;
}

}  // namespace velmor::data
