// Starting another program that outlives this one (the Launch menu's
// siblings, a second instance for a file). Arguments are file names in the
// PathFromBytes form, so each reaches the program as the very bytes the file
// system knows, also where they are not UTF-8.
#pragma once

#include <QString>
#include <QStringList>

namespace velmor {

/// Starts Program (a path, or a name looked up in PATH) with Arguments, each
/// one argument, without a shell, in a session of its own. False when it
/// could not be started.
bool StartDetached(const QString& program, const QStringList& arguments);

}  // namespace velmor
