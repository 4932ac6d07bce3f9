#include "data/delimitedscanner.h"

#include <algorithm>
#include <cstring>

#include "data/blockmasks.h"

namespace velmor::data {

DelimitedScanner::DelimitedScanner(Delimiters delimiters, bool allowVector)
    : d_(std::move(delimiters)) {
    maxLength_ = std::max({d_.record.size(), d_.field.size(), d_.qualifier.size(), size_t{1}});
    const std::string& r = d_.record;
    const std::string& f = d_.field;
    const std::string& q = d_.qualifier;
    // The bit-mask path handles the usual shapes: one or two distinct record
    // delimiter bytes, at most one field delimiter and one qualifier byte,
    // none of them shared.
    bool shapes =
        (r.size() == 1 || (r.size() == 2 && r[0] != r[1])) && f.size() <= 1 && q.size() <= 1;
    bool distinct = true;
    if (!q.empty())
        distinct = distinct && r.find(q[0]) == std::string::npos && (f.empty() || f[0] != q[0]);
    if (!f.empty()) distinct = distinct && r.find(f[0]) == std::string::npos;
    vector_ = allowVector && shapes && distinct;
    vectors_ = static_cast<int>(masks::WidestVectors());
}

bool DelimitedScanner::Match(const char* p, size_t available, const std::string& what) const {
    return !what.empty() && available >= what.size() &&
           std::memcmp(p, what.data(), what.size()) == 0;
}

size_t DelimitedScanner::ScanScalar(const char* data, size_t length, bool eof, size_t from,
                                    size_t stop, ScanMode& mode, size_t* ends, size_t maxEnds,
                                    size_t& count, ValueTally* tally) const {
    const std::string& r = d_.record;
    const std::string& f = d_.field;
    const std::string& q = d_.qualifier;
    size_t i = from;
    while (i < stop && count < maxEnds) {
        size_t avail = length - i;
        if (!eof && avail < maxLength_) break;
        switch (mode) {
            case ScanMode::FieldStart:
                if (Match(data + i, avail, q)) {
                    i += q.size();
                    mode = ScanMode::Quoted;
                    break;
                }
                mode = ScanMode::Unquoted;
                [[fallthrough]];
            case ScanMode::Unquoted:
                if (Match(data + i, avail, r)) {
                    i += r.size();
                    ends[count++] = i;
                    mode = ScanMode::FieldStart;
                    if (tally) tally->EndRecord();
                } else if (Match(data + i, avail, f)) {
                    i += f.size();
                    mode = ScanMode::FieldStart;
                    if (tally) ++tally->run;
                } else {
                    ++i;
                }
                break;
            case ScanMode::Quoted: {
                const void* hit = std::memchr(data + i, q[0], length - i);
                // Everything up to the next qualifier byte is data of the field.
                i = hit ? static_cast<size_t>(static_cast<const char*>(hit) - data) : length;
                if (i >= length) break;
                avail = length - i;
                if (!eof && avail < maxLength_) return i;
                if (Match(data + i, avail, q)) {
                    i += q.size();
                    mode = ScanMode::QuotePending;
                } else {
                    ++i;
                }
                break;
            }
            case ScanMode::QuotePending:
                if (Match(data + i, avail, q)) {
                    i += q.size();
                    mode = ScanMode::Quoted;
                } else {
                    mode = ScanMode::Unquoted;
                }
                break;
        }
    }
    return i;
}

namespace {

using masks::BlockMasks;
using masks::Carry;

Carry CarryFrom(ScanMode mode) {
    Carry c;
    if (mode == ScanMode::Quoted) c.inQuotes = ~std::uint64_t{0};
    if (mode == ScanMode::FieldStart) c.boundary = 1;
    if (mode == ScanMode::QuotePending) c.closingQ = 1;
    return c;
}

ScanMode ModeFrom(const Carry& c) {
    if (c.inQuotes) return ScanMode::Quoted;
    if (c.closingQ) return ScanMode::QuotePending;
    if (c.boundary) return ScanMode::FieldStart;
    return ScanMode::Unquoted;
}

}  // namespace

#define VELMOR_KERNEL_NAME ScanVectorPortable
#define VELMOR_KERNEL_ATTR
#define VELMOR_KERNEL_OPS masks::portable
#include "data/scankernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS

#if VELMOR_SCAN_AVX2
#define VELMOR_KERNEL_NAME ScanVectorAvx2
#define VELMOR_KERNEL_ATTR VELMOR_AVX2
#define VELMOR_KERNEL_OPS masks::avx2
#include "data/scankernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS

#define VELMOR_KERNEL_NAME ScanVectorAvx512
#define VELMOR_KERNEL_ATTR VELMOR_AVX512
#define VELMOR_KERNEL_OPS masks::avx512
#include "data/scankernel.inc"
#undef VELMOR_KERNEL_NAME
#undef VELMOR_KERNEL_ATTR
#undef VELMOR_KERNEL_OPS
#endif

size_t DelimitedScanner::ScanVector(const char* data, size_t length, ScanMode& mode, size_t* ends,
                                    size_t maxEnds, size_t& count, bool& full,
                                    ValueTally* tally) const {
#if VELMOR_SCAN_AVX2
    if (vectors_ == static_cast<int>(masks::VectorSet::Avx512))
        return ScanVectorAvx512(data, length, mode, ends, maxEnds, count, full, tally);
    if (vectors_ == static_cast<int>(masks::VectorSet::Avx2))
        return ScanVectorAvx2(data, length, mode, ends, maxEnds, count, full, tally);
#endif
    return ScanVectorPortable(data, length, mode, ends, maxEnds, count, full, tally);
}

size_t DelimitedScanner::Scan(const char* data, size_t length, bool eof, ScanMode& mode,
                              size_t* ends, size_t maxEnds, size_t& consumed,
                              ValueTally* tally) const {
    size_t count = 0;
    size_t i = 0;
    if (d_.record.empty() || maxEnds == 0) {
        consumed = 0;
        return 0;
    }
    if (vector_) {
        bool full = false;
        i = ScanVector(data, length, mode, ends, maxEnds, count, full, tally);
        if (full) {
            consumed = i;
            return count;
        }
    }
    consumed = ScanScalar(data, length, eof, i, length, mode, ends, maxEnds, count, tally);
    return count;
}

void DelimitedScanner::SplitFields(std::string_view record, std::vector<std::string>& values,
                                   size_t maxValues) const {
    values.clear();
    if (maxValues == 0) return;
    const std::string& f = d_.field;
    const std::string& q = d_.qualifier;
    std::string value;
    ScanMode mode = ScanMode::FieldStart;
    const char* p = record.data();
    size_t n = record.size();
    size_t i = 0;
    while (i < n) {
        size_t avail = n - i;
        switch (mode) {
            case ScanMode::FieldStart:
                if (Match(p + i, avail, q)) {
                    i += q.size();
                    mode = ScanMode::Quoted;
                    break;
                }
                mode = ScanMode::Unquoted;
                [[fallthrough]];
            case ScanMode::Unquoted:
                if (Match(p + i, avail, f)) {
                    values.push_back(std::move(value));
                    if (values.size() == maxValues) return;
                    value.clear();
                    i += f.size();
                    mode = ScanMode::FieldStart;
                } else {
                    value.push_back(p[i++]);
                }
                break;
            case ScanMode::Quoted:
                if (Match(p + i, avail, q)) {
                    i += q.size();
                    mode = ScanMode::QuotePending;
                } else {
                    value.push_back(p[i++]);
                }
                break;
            case ScanMode::QuotePending:
                if (Match(p + i, avail, q)) {
                    value += q;
                    i += q.size();
                    mode = ScanMode::Quoted;
                } else {
                    mode = ScanMode::Unquoted;
                }
                break;
        }
    }
    values.push_back(std::move(value));
}

std::string DelimitedScanner::FieldAt(std::string_view record, size_t index) const {
    std::vector<std::string> values;
    SplitFields(record, values);
    return index < values.size() ? values[index] : std::string();
}

size_t DelimitedScanner::CountFields(std::string_view record) const {
    std::vector<std::string> values;
    SplitFields(record, values);
    return values.size();
}

}  // namespace velmor::data
