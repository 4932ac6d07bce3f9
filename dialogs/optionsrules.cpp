#include "dialogs/optionsrules.h"

#include <algorithm>
#include <limits>

#include "util/utilities.h"

namespace velmor::options {

namespace {
QStringList Entries(const QString& extensions) {
    return extensions.isEmpty() ? QStringList() : extensions.split(QLatin1Char(';'));
}
}  // namespace

QString ShownExtension(const QString& entry) {
    const qsizetype dot = entry.indexOf(QLatin1Char('.'));
    return (dot < 0 ? entry : entry.mid(dot + 1)).trimmed();
}

QStringList ShownExtensions(const QString& extensions) {
    QStringList rows;
    for (const QString& entry : Entries(extensions)) rows << ShownExtension(entry);
    return rows;
}

QString ExtensionFromAnswer(const QString& answer) {
    return ShownExtension(answer).toUpper();
}

bool UsableExtension(const QString& extension) {
    return !extension.isEmpty() && !extension.contains(QLatin1Char(';')) &&
           !extension.contains(QLatin1Char('|')) &&
           std::none_of(extension.begin(), extension.end(), [](QChar c) { return c.isSpace(); });
}

QString AddExtension(const QString& extensions, const QString& extension) {
    const QString entry = QStringLiteral("*.") + extension;
    return extensions.isEmpty() ? entry : extensions + QStringLiteral("; ") + entry;
}

QString RemoveExtension(const QString& extensions, const QString& shown) {
    QStringList entries = Entries(extensions);
    const auto found = std::find_if(entries.begin(), entries.end(),
                                    [&](const QString& e) { return ShownExtension(e) == shown; });
    if (found == entries.end()) return extensions;
    found->clear();
    QString text = entries.join(QLatin1Char(';'));
    if (text.endsWith(QLatin1Char(';'))) text = text.chopped(1).trimmed();
    if (text.startsWith(QLatin1Char(';'))) text = text.mid(1).trimmed();
    const qsizetype pair = text.indexOf(QStringLiteral(";;"));
    if (pair >= 0) text.remove(pair + 1, 1);
    return text;
}

std::optional<QString> ExtensionOwner(const ProfileList& profiles, const QString& extension) {
    for (const ConnectionProfile& p : profiles)
        for (const QString& entry : Entries(p.Extensions))
            if (ShownExtension(entry).toUpper() == extension) return p.Name;
    return std::nullopt;
}

qint32 ReadNumberBox(const QString& text) {
    const std::int64_t n = util::ReadWholeNumber(text.toStdString());
    return static_cast<qint32>(std::clamp<std::int64_t>(n, 0, std::numeric_limits<qint32>::max()));
}

}  // namespace velmor::options
