// The options window's arithmetic on a group's extension text, which holds
// entries such as "*.CSV" joined by "; ".
#pragma once

#include <QString>
#include <QStringList>
#include <optional>

#include "app/global.h"

namespace velmor::options {

/// The part of an entry after its first "." (all of it without one), trimmed.
QString ShownExtension(const QString& entry);
/// One row per entry of Extensions, as the extension list shows them.
QStringList ShownExtensions(const QString& extensions);
/// An answer to "What is the new extension?" as stored: after its first
/// ".", trimmed, upper case.
QString ExtensionFromAnswer(const QString& answer);
/// True when the extension could be stored without breaking the list
/// (no ";" or "|", no blanks inside).
bool UsableExtension(const QString& extension);
/// "*." + Extension, after "; " when Extensions is not empty.
QString AddExtension(const QString& extensions, const QString& extension);
/// Cuts the first entry that shows as Shown (the whole entry, never a part
/// of a longer one), then tidies the separators left behind.
QString RemoveExtension(const QString& extensions, const QString& shown);
/// Name of the first profile with an entry that reduces to Extension.
std::optional<QString> ExtensionOwner(const ProfileList& profiles, const QString& extension);
/// A number box's text as stored: the leading whole number, clamped to
/// 0 .. the largest record length or offset a profile holds.
qint32 ReadNumberBox(const QString& text);

}  // namespace velmor::options
