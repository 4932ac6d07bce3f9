#include "app/registryaccess.h"

#include <QFile>
#include <QSettings>
#include <QStringList>
#include <optional>

namespace velmor {

namespace {

// An empty INI group does not survive a save, so a created key holds this
// value; the default value of a key is stored under "@", as regedit exports do.
const QString kKeyMarker = QStringLiteral(".");
const QString kDefaultName = QStringLiteral("@");

// Key parts may hold "/", which is QSettings' own group separator; "%" is
// escaped first so that the mapping stays one to one.
QString EncodePart(QString part) {
    part.replace(QLatin1Char('%'), QLatin1String("%25"));
    part.replace(QLatin1Char('/'), QLatin1String("%2F"));
    return part;
}

QStringList KeyParts(const QString& key) {
    QStringList parts;
    for (const QString& part : key.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        parts << EncodePart(part);
    }
    return parts;
}

QString EncodeValueName(const QString& name) {
    if (name.isEmpty()) return kDefaultName;
    // Keeps a value literally named "@" or "." apart from the reserved names.
    if (name.startsWith(QLatin1Char('@')) || name.startsWith(QLatin1Char('.'))) {
        return QLatin1Char('@') + EncodePart(name);
    }
    return EncodePart(name);
}

std::optional<QString> FindNoCase(const QStringList& names, const QString& wanted) {
    for (const QString& name : names) {
        if (name.compare(wanted, Qt::CaseInsensitive) == 0) return name;
    }
    return std::nullopt;
}

// Path of the stored group that matches Parts regardless of case, as far as
// it exists; Missing holds the parts found nowhere (kept as given).
QString ResolveGroup(QSettings& store, const QStringList& parts, int* missing = nullptr) {
    QString path;
    int depth = 0;
    for (const QString& part : parts) {
        store.beginGroup(path);
        std::optional<QString> found = FindNoCase(store.childGroups(), part);
        store.endGroup();
        if (!found) break;
        path += (path.isEmpty() ? QString() : QStringLiteral("/")) + *found;
        ++depth;
    }
    if (missing != nullptr) *missing = static_cast<int>(parts.size()) - depth;
    for (int i = depth; i < parts.size(); ++i) {
        path += (path.isEmpty() ? QString() : QStringLiteral("/")) + parts[i];
    }
    return path;
}

std::optional<QString> FindValue(QSettings& store, const QString& group, const QString& name) {
    store.beginGroup(group);
    std::optional<QString> found = FindNoCase(store.childKeys(), name);
    store.endGroup();
    if (!found) return std::nullopt;
    return group + QLatin1Char('/') + *found;
}

QString DecodeIniName(const QString& name) {
    QString decoded = QString::fromUtf8(QByteArray::fromPercentEncoding(name.trimmed().toUtf8()));
    decoded.replace(QLatin1Char('\\'), QLatin1Char('/'));
    return decoded;
}

// The text after "=" on the file's line for Path ("group/.../name"), as
// written. QSettings reads a hand-edited value holding an unquoted comma
// as a list and trims its parts; the line itself is the value meant.
std::optional<QString> RawIniValue(const QString& file, const QString& path) {
    QFile ini(file);
    if (!ini.open(QIODevice::ReadOnly)) return std::nullopt;
    QString section;
    while (!ini.atEnd()) {
        const QString line = QString::fromUtf8(ini.readLine()).trimmed();
        if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
            section = DecodeIniName(line.mid(1, line.size() - 2));
            continue;
        }
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        if (equals <= 0) continue;
        QString key = DecodeIniName(line.left(equals));
        if (section.compare(QStringLiteral("General"), Qt::CaseInsensitive) != 0)
            key = section + QLatin1Char('/') + key;
        if (key.compare(path, Qt::CaseInsensitive) == 0) return line.mid(equals + 1).trimmed();
    }
    return std::nullopt;
}

QString StorePath() {
    const QString named = qEnvironmentVariable("VELMOR_REGISTRY");
    if (!named.isEmpty()) return named;
    QSettings user(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Velmor"),
                   QStringLiteral("Velmor_Dravik"));
    return user.fileName();
}

}  // namespace

RegistryAccess::RegistryAccess() : RegistryAccess(StorePath()) {}

RegistryAccess::RegistryAccess(const QString& iniPath)
    : store_(std::make_unique<QSettings>(iniPath, QSettings::IniFormat)) {}

RegistryAccess::~RegistryAccess() = default;

bool RegistryAccess::KeyExists(const QString& key) const {
    const QStringList parts = KeyParts(key);
    if (parts.isEmpty()) return false;
    int missing = 0;
    ResolveGroup(*store_, parts, &missing);
    return missing == 0;
}

void RegistryAccess::CreateKey(const QString& key) {
    const QStringList parts = KeyParts(key);
    if (parts.isEmpty()) return;
    const QString group = ResolveGroup(*store_, parts);
    if (!FindValue(*store_, group, kKeyMarker)) {
        store_->setValue(group + QLatin1Char('/') + kKeyMarker, QString());
    }
}

bool RegistryAccess::GetValue(const QString& key, const QString& name, QString& value) const {
    const QStringList parts = KeyParts(key);
    if (parts.isEmpty()) return false;
    int missing = 0;
    const QString group = ResolveGroup(*store_, parts, &missing);
    if (missing != 0) return false;
    std::optional<QString> path = FindValue(*store_, group, EncodeValueName(name));
    if (!path) return false;
    const QVariant stored = store_->value(*path);
    value = stored.toString();
    if (stored.typeId() == QMetaType::QStringList) {
        const std::optional<QString> raw = RawIniValue(store_->fileName(), *path);
        value = raw.value_or(stored.toStringList().join(QLatin1Char(',')));
    }
    return true;
}

void RegistryAccess::SetValue(const QString& key, const QString& name, const QString& value) {
    const QStringList parts = KeyParts(key);
    if (parts.isEmpty()) return;
    const QString group = ResolveGroup(*store_, parts);
    const QString valueName = EncodeValueName(name);
    std::optional<QString> existing = FindValue(*store_, group, valueName);
    store_->setValue(existing.value_or(group + QLatin1Char('/') + valueName), value);
}

void RegistryAccess::SetDefaultValue(const QString& key, const QString& value) {
    SetValue(key, QString(), value);
}

void RegistryAccess::Sync() {
    store_->sync();
}

}  // namespace velmor
