// A stand-in for the record viewer behind the editors: a real engine file,
// a scroll bar, and a count of redraws.
#pragma once

#include <QScrollBar>
#include <QString>
#include <QStringList>

#include "data/file.h"
#include "editors/viewerhost.h"

class EditorsTestHost : public velmor::editors::ViewerHost {
public:
    EditorsTestHost() {
        file.OnError = [this](const std::string& description, bool& cancel) {
            errors << QString::fromStdString(description);
            cancel = true;
        };
    }
    velmor::data::File& File() override { return file; }
    void RefreshView() override { ++redraws; }
    QScrollBar* HScroll1() override { return &bar; }

    velmor::data::File file;
    QScrollBar bar{Qt::Horizontal};
    int redraws = 0;
    QStringList errors;
};
