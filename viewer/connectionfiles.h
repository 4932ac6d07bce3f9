// Comparing and replacing a data connection file when the viewer asks
// whether changes are to be kept.
#pragma once

#include <QString>

namespace velmor::viewer {

/// The scratch copy beside Connection: same folder, name starting with "~".
QString TemporaryConnectionPath(const QString& connection);

/// True when the two files differ in any line other than by case, or in
/// their number of lines. A file that cannot be read differs.
bool ConnectionFilesDiffer(const QString& a, const QString& b);

/// Puts Scratch in Connection's place in one step (the old file is never
/// gone before the new one is there). False when that failed.
bool ReplaceConnectionFile(const QString& connection, const QString& scratch);

}  // namespace velmor::viewer
