// Reading text files that people edit by hand on any system: a UTF-16 or
// UTF-8 byte-order mark is honoured, and otherwise every line is read on its
// own, as UTF-8 when it is valid and as Windows-1252 when it is not, so that
// one stray byte does not change how the rest of the file reads.
#pragma once

#include <QByteArray>
#include <QString>

namespace velmor {

/// The character a byte stands for in Windows-1252; the five bytes that code
/// page leaves undefined give their C1 control character.
QChar Windows1252Char(unsigned char byte);
/// One line's bytes (no line break inside) as text.
QString DecodeLine(const QByteArray& line);
/// A whole file's bytes as text; line breaks are kept as they were.
QString DecodeText(const QByteArray& bytes);

}  // namespace velmor
