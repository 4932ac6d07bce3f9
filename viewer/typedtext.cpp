#include "viewer/typedtext.h"

#include <QList>

#include "data/convert_text.h"

namespace velmor::viewer {

bool TypedBytes(const QString& text, DisplayEncoding encoding, std::string& bytes,
                QString& refusal) {
    bytes.clear();
    refusal.clear();
    if (encoding == DisplayEncoding::Utf8) {
        bytes = text.toStdString();
        return true;
    }
    const data::CodePage page =
        encoding == DisplayEncoding::Latin1 ? data::CodePage::Latin1 : data::CodePage::Windows1252;
    if (data::FromUtf8(text.toStdString(), page, bytes)) return true;
    bytes.clear();
    // Name the first character that has no byte of its own.
    QString character;
    std::string ignored;
    for (const char32_t code : text.toUcs4()) {
        const QString one = QString::fromUcs4(&code, 1);
        if (!data::FromUtf8(one.toStdString(), page, ignored)) {
            character = one;
            break;
        }
    }
    refusal = QStringLiteral("\"%1\" cannot be written in the file's encoding, %2.")
                  .arg(character, page == data::CodePage::Latin1 ? QStringLiteral("Latin-1")
                                                                 : QStringLiteral("Windows-1252"));
    return false;
}

}  // namespace velmor::viewer
