// Telling the desktop that the user's file-type groups open with this
// program: a MIME package naming each group's extensions and a desktop entry
// for the program, both in the user's own data folder ($XDG_DATA_HOME).
#pragma once

#include <QByteArray>
#include <QString>

#include "app/global.h"

namespace velmor::desktop {

/// "application/x-velmor-group-" + the name in lower-case letters, digits
/// and dashes.
QString GroupMimeType(const QString& groupName);
/// The MIME package for Groups; patterns that would match every file
/// ("*.*", "*") are left out.
QByteArray MimePackage(const ProfileList& groups);
/// The program's desktop entry, starting Program (quoted as the desktop
/// entry format wants) for the built-in types and every group's type.
QByteArray DesktopEntry(const QString& program, const ProfileList& groups);
/// Writes Content to Path unless the file holds exactly that already;
/// true when it was written.
bool WriteIfChanged(const QString& path, const QByteArray& content);

/// Folder of the user's data files: $XDG_DATA_HOME, else ~/.local/share.
QString UserDataFolder();
/// Writes both files for Groups; after a change runs update-mime-database
/// and update-desktop-database on the user's folders when they are there.
/// Returns true when something was written.
bool RegisterUserFileTypes(const ProfileList& groups, const QString& program);

}  // namespace velmor::desktop
