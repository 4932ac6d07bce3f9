#include "editors/representationtable.h"

#include "editors/textbytes.h"
#include "util/utilities.h"

namespace velmor::editors {

namespace {

// Spaces only: a tab typed on purpose at the end of a box is the user's text.
QString TrimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ') ++first;
    while (last > first && text.at(last - 1) == u' ') --last;
    return text.mid(first, last - first);
}

}  // namespace

QString CharacterDescription(int code) {
    switch (code) {
        case 0:
            return QStringLiteral("Null");
        case 9:
            return QStringLiteral("Tab");
        case 10:
            return QStringLiteral("Line Feed");
        case 13:
            return QStringLiteral("Carriage Return");
        case 32:
            return QStringLiteral("Space");
        case 34:
            return QStringLiteral("Quotation");
        case 44:
            return QStringLiteral("Comma");
        default:
            return {};
    }
}

QString CharacterTableRow(int code) {
    // A null or a tab would break the row's own columns; a neutral glyph
    // stands in for them, as for the bytes Windows-1252 leaves undefined.
    // The others show what the program reads those bytes as elsewhere.
    QChar shown = Windows1252Char(static_cast<unsigned char>(code));
    if (code == 0 || code == 9 || (code >= 0x80 && shown.unicode() < 0xA0)) shown = QChar(1);
    QString row =
        QString::number(code, 16).toUpper() + u'\t' + QString::number(code) + u'\t' + shown;
    const QString description = CharacterDescription(code);
    if (!description.isEmpty()) row += u'\t' + description;
    return row;
}

std::string CollectSelection(CharacterSelection& selection) {
    std::string characters;
    for (int code = 0; code < 256; ++code) {
        if (!selection[static_cast<std::size_t>(code)]) continue;
        characters.push_back(static_cast<char>(static_cast<unsigned char>(code)));
        selection[static_cast<std::size_t>(code)] = false;
    }
    return characters;
}

QString ReplaceRepresentation(const std::string& characters) {
    return FromBytes(util::CharactersToRepresentation(characters));
}

QString AddRepresentation(const QString& boxText, const std::string& characters) {
    if (characters.empty()) return boxText;
    const QString added = ReplaceRepresentation(characters);
    const QString kept = TrimSpaces(boxText);
    // A box of blanks holds no term; joining to it would leave a dangling
    // separator that no reader accepts.
    if (kept.isEmpty()) return added;
    return kept + QStringLiteral(" & ") + added;
}

}  // namespace velmor::editors
