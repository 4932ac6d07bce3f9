// File names are bytes on this system and need not be valid UTF-8. A name
// travels through the windows as text in which every byte that is not part
// of valid UTF-8 stands as one unpaired surrogate (U+DC80..U+DCFF), so that
// turning it back into bytes gives the very name the system knows.
#pragma once

#include <QString>
#include <string>
#include <string_view>

namespace velmor {

QString PathFromBytes(std::string_view bytes);
std::string PathBytes(const QString& path);
/// A name as the windows show it (the title, the printed record): valid
/// UTF-8 as such, and each other byte as its Windows-1252 character.
QString DisplayPath(std::string_view bytes);

}  // namespace velmor
