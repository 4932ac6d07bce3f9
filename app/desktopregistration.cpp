#include "app/desktopregistration.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSaveFile>
#include <QStandardPaths>

#include <algorithm>

namespace velmor::desktop {

namespace {

const QString kGroupTypePrefix = QStringLiteral("application/x-velmor-group-");
const QString kPackageName = QStringLiteral("/mime/packages/velmor_dravik-groups.xml");
const QString kEntryName = QStringLiteral("/applications/velmor_dravik-groups.desktop");

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
    return arg.replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
        .replace(QLatin1Char('\n'), QLatin1Char(' '))
        .replace(QLatin1Char('\r'), QLatin1Char(' '));
}

void RunIfPresent(const QString& program, const QString& folder) {
    const QString path = QStandardPaths::findExecutable(program);
    if (path.isEmpty() || !QFileInfo(folder).isDir()) return;
    QProcess p;
    p.start(path, {folder});
    if (p.waitForStarted(5000)) p.waitForFinished(30000);
}

// Content written unless the file holds it already; empty content removes
// the file. True when the file changed.
bool Settle(const QString& path, const QByteArray& content) {
    QFile existing(path);
    if (content.isEmpty()) return existing.exists() && existing.remove();
    if (existing.open(QIODevice::ReadOnly) && existing.readAll() == content) return false;
    existing.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(content);
    return file.commit();
}

// Earlier versions registered every group under the packaged names, hiding
// the packaged entry and retyping common files: those files go.
bool RemoveEarlierRegistration(const QString& data) {
    bool removed = false;
    const QString package = data + QStringLiteral("/mime/packages/velmor_dravik.xml");
    const QString entry = data + QStringLiteral("/applications/velmor_dravik.desktop");
    QFile p(package);
    if (p.open(QIODevice::ReadOnly) && p.readAll().contains(kGroupTypePrefix.toUtf8()))
        removed = QFile::remove(package);
    QFile e(entry);
    if (e.open(QIODevice::ReadOnly) && e.readAll().contains(kGroupTypePrefix.toUtf8()))
        removed = QFile::remove(entry) || removed;
    return removed;
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
    return kGroupTypePrefix + slug;
}

QStringList PackagedMimeTypes() {
    // The built-in groups' files: text files of any pattern (*.dat, *.tab,
    // *.query, ...) are text/plain; *.csv, *.tsv and *.dbf have their own.
    return {QStringLiteral("text/plain"), QStringLiteral("text/csv"),
            QStringLiteral("text/tab-separated-values"), QStringLiteral("application/x-dbf")};
}

InstalledGlobs::InstalledGlobs(const QStringList& dataFolders) {
    for (const QString& folder : dataFolders) {
        QFile file(folder + QStringLiteral("/mime/globs2"));
        if (!file.open(QIODevice::ReadOnly)) continue;
        // "weight:type:pattern[:flags]" per line
        for (const QByteArray& line : file.readAll().split('\n')) {
            const QList<QByteArray> parts = line.split(':');
            if (line.startsWith('#') || parts.size() < 3) continue;
            const QString type = QString::fromUtf8(parts[1]);
            if (type.startsWith(kGroupTypePrefix)) continue;
            globs_.push_back({parts[0].toInt(), type, QString::fromUtf8(parts[2])});
        }
    }
}

QStringList InstalledGlobs::TypesFor(const QString& pattern) const {
    QString name = pattern;
    name.replace(QLatin1Char('*'), QLatin1Char('x')).replace(QLatin1Char('?'), QLatin1Char('x'));
    QStringList types;
    int best = -1;
    for (const Glob& g : globs_) {
        const QRegularExpression re(
            QRegularExpression::wildcardToRegularExpression(g.pattern),
            QRegularExpression::CaseInsensitiveOption);
        if (g.weight < best || !re.match(name).hasMatch()) continue;
        if (g.weight > best) types.clear();
        best = g.weight;
        if (!types.contains(g.type)) types << g.type;
    }
    return types;
}

Registration RegistrationFor(const ProfileList& groups, const QString& program,
                             const InstalledGlobs& installed) {
    const ProfileList builtIns = Global::BuiltInProfiles();
    const QStringList packaged = PackagedMimeTypes();
    QStringList listed;
    QString xml;
    for (const ConnectionProfile& g : groups) {
        // Only names and patterns matter to the desktop.
        if (std::any_of(builtIns.begin(), builtIns.end(), [&g](const ConnectionProfile& b) {
                return b.Name == g.Name && b.Extensions == g.Extensions;
            }))
            continue;
        QStringList unclaimed;
        for (const QString& p : Patterns(g.Extensions)) {
            const QStringList types = installed.TypesFor(p);
            if (types.isEmpty()) unclaimed << p;
            for (const QString& t : types)
                if (!packaged.contains(t) && !listed.contains(t)) listed << t;
        }
        if (unclaimed.isEmpty()) continue;
        QString type = GroupMimeType(g.Name);
        // Two groups whose names differ only in punctuation stay apart.
        for (int n = 2; listed.contains(type); ++n) type = GroupMimeType(g.Name) + QString::number(n);
        listed << type;
        // A text file of the pattern stays text for every other program, and
        // any installed type claiming the pattern outweighs ours.
        xml += QStringLiteral("  <mime-type type=\"%1\">\n"
                              "    <comment>%2</comment>\n"
                              "    <sub-class-of type=\"text/plain\"/>\n")
                   .arg(type, g.Name.toHtmlEscaped());
        for (const QString& p : unclaimed)
            xml += QStringLiteral("    <glob pattern=\"%1\" weight=\"10\"/>\n").arg(p.toHtmlEscaped());
        xml += QStringLiteral("  </mime-type>\n");
    }
    Registration r;
    if (!xml.isEmpty())
        r.mimePackage = QStringLiteral(
                            "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                            "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                            "%1</mime-info>\n")
                            .arg(xml)
                            .toUtf8();
    if (!listed.isEmpty())
        r.desktopEntry = QStringLiteral(
                             "[Desktop Entry]\n"
                             "Type=Application\n"
                             "Name=Velmor_Dravik\n"
                             "Comment=Opens the file types of your own groups\n"
                             "Exec=%1 %f\n"
                             "Icon=velmor_dravik\n"
                             "Terminal=false\n"
                             "NoDisplay=true\n"
                             "MimeType=%2;\n")
                             .arg(ExecArgument(program), listed.join(QLatin1Char(';')))
                             .toUtf8();
    return r;
}

QString UserDataFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QStringList DataFolders() {
    QStringList folders{UserDataFolder()};
    QString dirs = qEnvironmentVariable("XDG_DATA_DIRS");
    if (dirs.isEmpty()) dirs = QStringLiteral("/usr/local/share:/usr/share");
    folders += dirs.split(QLatin1Char(':'), Qt::SkipEmptyParts);
    return folders;
}

bool RegisterUserFileTypes(const ProfileList& groups, const QString& program) {
    const QString data = UserDataFolder();
    if (data.isEmpty()) return false;
    const Registration r = RegistrationFor(groups, program, InstalledGlobs(DataFolders()));
    const bool earlier = RemoveEarlierRegistration(data);
    const bool mimeChanged = Settle(data + kPackageName, r.mimePackage) || earlier;
    const bool entryChanged = Settle(data + kEntryName, r.desktopEntry) || earlier;
    if (mimeChanged) RunIfPresent(QStringLiteral("update-mime-database"), data + QStringLiteral("/mime"));
    if (entryChanged)
        RunIfPresent(QStringLiteral("update-desktop-database"), data + QStringLiteral("/applications"));
    return mimeChanged || entryChanged;
}

}  // namespace velmor::desktop
