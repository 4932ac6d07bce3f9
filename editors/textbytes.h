// The engine's texts are raw bytes; the windows show each byte as one
// Latin-1 character, so the round trip loses nothing.
#pragma once

#include <QString>
#include <string>

namespace velmor::editors {

inline QString FromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

inline std::string ToBytes(const QString& text) {
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
}

}  // namespace velmor::editors
