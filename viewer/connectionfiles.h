// Comparing and replacing a data connection file when the viewer asks
// whether changes are to be kept.
#pragma once

#include <QString>
#include <string>

namespace velmor::viewer {

/// The scratch copy beside Connection: same folder, name starting with "~".
QString TemporaryConnectionPath(const QString& connection);

/// True when the two files differ in any line other than by case, or in
/// their number of lines. A file that cannot be read differs.
bool ConnectionFilesDiffer(const QString& a, const QString& b);

/// Writes Scratch's content as Connection's through the safe writer (the
/// old file is never gone before the new one is complete) and removes
/// Scratch. False with Error when Connection could not be written.
bool ReplaceConnectionFile(const QString& connection, const QString& scratch, std::string& error);

}  // namespace velmor::viewer
