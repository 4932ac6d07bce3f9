// The engine's texts are bytes. Names typed in the windows are stored as
// UTF-8, so every character survives; bytes that are not UTF-8 (a header
// record of a Windows file) are shown as Windows-1252.
#pragma once

#include <QString>
#include <string>

#include "app/textdecoding.h"

namespace velmor::editors {

inline QString FromBytes(const std::string& bytes) {
    return DecodeLine(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
}

inline std::string ToBytes(const QString& text) {
    return text.toStdString();
}

}  // namespace velmor::editors
