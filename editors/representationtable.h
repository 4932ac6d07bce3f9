// The character table of the representation composer and the two ways a
// picked set of characters is turned into representation text. Kept apart
// from the window so the rules can be checked without widgets.
#pragma once

#include <QString>
#include <array>
#include <string>

namespace velmor::editors {

/// One flag per character code: which rows of the table are selected.
using CharacterSelection = std::array<bool, 256>;

/// The table row shown for Code: hex, tab, decimal, tab, the character and,
/// for the codes that have one, a tab and a description.
QString CharacterTableRow(int code);

/// The description of Code ("Null", "Tab", ...), "" for most codes.
QString CharacterDescription(int code);

/// The selected characters in ascending code order; clears the selection,
/// as picking them up from the table does.
std::string CollectSelection(CharacterSelection& selection);

/// "&Add": the box text with the representation of Characters appended
/// after " & " (the box text is trimmed of spaces first); the box text
/// unchanged when nothing was picked.
QString AddRepresentation(const QString& boxText, const std::string& characters);

/// "&Replace": the representation of Characters alone ("" for none).
QString ReplaceRepresentation(const std::string& characters);

}  // namespace velmor::editors
