#include "tools/converterrules.h"

#include <QStringList>

#include "data/converter.h"

namespace velmor::tools {

namespace {

bool SameText(const QString& a, const std::string& b) {
    return a.compare(QString::fromStdString(b), Qt::CaseInsensitive) == 0;
}

// The text after the first "." of one entry of an extension list.
QString AfterFirstDot(const QString& entry) {
    const qsizetype dot = entry.indexOf(QLatin1Char('.'));
    return dot < 0 ? QString() : entry.mid(dot + 1);
}

}  // namespace

QString ProposedExtension(const QString& extensions) {
    return AfterFirstDot(extensions).left(3);
}

int MatchingProfile(const ProfileList& profiles, const data::Converter& s,
                    const QString& extension) {
    for (std::size_t i = 0; i < profiles.size(); ++i) {
        const ConnectionProfile& p = profiles[i];
        if (p.IsFixed != s.IsFixed()) continue;
        if (!SameText(p.FieldDelimiterRepresentation, s.FieldDelimiterRepresentation())) continue;
        if (!SameText(p.RecordDelimiterRepresentation, s.RecordDelimiterRepresentation())) continue;
        if (!SameText(p.TextQualifierRepresentation, s.TextQualifierRepresentation())) continue;
        if (p.FirstRecordContainsFieldNames != s.FirstRecordContainsFieldNames()) continue;
        for (const QString& entry : p.Extensions.split(QLatin1Char(';'))) {
            if (AfterFirstDot(entry).compare(extension, Qt::CaseInsensitive) == 0) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

void ApplyProfile(const ConnectionProfile& p, data::Converter& c) {
    c.SetIsFixed(p.IsFixed);
    c.SetIsDelimited(p.IsDelimited);
    c.SetFieldDelimiterRepresentation(p.FieldDelimiterRepresentation.toStdString());
    c.SetRecordDelimiterRepresentation(p.RecordDelimiterRepresentation.toStdString());
    c.SetTextQualifierRepresentation(p.TextQualifierRepresentation.toStdString());
    c.SetFirstRecordContainsFieldNames(p.FirstRecordContainsFieldNames);
}

}  // namespace velmor::tools
