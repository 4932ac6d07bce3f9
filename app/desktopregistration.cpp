#include "app/desktopregistration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSaveFile>
#include <QSet>
#include <QStandardPaths>

namespace velmor::desktop {

namespace {

const QString kBuiltInTypes = QStringLiteral(
    "application/x-velmor-flat-file;text/csv;text/tab-separated-values;"
    "application/x-velmor-tab-delimited;application/x-velmor-index;application/x-velmor-query;"
    "application/x-dbf;");

QStringList Patterns(const QString& extensions) {
    QStringList patterns;
    for (const QString& part : extensions.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString p = part.trimmed();
        if (p.isEmpty() || p == QLatin1String("*") || p == QLatin1String("*.*")) continue;
        patterns << p;
    }
    return patterns;
}

// The desktop entry format's quoting of one Exec argument, then the
// escaping every string value gets.
QString ExecArgument(const QString& path) {
    static const QString kReserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString arg = path;
    arg.replace(QLatin1Char('%'), QStringLiteral("%%"));
    if (std::any_of(arg.begin(), arg.end(), [](QChar c) { return kReserved.contains(c); })) {
        QString quoted;
        for (const QChar c : arg) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') ||
                c == QLatin1Char('\\'))
                quoted += QLatin1Char('\\');
            quoted += c;
        }
        arg = QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    return arg.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
}

// One line of a desktop entry value: no line breaks.
QString OneLine(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
}

QStringList GroupTypes(const ProfileList& groups) {
    QStringList types;
    for (const ConnectionProfile& g : groups) {
        QString type = GroupMimeType(g.Name);
        // Two groups whose names differ only in punctuation stay apart.
        for (int n = 2; types.contains(type); ++n) type = GroupMimeType(g.Name) + QString::number(n);
        types << type;
    }
    return types;
}

void RunIfPresent(const QString& program, const QString& folder) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty()) return;
    QProcess p;
    p.start(path, {folder});
    if (p.waitForStarted(5000)) p.waitForFinished(30000);
}

}  // namespace

QString GroupMimeType(const QString& groupName) {
    QString slug;
    for (const QChar c : groupName.toLower()) {
        const bool plain = (c >= QLatin1Char('a') && c <= QLatin1Char('z')) ||
                           (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
        if (plain)
            slug += c;
        else if (!slug.isEmpty() && !slug.endsWith(QLatin1Char('-')))
            slug += QLatin1Char('-');
    }
    while (slug.endsWith(QLatin1Char('-'))) slug.chop(1);
    if (slug.isEmpty()) slug = QStringLiteral("unnamed");
    return QStringLiteral("application/x-velmor-group-") + slug;
}

QByteArray MimePackage(const ProfileList& groups) {
    const QStringList types = GroupTypes(groups);
    QString xml = QStringLiteral(
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n");
    for (std::size_t i = 0; i < groups.size(); ++i) {
        xml += QStringLiteral("  <mime-type type=\"%1\">\n").arg(types[static_cast<int>(i)]);
        xml += QStringLiteral("    <comment>%1</comment>\n").arg(groups[i].Name.toHtmlEscaped());
        for (const QString& p : Patterns(groups[i].Extensions))
            xml += QStringLiteral("    <glob pattern=\"%1\"/>\n").arg(p.toHtmlEscaped());
        xml += QStringLiteral("  </mime-type>\n");
    }
    xml += QStringLiteral("</mime-info>\n");
    return xml.toUtf8();
}

QByteArray DesktopEntry(const QString& program, const ProfileList& groups) {
    QString types = kBuiltInTypes;
    for (const QString& t : GroupTypes(groups)) types += t + QLatin1Char(';');
    const QString entry = QStringLiteral(
                              "[Desktop Entry]\n"
                              "Type=Application\n"
                              "Name=Velmor_Dravik\n"
                              "GenericName=Flat Data File Viewer\n"
                              "Comment=Shows fixed-length, delimited and dBase data files record "
                              "by record\n"
                              "Exec=%1 %f\n"
                              "Icon=velmor_dravik\n"
                              "Terminal=false\n"
                              "Categories=Office;Database;Viewer;\n"
                              "MimeType=%2\n")
                              .arg(OneLine(ExecArgument(program)), types);
    return entry.toUtf8();
}

bool WriteIfChanged(const QString& path, const QByteArray& content) {
    QFile existing(path);
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content) return false;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(content);
    return file.commit();
}

QString UserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

bool RegisterUserFileTypes(const ProfileList& groups, const QString& program) {
    const QString data = UserDataFolder();
    if (data.isEmpty()) return false;
    const QString mime = data + QStringLiteral("/mime");
    const QString applications = data + QStringLiteral("/applications");
    const bool mimeChanged = WriteIfChanged(mime + QStringLiteral("/packages/velmor_dravik.xml"),
                                            MimePackage(groups));
    const bool entryChanged =
        WriteIfChanged(applications + QStringLiteral("/velmor_dravik.desktop"),
                       DesktopEntry(program, groups));
    if (mimeChanged) RunIfPresent(QStringLiteral("update-mime-database"), mime);
    if (entryChanged) RunIfPresent(QStringLiteral("update-desktop-database"), applications);
    return mimeChanged || entryChanged;
}

}  // namespace velmor::desktop
