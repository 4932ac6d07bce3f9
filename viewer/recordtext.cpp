#include "viewer/recordtext.h"

#include <algorithm>

namespace velmor::viewer {

std::string CellText(std::string text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
            ++i;
            continue;
        }
        const auto code = static_cast<unsigned char>(text[i]);
        out.push_back(code < 30 ? ' ' : text[i]);
    }
    return out;
}

std::string BuildByteBarText(qint64 first, qint64 last, int& lineCount) {
    const std::string lastText = std::to_string(last < 0 ? -last : last);
    const int d = static_cast<int>(lastText.size());
    lineCount = d;
    std::vector<std::string> lines(static_cast<size_t>(d));
    for (auto& line : lines)
        line.reserve(static_cast<size_t>(std::max<qint64>(last - first + 1, 0)));
    for (qint64 c = first; c <= last; ++c) {
        std::string s = std::to_string(c < 0 ? -c : c);
        if (static_cast<int>(s.size()) < d) s.insert(0, static_cast<size_t>(d) - s.size(), '0');
        const bool tens = s.back() == '0';
        for (int k = 1; k <= d; ++k) {
            const bool leadingZeros = s.find_first_not_of('0') >= static_cast<size_t>(k);
            const bool show = k == d || (tens && !leadingZeros);
            lines[static_cast<size_t>(k - 1)].push_back(show ? s[static_cast<size_t>(k - 1)] : ' ');
        }
    }
    std::string text;
    for (int k = 0; k < d; ++k) {
        if (k > 0) text += "\r\n";
        text += lines[static_cast<size_t>(k)];
    }
    return text;
}

std::string DelimitedDisplayLine(const std::string& raw, bool showFieldNames,
                                 const std::vector<FieldCell>& fields, qint64 recordLength) {
    if (!showFieldNames) {
        std::string line = raw;
        if (recordLength > 0 && static_cast<qint64>(line.size()) < recordLength)
            line.append(static_cast<size_t>(recordLength) - line.size(), ' ');
        return line;
    }
    std::string line;
    for (const FieldCell& f : fields) {
        if (f.length <= 0) continue;
        std::string cell = f.value.substr(0, static_cast<size_t>(f.length));
        cell.append(static_cast<size_t>(f.length) - cell.size(), ' ');
        line += cell;
    }
    return line;
}

std::string ColumnRange(const std::string& line, qint64 first, qint64 last) {
    if (first < 1 || last < first || first > static_cast<qint64>(line.size())) return {};
    return line.substr(static_cast<size_t>(first - 1), static_cast<size_t>(last - first + 1));
}

}  // namespace velmor::viewer
