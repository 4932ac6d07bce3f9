// Telling the desktop that the user's own file-type groups open with this
// program, without taking a file type from any other program: patterns an
// installed MIME type already claims keep that type; only unclaimed ones get
// a type of ours, a low-weight subclass of text/plain. The files live in the
// user's data folder ($XDG_DATA_HOME) under names of their own, so the
// packaged desktop entry stays visible; with no groups of the user's own
// nothing is registered there.
#pragma once

#include <QByteArray>
#include <QMap>
#include <QString>
#include <QStringList>

#include "app/global.h"

namespace velmor::desktop {

/// "application/x-velmor-group-" + the name in lower-case letters, digits
/// and dashes.
QString GroupMimeType(const QString& groupName);

/// The types the packaged desktop entry lists; never repeated per user.
QStringList PackagedMimeTypes();

/// The name patterns of the MIME databases below Folders (each
/// "<folder>/mime/globs2"), our own group types left out.
class InstalledGlobs {
public:
    explicit InstalledGlobs(const QStringList& dataFolders);
    /// The installed types whose glob, at the highest weight, matches a name
    /// of Pattern ("*.csv": text/csv); empty when no type claims it.
    QStringList TypesFor(const QString& pattern) const;

private:
    struct Glob {
        int weight;
        QString type;
        QString pattern;
    };
    QList<Glob> globs_;
};

/// What registering Groups writes: the MIME package of the new types (empty
/// when none is needed) and the desktop entry (empty when nothing is left
/// to list).
struct Registration {
    QByteArray mimePackage;
    QByteArray desktopEntry;
};
/// Groups named and patterned as a built-in one are the package's business.
Registration RegistrationFor(const ProfileList& groups, const QString& program,
                             const InstalledGlobs& installed);

/// Folder of the user's data files: $XDG_DATA_HOME, else ~/.local/share.
QString UserDataFolder();
/// The user's data folder followed by $XDG_DATA_DIRS (else /usr/local/share
/// and /usr/share).
QStringList DataFolders();
/// Makes the user's folders hold exactly RegistrationFor(Groups): writes
/// what changed, removes what is no longer needed, then runs
/// update-mime-database and update-desktop-database there. Returns true
/// when something was written or removed.
bool RegisterUserFileTypes(const ProfileList& groups, const QString& program);

}  // namespace velmor::desktop
