#include "data/convert_scan.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace velmor::data {

namespace {

// Position of the first byte equal to A or B at or after From, or Size.
// Called once per value, so it is kept inline.
[[gnu::always_inline]] inline std::size_t FindEither(const char* p, std::size_t size, std::size_t from, char a, char b) {
    if (a == b) {
        const void* hit = std::memchr(p + from, a, size - from);
        return hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - p) : size;
    }
    std::size_t i = from;
#if defined(__SSE2__)
    const __m128i va = _mm_set1_epi8(a);
    const __m128i vb = _mm_set1_epi8(b);
    for (; i + 16 <= size; i += 16) {
        __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        int mask = _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(x, va), _mm_cmpeq_epi8(x, vb)));
        if (mask != 0)
            return i + static_cast<std::size_t>(__builtin_ctz(static_cast<unsigned>(mask)));
    }
#endif
    for (; i < size; ++i) {
        if (p[i] == a || p[i] == b) return i;
    }
    return size;
}

enum class Match { Yes, No, Unknown };

// Whether Text occurs at At; Unknown when Data ends inside a possible match.
inline Match MatchAt(std::string_view data, std::size_t at, std::string_view text) {
    if (text.empty()) return Match::No;
    std::size_t available = data.size() - at;
    // The usual delimiters are one or two bytes: no call to memcmp for them.
    if (text.size() == 1) return data[at] == text[0] ? Match::Yes : Match::No;
    if (text.size() == 2) {
        if (data[at] != text[0]) return Match::No;
        if (available < 2) return Match::Unknown;
        return data[at + 1] == text[1] ? Match::Yes : Match::No;
    }
    if (available >= text.size()) {
        return std::memcmp(data.data() + at, text.data(), text.size()) == 0 ? Match::Yes
                                                                            : Match::No;
    }
    return std::memcmp(data.data() + at, text.data(), available) == 0 ? Match::Unknown : Match::No;
}

}  // namespace

DelimitedSplitter::DelimitedSplitter(DelimitedSyntax syntax) : syntax_(std::move(syntax)) {
    hasField_ = !syntax_.fieldDelimiter.empty();
    const std::string& field = syntax_.fieldDelimiter;
    const std::string& record = syntax_.recordDelimiter;
    fieldFirst_ = hasField_ ? field[0] : (record.empty() ? '\0' : record[0]);
    recordFirst_ = record.empty() ? fieldFirst_ : record[0];
    // One-byte field delimiter and a one- or two-byte record delimiter (comma
    // or tab, CR LF, LF or CR) that do not share a first byte: the usual case.
    shortDelimiters_ =
        field.size() == 1 && (record.size() == 1 || record.size() == 2) && field[0] != record[0];
}

DelimitedSplitter::Stop DelimitedSplitter::FindShortDelimiter(std::string_view data, bool last,
                                                              std::size_t from,
                                                              std::size_t& at) const {
    const char* p = data.data();
    const std::size_t size = data.size();
    const std::string& record = syntax_.recordDelimiter;
    for (std::size_t i = from;; ++i) {
        i = FindEither(p, size, i, fieldFirst_, recordFirst_);
        if (i == size) break;
        at = i;
        if (p[i] == fieldFirst_) return Stop::Field;
        if (record.size() == 1) return Stop::Record;
        if (i + 1 < size) {
            if (p[i + 1] == record[1]) return Stop::Record;
        } else if (!last) {
            return Stop::Incomplete;
        }
    }
    at = size;
    return Stop::End;
}

DelimitedSplitter::Stop DelimitedSplitter::FindDelimiter(std::string_view data, bool last,
                                                         std::size_t from, std::size_t& at) const {
    if (shortDelimiters_) return FindShortDelimiter(data, last, from, at);
    const bool any = hasField_ || !syntax_.recordDelimiter.empty();
    std::size_t i = from;
    while (any && i < data.size()) {
        i = FindEither(data.data(), data.size(), i, fieldFirst_, recordFirst_);
        if (i == data.size()) break;
        // A record delimiter wins over a field delimiter starting at the same byte.
        Match record = MatchAt(data, i, syntax_.recordDelimiter);
        Match field = MatchAt(data, i, syntax_.fieldDelimiter);
        if (last) {
            if (record == Match::Unknown) record = Match::No;
            if (field == Match::Unknown) field = Match::No;
        }
        if (record == Match::Yes) {
            at = i;
            return Stop::Record;
        }
        if (record == Match::Unknown) return Stop::Incomplete;
        if (field == Match::Yes) {
            at = i;
            return Stop::Field;
        }
        if (field == Match::Unknown) return Stop::Incomplete;
        ++i;
    }
    at = data.size();
    return Stop::End;
}

void DelimitedSplitter::AddValue(std::string_view data, std::size_t begin, std::size_t end) {
    if (values_.size() < most_) values_.emplace_back(data.data() + begin, end - begin);
}

void DelimitedSplitter::AddRebuilt(std::size_t scratchStart) {
    if (values_.size() >= most_) {
        scratch_.resize(scratchStart);
        return;
    }
    values_.emplace_back(scratch_.data() + scratchStart, scratch_.size() - scratchStart);
}

DelimitedSplitter::Stop DelimitedSplitter::ReadQualified(std::string_view data, bool last,
                                                         std::size_t& pos) {
    const std::string& q = syntax_.qualifier;
    const std::size_t start = pos + q.size();
    const std::size_t scratchStart = scratch_.size();
    bool rebuilt = false;
    std::size_t p = start;
    for (;;) {
        const void* hit = std::memchr(data.data() + p, q[0], data.size() - p);
        std::size_t at = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - data.data())
                             : data.size();
        Match close = at < data.size() ? MatchAt(data, at, q) : Match::No;
        if (at == data.size() || close == Match::Unknown) {
            if (!last) return Stop::Incomplete;
            // An unterminated qualifier runs to the end of the file.
            scratch_.append(data.substr(p));
            AddRebuilt(scratchStart);
            pos = data.size();
            return Stop::End;
        }
        if (close == Match::No) {
            p = at + 1;
            continue;
        }
        std::size_t after = at + q.size();
        Match doubled = after < data.size() ? MatchAt(data, after, q) : Match::Unknown;
        if (doubled == Match::Unknown && !last) return Stop::Incomplete;
        if (doubled == Match::Yes) {
            scratch_.append(data.substr(p, after - p));
            rebuilt = true;
            p = after + q.size();
            continue;
        }
        std::size_t delimiterAt = 0;
        Stop stop = FindDelimiter(data, last, after, delimiterAt);
        if (stop == Stop::Incomplete || (stop == Stop::End && !last)) return Stop::Incomplete;
        if (rebuilt || delimiterAt > after) {
            // Bytes between the closing qualifier and the delimiter are kept.
            scratch_.append(data.substr(p, at - p));
            scratch_.append(data.substr(after, delimiterAt - after));
            AddRebuilt(scratchStart);
        } else {
            AddValue(data, start, at);
        }
        pos = delimiterAt + (stop == Stop::Field    ? syntax_.fieldDelimiter.size()
                             : stop == Stop::Record ? syntax_.recordDelimiter.size()
                                                    : 0);
        return stop;
    }
}

bool DelimitedSplitter::Next(std::string_view data, bool last, std::size_t& consumed) {
    scratch_.clear();
    values_.clear();
    if (data.empty()) return false;
    // A rebuilt value is never longer than the data, so with this much room
    // the scratch text never moves and views into it stay valid.
    if (scratch_.capacity() < data.size()) scratch_.reserve(data.size());
    std::size_t pos = 0;
    for (;;) {
        Stop stop;
        Match quoted = syntax_.qualifier.empty() || pos >= data.size()
                           ? Match::No
                           : MatchAt(data, pos, syntax_.qualifier);
        if (quoted == Match::Unknown && !last) return false;
        if (quoted == Match::Yes) {
            stop = ReadQualified(data, last, pos);
        } else {
            std::size_t at = 0;
            stop = FindDelimiter(data, last, pos, at);
            if (stop == Stop::Incomplete || (stop == Stop::End && !last)) return false;
            AddValue(data, pos, at);
            pos = at + (stop == Stop::Field    ? syntax_.fieldDelimiter.size()
                        : stop == Stop::Record ? syntax_.recordDelimiter.size()
                                               : 0);
        }
        if (stop == Stop::Incomplete) return false;
        if (stop == Stop::Field) continue;
        break;
    }
    consumed = pos;
    return true;
}

}  // namespace velmor::data
