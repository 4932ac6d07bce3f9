#include "app/textdecoding.h"

#include <QStringDecoder>

namespace velmor {

namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252; the five bytes it
// leaves undefined keep their Latin-1 meaning.
constexpr char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString FromWindows1252(const QByteArray& bytes) {
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) text.append(Windows1252Char(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

QChar Windows1252Char(unsigned char byte) {
    return byte >= 0x80 && byte < 0xA0 ? QChar(kCp1252High[byte - 0x80]) : QChar(byte);
}

QString DecodeLine(const QByteArray& line) {
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = utf8(line);
    return utf8.hasError() ? FromWindows1252(line) : text;
}

QString DecodeText(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE") || bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                          : QStringDecoder::Utf16BE);
        return utf16(bytes.mid(2));
    }
    const qsizetype start = bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    QString text;
    text.reserve(bytes.size() - start);
    // A line break is a single ASCII byte in both encodings, so cutting after
    // each LF (and lone CR) never splits a character.
    qsizetype from = start;
    for (qsizetype i = start; i < bytes.size(); ++i) {
        if (bytes[i] != '\n' && bytes[i] != '\r') continue;
        text += DecodeLine(bytes.sliced(from, i - from));
        text += QLatin1Char(bytes[i]);
        from = i + 1;
    }
    text += DecodeLine(bytes.sliced(from));
    return text;
}

}  // namespace velmor
