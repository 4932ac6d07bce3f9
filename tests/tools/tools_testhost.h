// A stand-in for the record viewer behind the tool windows: a real engine
// file, a count of redraws and the files it was asked to open.
#pragma once

#include <QString>
#include <QStringList>

#include "data/file.h"
#include "tools/toolhost.h"

class ToolsTestHost : public velmor::tools::ToolHost {
public:
    ToolsTestHost() {
        file.SetStoreConnectionAndIndexingFilesInDataPath("True");
        file.OnError = [this](const std::string& description, bool& cancel) {
            errors << QString::fromStdString(description);
            cancel = true;
        };
    }
    /// Opens Path as a quoted CSV with CR LF records and a names row.
    bool OpenCsv(const QString& path) {
        if (!file.Open(path.toStdString())) return false;
        velmor::data::Connection& c = file.GetConnection();
        c.SetIsFixed(false);
        c.SetIsDelimited(true);
        c.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
        c.SetFieldDelimiterRepresentation("CHR$(44)");
        c.SetTextQualifierRepresentation("CHR$(34)");
        c.SetFirstRecordContainsFieldNames(true);
        file.GetFields().Clear();
        file.Refresh();
        return true;
    }
    /// Opens Path as fixed records of Length bytes; Fields, when given,
    /// replace the layout, laid end to end.
    bool OpenFixed(const QString& path, qint64 length,
                   std::initializer_list<std::pair<const char*, qint64>> fields = {}) {
        if (!file.Open(path.toStdString())) return false;
        file.SetDatabaseType("Flat ASCII");
        velmor::data::Connection& c = file.GetConnection();
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetRecordLength(length);
        if (fields.size() > 0) file.GetFields().Clear();
        for (const auto& [name, size] : fields) file.GetFields().Add(name, size);
        file.Refresh();
        return true;
    }
    velmor::data::File& File() override { return file; }
    void RefreshView() override { ++redraws; }
    bool AddFile(const QString& pathAndName) override {
        added << pathAndName;
        return true;
    }

    velmor::data::File file;
    int redraws = 0;
    QStringList added;
    QStringList errors;
};
