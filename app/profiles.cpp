// The connection-profile store: "UserConnections.txt" beside the program,
// the built-in profiles and the lists built from them.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <algorithm>

#include "app/global.h"
#include "app/pathbytes.h"
#include "app/profilestore.h"
#include "data/profilefile.h"
#include "util/safewrite.h"
#include "util/utilities.h"

namespace velmor::Global {

namespace {

// Set when the profile file exists but yields no profile (unreadable, or in
// a form we cannot read): the built-ins shown meanwhile must not replace the
// user's file unless the user changed them.
bool profileFileKept = false;
QString keptPath;
ProfileList keptProfiles;

QString Text(const std::string& utf8) {
    return QString::fromStdString(utf8);
}

ConnectionProfile FromEntry(const data::ProfileEntry& e) {
    ConnectionProfile p;
    p.Name = Text(e.Name);
    p.Extensions = Text(e.Extensions);
    p.IsFixed = e.IsFixed;
    p.IsDelimited = e.IsDelimited;
    p.RecordLength = e.RecordLength;
    p.ByteOffset = e.ByteOffset;
    p.FirstRecordContainsFieldNames = e.FirstRecordContainsFieldNames;
    p.RecordDelimiterRepresentation = Text(e.RecordDelimiterRepresentation);
    p.FieldDelimiterRepresentation = Text(e.FieldDelimiterRepresentation);
    p.TextQualifierRepresentation = Text(e.TextQualifierRepresentation);
    return p;
}

ProfileList FromEntries(const data::ProfileEntries& entries) {
    ProfileList list;
    for (const auto& e : entries) list.push_back(FromEntry(e));
    return list;
}

}  // namespace

data::ProfileEntries internal::ToProfileEntries(const ProfileList& list) {
    data::ProfileEntries entries;
    for (const ConnectionProfile& p : list) {
        data::ProfileEntry e;
        e.Name = p.Name.toStdString();
        e.Extensions = p.Extensions.toStdString();
        e.IsFixed = p.IsFixed;
        e.IsDelimited = p.IsDelimited;
        e.RecordLength = p.RecordLength;
        e.ByteOffset = p.ByteOffset;
        e.FirstRecordContainsFieldNames = p.FirstRecordContainsFieldNames;
        e.RecordDelimiterRepresentation = p.RecordDelimiterRepresentation.toStdString();
        e.FieldDelimiterRepresentation = p.FieldDelimiterRepresentation.toStdString();
        e.TextQualifierRepresentation = p.TextQualifierRepresentation.toStdString();
        entries.push_back(std::move(e));
    }
    return entries;
}

void internal::ForgetProfileFileState() {
    profileFileKept = false;
    keptPath.clear();
    keptProfiles.clear();
}

ProfileList BuiltInProfiles() {
    return FromEntries(data::BuiltInProfileEntries());
}

namespace {
const QString kProfileFileName = QStringLiteral("/UserConnections.txt");

QString UserProfileFilePath() {
    return UserConfigFolder() + kProfileFileName;
}

// An installed program's folder is not the user's to write; one below /usr
// or /opt belongs to the package manager, even when root could write it.
bool ProgramFolderWritable() {
    const QFileInfo folder(ExpandAppPath(QStringLiteral("$APPPATH")));
    const QString real = folder.canonicalFilePath();
    for (const QLatin1String owned : {QLatin1String("/usr"), QLatin1String("/opt")})
        if (real == owned || real.startsWith(owned + QLatin1Char('/'))) return false;
    return folder.isDir() && folder.isWritable();
}
}  // namespace

QString ProfileFilePath() {
    const QString user = UserProfileFilePath();
    if (QFileInfo(user).isFile()) return user;
    return ExpandAppPath(QStringLiteral("$APPPATH")) + kProfileFileName;
}

QString ProfileSavePath() {
    const QString user = UserProfileFilePath();
    if (QFileInfo(user).isFile() || !ProgramFolderWritable()) return user;
    return ExpandAppPath(QStringLiteral("$APPPATH")) + kProfileFileName;
}

void LoadConnectionProfiles() {
    const QString path = ProfileFilePath();
    internal::ForgetProfileFileState();
    Connections = BuiltInProfiles();
    if (util::FileExists(QFile::encodeName(path).toStdString())) {
        QFile file(path);
        const bool opened = file.open(QIODevice::ReadOnly);
        const QByteArray bytes = opened ? file.readAll() : QByteArray();
        ProfileList read = FromEntries(
            data::ParseProfileText({bytes.constData(), static_cast<size_t>(bytes.size())}));
        if (!opened || (read.empty() && !bytes.isEmpty())) {
            profileFileKept = true;
            keptPath = path;
            keptProfiles = Connections;
        } else {
            Connections = std::move(read);
        }
    }
    ExtraFileTypes = FromEntries(data::ExtraProfileEntries());
    MergeFileTypes();
    SortProfilesByName(AllFileTypes);
}

bool SaveConnectionProfiles() {
    SortProfilesByName(Connections);
    const QString path = ProfileSavePath();
    const QString backup = path + QStringLiteral(".bak");
    bool keptAside = false;
    if (profileFileKept) {
        ProfileList shown = keptProfiles;
        SortProfilesByName(shown);
        if (Connections == shown) return false;
        // The user changed the profiles: the file we could not read stays
        // beside the new one.
        if (keptPath == path) {
            QFile::remove(backup);
            if (!QFile::rename(path, backup)) return false;
            keptAside = true;
        }
    }
    if (path.startsWith(UserConfigFolder() + QLatin1Char('/'))) QDir().mkpath(UserConfigFolder());
    // The safe writer leaves the previous file whole on failure and refuses
    // one the user made read-only.
    const std::string text = data::FormatProfileText(internal::ToProfileEntries(Connections));
    std::string error;
    const bool saved = util::WriteWholeFile(PathBytes(path), text, error);
    if (!saved && keptAside) QFile::rename(backup, path);
    if (saved) internal::ForgetProfileFileState();
    return saved;
}

void MergeFileTypes() {
    AllFileTypes = Connections;
    AllFileTypes.insert(AllFileTypes.end(), ExtraFileTypes.begin(), ExtraFileTypes.end());
}

void SortProfilesByName(ProfileList& list) {
    std::stable_sort(
        list.begin(), list.end(),
        [](const ConnectionProfile& a, const ConnectionProfile& b) { return a.Name < b.Name; });
}

void SetDialogFilter(UserPrompt::FileRequest& dialog) {
    if (LastDataConnectionName.isEmpty() && !AllFileTypes.empty()) {
        LastDataConnectionName = AllFileTypes.front().Name;
    }
    dialog.filter.clear();
    dialog.fileName.clear();
    QString filter;
    for (std::size_t i = 0; i < AllFileTypes.size(); ++i) {
        const ConnectionProfile& p = AllFileTypes[i];
        if (p.Name == LastDataConnectionName) dialog.filterIndex = static_cast<int>(i) + 1;
        filter += QLatin1Char('|') + p.Name + QStringLiteral(" (") + p.Extensions +
                  QStringLiteral(")|") + p.Extensions;
    }
    dialog.filter = filter.mid(1);
}

void RecogniseFileType(const QString& pathAndName) {
    const QString name = pathAndName.section(QLatin1Char('/'), -1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot + 1).toUpper();
    for (const ConnectionProfile& p : AllFileTypes) {
        if (p.Extensions.toUpper().contains(extension)) {
            LastDataConnectionName = p.Name;
            return;
        }
    }
}

}  // namespace velmor::Global
