#include "app/pathbytes.h"

#include "app/textdecoding.h"

namespace velmor {

namespace {

bool IsContinuation(unsigned char b) {
    return (b & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at Text[i], 0 when there is none.
std::size_t SequenceLength(std::string_view text, std::size_t i) {
    auto at = [&](std::size_t k) { return static_cast<unsigned char>(text[i + k]); };
    const unsigned char b = at(0);
    const std::size_t left = text.size() - i;
    if (b < 0x80) return 1;
    std::size_t n = 0;
    if (b >= 0xC2 && b <= 0xDF)
        n = 2;
    else if (b >= 0xE0 && b <= 0xEF)
        n = 3;
    else if (b >= 0xF0 && b <= 0xF4)
        n = 4;
    if (n == 0 || left < n) return 0;
    for (std::size_t k = 1; k < n; ++k)
        if (!IsContinuation(at(k))) return 0;
    if ((b == 0xE0 && at(1) < 0xA0) || (b == 0xED && at(1) >= 0xA0) ||
        (b == 0xF0 && at(1) < 0x90) || (b == 0xF4 && at(1) >= 0x90))
        return 0;
    return n;
}

}  // namespace

QString PathFromBytes(std::string_view bytes) {
    QString text;
    text.reserve(static_cast<qsizetype>(bytes.size()));
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::size_t n = SequenceLength(bytes, i);
        if (n == 0) {
            text.append(
                QChar(static_cast<char16_t>(0xDC00 + static_cast<unsigned char>(bytes[i]))));
            ++i;
            continue;
        }
        text.append(QString::fromUtf8(bytes.data() + i, static_cast<qsizetype>(n)));
        i += n;
    }
    return text;
}

std::string PathBytes(const QString& path) {
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(path.size()));
    qsizetype runStart = 0;
    auto flush = [&](qsizetype end) {
        if (end > runStart) bytes += path.mid(runStart, end - runStart).toStdString();
    };
    for (qsizetype i = 0; i < path.size(); ++i) {
        const char16_t c = path.at(i).unicode();
        const bool paired = i > 0 && path.at(i - 1).isHighSurrogate();
        if (c < 0xDC80 || c > 0xDCFF || paired) continue;
        flush(i);
        bytes.push_back(static_cast<char>(c - 0xDC00));
        runStart = i + 1;
    }
    flush(path.size());
    return bytes;
}

QString DisplayPath(std::string_view bytes) {
    QString text = PathFromBytes(bytes);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        const bool paired = i > 0 && text.at(i - 1).isHighSurrogate();
        if (c >= 0xDC80 && c <= 0xDCFF && !paired)
            text[i] = Windows1252Char(static_cast<unsigned char>(c - 0xDC00));
    }
    return text;
}

}  // namespace velmor
