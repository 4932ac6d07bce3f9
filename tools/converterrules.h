// The data converter's rules between its settings and the file types
// (connection profiles): which profile the settings match, and the target
// extension a profile proposes. No widgets.
#pragma once

#include <QString>

#include "app/global.h"

namespace velmor::data {
class Converter;
}

namespace velmor::tools {

/// The three characters after the first "." of an extension list such as
/// "*.csv;*.txt" ("csv"); longer extensions are cut to three characters.
QString ProposedExtension(const QString& extensions);

/// Index in Profiles of the first profile the settings match: the same
/// IsFixed, the three delimiter representations (ignoring case), the same
/// FirstRecordContainsFieldNames and an extension of its list equal to
/// Extension (ignoring case). -1 when none does.
int MatchingProfile(const ProfileList& profiles, const data::Converter& settings,
                    const QString& extension);

/// Gives Converter the record settings of Profile.
void ApplyProfile(const ConnectionProfile& profile, data::Converter& converter);

}  // namespace velmor::tools
