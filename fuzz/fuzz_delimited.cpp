// The delimited scanner on arbitrary bytes with arbitrary delimiters: the
// bit-mask path must cut exactly the records the byte-by-byte path cuts,
// whatever the buffer sizes, and splitting fields must never fail.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/delimitedscanner.h"

using namespace velmor::data;

namespace {

// Reads "length byte, then that many bytes" (length taken modulo Max + 1).
std::string Take(const std::uint8_t*& data, size_t& size, size_t max) {
    if (size == 0) return {};
    size_t length = data[0] % (max + 1);
    ++data;
    --size;
    length = length < size ? length : size;
    std::string out(reinterpret_cast<const char*>(data), length);
    data += length;
    size -= length;
    return out;
}

std::vector<size_t> Ends(const DelimitedScanner& scanner, const std::string& text, size_t piece) {
    std::vector<size_t> all;
    std::vector<size_t> ends(3);
    ScanMode mode = ScanMode::FieldStart;
    size_t pos = 0;
    while (true) {
        size_t available = text.size() - pos;
        size_t length = piece ? std::min(available, piece + scanner.Lookahead()) : available;
        bool eof = pos + length >= text.size();
        size_t consumed = 0;
        size_t n = scanner.Scan(text.data() + pos, length, eof, mode, ends.data(), ends.size(), consumed);
        for (size_t k = 0; k < n; ++k) all.push_back(pos + ends[k]);
        if (consumed > length) std::abort();
        pos += consumed;
        if ((eof && n < ends.size()) || (consumed == 0 && n == 0)) break;
    }
    return all;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, size_t size) {
    Delimiters d;
    d.record = Take(data, size, 3);
    d.field = Take(data, size, 2);
    d.qualifier = Take(data, size, 2);
    if (d.record.empty()) d.record = "\n";
    std::string text(reinterpret_cast<const char*>(data), size);
    DelimitedScanner vector(d, true), bytewise(d, false);
    std::vector<size_t> expected = Ends(bytewise, text, 0);
    for (size_t piece : {size_t{0}, size_t{1}, size_t{7}, size_t{64}, size_t{100}}) {
        if (Ends(vector, text, piece) != expected) std::abort();
    }
    std::vector<std::string> values;
    size_t start = 0;
    for (size_t end : expected) {
        if (end < start + d.record.size()) std::abort();
        vector.SplitFields(std::string_view(text).substr(start, end - d.record.size() - start), values);
        if (values.empty()) std::abort();
        start = end;
    }
    return 0;
}
