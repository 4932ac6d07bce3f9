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
