// Program-wide state and shared routines: settings, connection profiles,
// path helpers and list selection. One instance for the whole program.
#pragma once

#include <QString>
#include <vector>

#include "app/userprompt.h"

class QIcon;
class QWidget;
namespace velmor::data {
class FileTypes;
}

namespace velmor {

/// One type of data file with its record settings (a line group of
/// "UserConnections.txt").
struct ConnectionProfile {
    QString Name;
    QString Extensions;
    bool IsFixed = false;
    bool IsDelimited = false;
    qint32 RecordLength = 0;
    qint32 ByteOffset = 0;
    bool FirstRecordContainsFieldNames = false;
    QString RecordDelimiterRepresentation;
    QString FieldDelimiterRepresentation;
    QString TextQualifierRepresentation;
    bool operator==(const ConnectionProfile&) const = default;
};
using ProfileList = std::vector<ConnectionProfile>;  // 0-based

namespace Global {

// ---- settings (registry) ----
inline QString LastPathOpened;
inline QString LastDataConnectionName;
inline QString SecondaryConnectionAndIndexingPath;
inline bool StoreConnectionAndIndexingFilesInDataPath = false;
inline bool PromptToSaveConfigurationChanges = false;
inline QString TempFolderPath;
inline bool CreateFormatFileDuringSave = false;

// ---- profiles ----
inline ProfileList Connections;     ///< the user's, saved
inline ProfileList ExtraFileTypes;  ///< "DBase III" and "All Files"
inline ProfileList AllFileTypes;    ///< both, sorted by name

/// The text a delimiter box and the representation composer exchange.
inline QString StringRepresentation;

/// Program folder (the executable's) without a trailing separator; tests
/// may point it elsewhere.
QString ProgramFolder();
void SetProgramFolder(const QString& folder);
/// Executable name without folder, as the file is named (dots included).
QString ExecutableName();
/// A file shipped with the program: in the program folder, else where an
/// install puts shared files beside it (share/velmor_dravik).
QString ProgramFile(const QString& name);
/// The program's icon, in every size it ships.
QIcon ProgramIcon();
/// The name part of ProgramFile; the program's own name when that is empty.
QString ExecutableNameOf(const QString& programFile);
/// The user's own configuration folder (no trailing separator): the
/// environment's VELMOR_CONFIG when set, else the desktop's configuration
/// place; tests may point it elsewhere.
QString UserConfigFolder();
void SetUserConfigFolder(const QString& folder);

/// Restores every variable above to its first-start value.
void ResetState();

void LoadSettings();
void SaveSettings();
void RegisterShellOpenCommand();
/// Replaces the first "$APPPATH" (any case) by ProgramFolder().
QString ExpandAppPath(const QString& text);
/// The absolute path with every component looked up in the file system;
/// empty when one does not exist. A leading "~" or "~user" is that home
/// folder, as in a shell; a tilde elsewhere is part of a name.
QString ExpandShortPath(const QString& path);
/// The data-file path of the program's arguments (all after the first,
/// joined by blanks: a path with blanks may arrive split), unquoted, with a
/// leading "~" expanded; bytes that are not UTF-8 are kept (PathFromBytes).
QString CommandLinePath(int argc, char** argv);
/// Starts the command line without waiting; false when it could not start.
bool RunCommandLine(const QString& commandLine);
/// List: QListWidget or QComboBox. Item data is the Qt::UserRole value,
/// compared with the leading number of Text. The change raises the list's
/// own signals, as a selection by the program does.
void SelectListItem(QWidget* list, const QString& text, bool byItemData);
/// Selects entry Index (-1 clears) without raising click handlers; returns
/// the selection afterwards. Other controls: a message, result 0.
int SetListIndex(QWidget* control, int index);

/// The profile built-ins used when "UserConnections.txt" is absent.
ProfileList BuiltInProfiles();
/// The profile file read at start: the user's configuration folder's when
/// it holds one, else the program folder's.
QString ProfileFilePath();
/// Where the profiles are saved: the user's configuration folder when it
/// already holds them or the program folder cannot be written.
QString ProfileSavePath();
void LoadConnectionProfiles();
/// False when the file could not be written (nothing is left half-written),
/// and when the last load found a file yielding no profile and the profiles
/// are still the built-ins shown meanwhile: that file is then left as it
/// was. Changed profiles replace it, and it is kept as "...txt.bak".
bool SaveConnectionProfiles();
void MergeFileTypes();
void SortProfilesByName(ProfileList& list);
/// Fills Filter, FilterIndex and FileName of an open-dialog request.
void SetDialogFilter(UserPrompt::FileRequest& dialog);
/// Sets LastDataConnectionName from a file name's extension (plain
/// containment test against AllFileTypes' patterns).
void RecogniseFileType(const QString& pathAndName);
/// Hands every AllFileTypes entry to the engine's file types.
void RegisterFileTypes(data::FileTypes& types);
/// Makes the connection-folder settings and the file types the ones every
/// engine File and Converter starts with, whoever creates it (a window or a
/// script); run after the settings or profiles change.
void HandSettingsToEngine();

}  // namespace Global
}  // namespace velmor
