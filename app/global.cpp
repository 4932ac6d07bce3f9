#include "app/global.h"

#include <pwd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include "app/desktopregistration.h"
#include "app/pathbytes.h"
#include "app/profilestore.h"
#include "app/registryaccess.h"
#include "util/utilities.h"

namespace velmor::Global {

namespace {

const QString kSharedKey = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data\\");
const QString kProgramKey =
    QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data\\Velmor_Dravik\\");
const QString kProgramName = QStringLiteral("Velmor_Dravik");

QString programFolderOverride;
QString userConfigOverride;

QString WithoutTrailingSlash(QString folder) {
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) folder.chop(1);
    return folder;
}

void EnsureKey(RegistryAccess& registry, const QString& key) {
    if (!registry.KeyExists(key)) registry.CreateKey(key);
}

bool ReadSwitch(RegistryAccess& registry, const QString& name, const QString& missing) {
    QString text = missing;
    registry.GetValue(kProgramKey, name, text);
    return util::ToBoolean(text.toStdString());
}

QString YesNo(bool value) {
    return value ? QStringLiteral("Yes") : QStringLiteral("No");
}

}  // namespace

QString ProgramFolder() {
    if (!programFolderOverride.isEmpty()) return programFolderOverride;
    if (QCoreApplication::instance() == nullptr) return QDir::currentPath();
    return QCoreApplication::applicationDirPath();
}

void SetProgramFolder(const QString& folder) {
    programFolderOverride = WithoutTrailingSlash(folder);
}

QString UserConfigFolder() {
    if (!userConfigOverride.isEmpty()) return userConfigOverride;
    const QString named = qEnvironmentVariable("VELMOR_CONFIG");
    if (!named.isEmpty()) return WithoutTrailingSlash(named);
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Velmor/Velmor_Dravik");
}

void SetUserConfigFolder(const QString& folder) {
    userConfigOverride = WithoutTrailingSlash(folder);
}

QString ExecutableName() {
    return ExecutableNameOf(QCoreApplication::instance() ? QCoreApplication::applicationFilePath()
                                                         : QString());
}

QString ExecutableNameOf(const QString& programFile) {
    // Executables here carry no extension: a dot belongs to the name.
    const QString name = QFileInfo(programFile).fileName();
    return name.isEmpty() ? kProgramName : name;
}

void ResetState() {
    LastPathOpened.clear();
    LastDataConnectionName.clear();
    SecondaryConnectionAndIndexingPath.clear();
    StoreConnectionAndIndexingFilesInDataPath = false;
    PromptToSaveConfigurationChanges = false;
    TempFolderPath.clear();
    CreateFormatFileDuringSave = false;
    Connections.clear();
    ExtraFileTypes.clear();
    AllFileTypes.clear();
    StringRepresentation.clear();
    internal::ForgetProfileFileState();
}

void LoadSettings() {
    RegistryAccess registry;
    for (const char* key : {"HKEY_LOCAL_MACHINE\\Software", "HKEY_LOCAL_MACHINE\\Software\\Velmor",
                            "HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data",
                            "HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data\\Velmor_Dravik"}) {
        EnsureKey(registry, QString::fromLatin1(key));
    }
    LastDataConnectionName.clear();
    LastPathOpened.clear();
    registry.GetValue(kSharedKey, QStringLiteral("LastDataConnectionName"), LastDataConnectionName);
    registry.GetValue(kSharedKey, QStringLiteral("LastPathOpened"), LastPathOpened);

    PromptToSaveConfigurationChanges =
        ReadSwitch(registry, QStringLiteral("PromptToSaveConfigurationChanges"), {});
    SecondaryConnectionAndIndexingPath.clear();
    registry.GetValue(kProgramKey, QStringLiteral("SecondaryConnectionAndIndexingPath"),
                      SecondaryConnectionAndIndexingPath);
    StoreConnectionAndIndexingFilesInDataPath =
        ReadSwitch(registry, QStringLiteral("StoreConnectionAndIndexingFilesInDataPath"), {});
    CreateFormatFileDuringSave =
        ReadSwitch(registry, QStringLiteral("CreateFormatFileDuringSave"), QStringLiteral("False"));
    TempFolderPath.clear();
    registry.GetValue(kProgramKey, QStringLiteral("TempFolderPath"), TempFolderPath);
}

void SaveSettings() {
    RegistryAccess registry;
    EnsureKey(registry, QStringLiteral("HKEY_LOCAL_MACHINE\\Software"));
    EnsureKey(registry, QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Velmor"));
    EnsureKey(registry, QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Velmor\\Data"));
    registry.SetValue(kSharedKey, QStringLiteral("LastDataConnectionName"), LastDataConnectionName);
    registry.SetValue(kSharedKey, QStringLiteral("LastPathOpened"), LastPathOpened);

    EnsureKey(registry, kProgramKey);
    registry.SetValue(kProgramKey, QStringLiteral("PromptToSaveConfigurationChanges"),
                      YesNo(PromptToSaveConfigurationChanges));
    registry.SetValue(kProgramKey, QStringLiteral("SecondaryConnectionAndIndexingPath"),
                      SecondaryConnectionAndIndexingPath);
    registry.SetValue(kProgramKey, QStringLiteral("StoreConnectionAndIndexingFilesInDataPath"),
                      YesNo(StoreConnectionAndIndexingFilesInDataPath));
    registry.SetValue(kProgramKey, QStringLiteral("TempFolderPath"), TempFolderPath);
    registry.SetValue(kProgramKey, QStringLiteral("CreateFormatFileDuringSave"),
                      YesNo(CreateFormatFileDuringSave));
    registry.Sync();
}

void RegisterShellOpenCommand() {
    RegistryAccess registry;
    const QString base = QStringLiteral("HKEY_CLASSES_ROOT\\") + ExecutableName();
    const QString command = base + QStringLiteral("\\Shell\\Open\\Command\\");
    for (const QString& key : {base + QStringLiteral("\\"), base + QStringLiteral("\\Shell\\"),
                               base + QStringLiteral("\\Shell\\Open\\"), command}) {
        EnsureKey(registry, key);
    }
    // Quoted, so that a program folder or a data file with blanks still works.
    const QString program = ProgramFolder() + QLatin1Char('/') + ExecutableName();
    registry.SetDefaultValue(command, QLatin1Char('"') + program + QStringLiteral("\" \"%1\""));
    registry.Sync();
    // What the desktop reads: the user's groups open with this program.
    desktop::RegisterUserFileTypes(Connections, program);
}

QString ExpandAppPath(const QString& text) {
    static const QString kPlaceholder = QStringLiteral("$APPPATH");
    const qsizetype at = text.indexOf(kPlaceholder, 0, Qt::CaseInsensitive);
    if (at < 0) return text;
    return text.left(at) + ProgramFolder() + text.mid(at + kPlaceholder.size());
}

namespace {

// "~" or "~user" at the start stands for a home folder, as in a shell; a
// tilde anywhere else is an ordinary character of a file name here.
QString ExpandTilde(const QString& path) {
    if (!path.startsWith(QLatin1Char('~'))) return path;
    qsizetype slash = path.indexOf(QLatin1Char('/'));
    if (slash < 0) slash = path.size();
    const QString user = path.mid(1, slash - 1);
    QString home;
    if (user.isEmpty()) {
        home = QDir::homePath();
    } else {
        const QByteArray name = user.toLocal8Bit();
        const passwd* entry = ::getpwnam(name.constData());
        if (entry == nullptr || entry->pw_dir == nullptr) return path;
        home = QFile::decodeName(entry->pw_dir);
    }
    return home + path.mid(slash);
}

}  // namespace

QString ExpandShortPath(const QString& path) {
    if (path.isEmpty()) return {};
    const QString absolute = QDir(QDir::currentPath()).absoluteFilePath(ExpandTilde(path));
    QString result;
    for (const QString& part : absolute.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        result += QLatin1Char('/') + part;
        QFileInfo entry(result);
        if (!entry.exists() && !entry.isSymLink()) return {};
    }
    return result.isEmpty() ? QStringLiteral("/") : result;
}

QString CommandLinePath(int argc, char** argv) {
    std::string joined;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) joined += ' ';
        joined += argv[i];
    }
    QString path = PathFromBytes(util::Unquote(joined));
    if (path.contains(QLatin1Char('~'))) path = ExpandShortPath(path);
    return path;
}

bool RunCommandLine(const QString& commandLine) {
    QStringList words = QProcess::splitCommand(commandLine);
    if (words.isEmpty()) return false;
    const QString program = words.takeFirst();
    return Prompt().StartProcess(program, words);
}

}  // namespace velmor::Global
