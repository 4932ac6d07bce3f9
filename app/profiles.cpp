// The connection-profile store: "UserConnections.txt" beside the program,
// the built-in profiles and the lists built from them.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>
#include <algorithm>
#include <limits>

#include "app/global.h"
#include "app/profilestore.h"
#include "util/utilities.h"

namespace velmor::Global {

namespace {

// Set when the profile file exists but cannot be read: saving then must not
// replace the user's profiles with the built-ins shown meanwhile.
bool profileFileUnreadable = false;

ConnectionProfile MakeProfile(const QString& name, const QString& extensions) {
    ConnectionProfile p;
    p.Name = name;
    p.Extensions = extensions;
    return p;
}

ConnectionProfile DelimitedProfile(const QString& name, const QString& extensions,
                                   const QString& fieldDelimiter) {
    ConnectionProfile p = MakeProfile(name, extensions);
    p.IsDelimited = true;
    p.RecordDelimiterRepresentation = QStringLiteral("CHR$(13) & CHR$(10)");
    p.FieldDelimiterRepresentation = fieldDelimiter;
    p.TextQualifierRepresentation = QStringLiteral("CHR$(34)");
    p.FirstRecordContainsFieldNames = true;
    return p;
}

ProfileList ExtraProfiles() {
    return {MakeProfile(QStringLiteral("DBase III"), QStringLiteral("*.dbf")),
            MakeProfile(QStringLiteral("All Files"), QStringLiteral("*.*"))};
}

// Files written by older versions may be Latin-1; anything that is not valid
// UTF-8 is read that way instead of turning into replacement characters.
QString DecodeProfileText(const QByteArray& bytes) {
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) return QString::fromLatin1(bytes);
    return text;
}

qint32 ReadLong(const QString& value) {
    // Not a number reads as 0 instead of ending the load, so that the
    // profiles after it are not lost at the next save.
    const std::int64_t number = util::ReadWholeNumber(util::Unquote(value.toStdString()));
    return static_cast<qint32>(std::clamp<std::int64_t>(number, std::numeric_limits<qint32>::min(),
                                                        std::numeric_limits<qint32>::max()));
}

QString TrimBlanks(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    auto blank = [](QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); };
    while (first < last && blank(text[first])) ++first;
    while (last > first && blank(text[last - 1])) --last;
    return text.mid(first, last - first);
}

void ApplyKeyLine(ConnectionProfile& p, const QString& line) {
    QString key = line.toUpper();
    key.remove(QLatin1Char('\t'));
    key.remove(QLatin1Char(' '));
    key = key.section(QLatin1Char('='), 0, 0);
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    const QString value = equals < 0 ? QString() : TrimBlanks(line.mid(equals + 1));
    const std::string plain = value.toStdString();
    if (key == QLatin1String("BYTEOFFSET")) {
        p.ByteOffset = ReadLong(value);
    } else if (key == QLatin1String("EXTENSIONS")) {
        p.Extensions = QString::fromStdString(util::Unquote(plain));
    } else if (key == QLatin1String("FIELDDELIMITERREPRESENTATION")) {
        p.FieldDelimiterRepresentation = value;
    } else if (key == QLatin1String("FIRSTRECORDCONTAINSFIELDNAMES")) {
        p.FirstRecordContainsFieldNames = util::ToBoolean(plain);
    } else if (key == QLatin1String("ISDELIMITED")) {
        p.IsDelimited = util::ToBoolean(plain);
    } else if (key == QLatin1String("ISFIXED")) {
        p.IsFixed = util::ToBoolean(plain);
    } else if (key == QLatin1String("RECORDDELIMITERREPRESENTATION")) {
        p.RecordDelimiterRepresentation = value;
    } else if (key == QLatin1String("RECORDLENGTH") || key == QLatin1String("RL")) {
        p.RecordLength = ReadLong(value);
    } else if (key == QLatin1String("TEXTQUALIFIERREPRESENTATION")) {
        p.TextQualifierRepresentation = value;
    }
}

ProfileList ParseProfiles(const QString& text) {
    ProfileList profiles;
    ConnectionProfile beforeFirst;  // key lines before any "Begin" land here
    qsizetype start = 0;
    while (start < text.size()) {
        qsizetype end = start;
        while (end < text.size() && text[end] != QLatin1Char('\r') &&
               text[end] != QLatin1Char('\n')) {
            ++end;
        }
        const QString line = text.mid(start, end - start);
        start = end + 1;
        if (end + 1 < text.size() && text[end] == QLatin1Char('\r') &&
            text[end + 1] == QLatin1Char('\n')) {
            ++start;
        }
        if (line.left(6).toUpper() == QLatin1String("BEGIN ")) {
            profiles.push_back(MakeProfile(line.mid(6), QString()));
        } else {
            ApplyKeyLine(profiles.empty() ? beforeFirst : profiles.back(), line);
        }
    }
    return profiles;
}

// A line break inside a value would start a new line of the file.
QString OneLine(QString text) {
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}

QString TrueFalse(bool value) {
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString FormatProfiles(const ProfileList& profiles) {
    QString out;
    auto line = [&out](const QString& text) { out += OneLine(text) + QStringLiteral("\r\n"); };
    for (const ConnectionProfile& p : profiles) {
        line(QStringLiteral("Begin ") + p.Name);
        line(QStringLiteral("  ByteOffset=") + QString::number(p.ByteOffset));
        line(QStringLiteral("  Extensions=") + p.Extensions);
        line(QStringLiteral("  FirstRecordContainsFieldNames=") +
             TrueFalse(p.FirstRecordContainsFieldNames));
        if (p.IsDelimited) {
            line(QStringLiteral("  IsDelimited=True"));
            line(QStringLiteral("  RecordDelimiterRepresentation=") +
                 p.RecordDelimiterRepresentation);
            line(QStringLiteral("  FieldDelimiterRepresentation=") +
                 p.FieldDelimiterRepresentation);
            line(QStringLiteral("  TextQualifierRepresentation=") + p.TextQualifierRepresentation);
        } else {
            line(QStringLiteral("  IsFixed=") + TrueFalse(p.IsFixed));
            line(QStringLiteral("  RecordLength=") + QString::number(p.RecordLength));
        }
        line(QStringLiteral("End"));
        line(QString());
    }
    return out;
}

}  // namespace

void internal::ForgetProfileFileState() {
    profileFileUnreadable = false;
}

ProfileList BuiltInProfiles() {
    ConnectionProfile flat = MakeProfile(QStringLiteral("Flat Files"), QStringLiteral("*.dat"));
    flat.IsFixed = true;
    ConnectionProfile index =
        MakeProfile(QStringLiteral("Index Files"), QStringLiteral("*.*index"));
    index.IsDelimited = true;
    ConnectionProfile query = MakeProfile(QStringLiteral("Query Files"), QStringLiteral("*.query"));
    query.IsDelimited = true;
    return {flat,
            DelimitedProfile(QStringLiteral("CSV"), QStringLiteral("*.csv"),
                             QStringLiteral("CHR$(44)")),
            DelimitedProfile(QStringLiteral("Tab Delimited"), QStringLiteral("*.tab"),
                             QStringLiteral("CHR$(9)")),
            index, query};
}

namespace {
const QString kProfileFileName = QStringLiteral("/UserConnections.txt");

QString UserProfileFilePath() {
    return UserConfigFolder() + kProfileFileName;
}

// An installed program's folder (/usr/bin) is not the user's to write.
bool ProgramFolderWritable() {
    const QFileInfo folder(ExpandAppPath(QStringLiteral("$APPPATH")));
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
    if (util::FileExists(QFile::encodeName(path).toStdString())) {
        QFile file(path);
        if (file.open(QIODevice::ReadOnly)) {
            Connections = ParseProfiles(DecodeProfileText(file.readAll()));
        } else {
            profileFileUnreadable = true;
            Connections = BuiltInProfiles();
        }
    } else {
        Connections = BuiltInProfiles();
    }
    ExtraFileTypes = ExtraProfiles();
    MergeFileTypes();
    SortProfilesByName(AllFileTypes);
}

bool SaveConnectionProfiles() {
    SortProfilesByName(Connections);
    if (profileFileUnreadable) return false;
    // QSaveFile writes beside the target and renames over it on commit, so a
    // failed save leaves the previous file whole.
    const QString path = ProfileSavePath();
    if (path.startsWith(UserConfigFolder() + QLatin1Char('/')))
        QDir().mkpath(UserConfigFolder());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write(FormatProfiles(Connections).toUtf8());
    return file.commit();
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
