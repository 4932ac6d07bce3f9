#include "hexedit/hexwindows.h"

#include <QPointer>
#include <memory>

#include "hexedit/frmHexView.h"
#include "viewer/frmFileView.h"

namespace velmor::hexedit {

std::string FileViewHexHost::PathAndName() {
    return viewer_.File().PathAndName();
}

std::int64_t FileViewHexHost::FileLength() {
    return viewer_.File().FileLength();
}

std::int64_t FileViewHexHost::RecordStartByte() {
    return viewer_.File().RecordStartByte();
}

void FileViewHexHost::RefreshView() {
    viewer_.RefreshView();
}

void FileViewHexHost::ReloadFile() {
    // The viewer's own watch for files changed elsewhere re-reads it and
    // keeps the layout in force; asking it now spares the wait for its timer.
    viewer_.Timer1_Timer();
}

viewer::DisplayEncoding FileViewHexHost::TextEncoding() {
    return viewer_.TextEncoding();
}

void RegisterHexWindows(frmFileView& viewer) {
    auto instance = std::make_shared<QPointer<frmHexView>>();
    viewer.SetWindowOpener(QStringLiteral("mnuhexeditor"), [&viewer, instance] {
        if (viewer.File().PathAndName().empty()) return;
        if (instance->isNull()) {
            auto* host = new FileViewHexHost(viewer);
            *instance = new frmHexView(*host, &viewer);
            QObject::connect(instance->data(), &QObject::destroyed, [host] { delete host; });
            viewer.RegisterWindow(instance->data());
        }
        (*instance)->Form_Load();
        frmFileView::ShowModal(**instance);
    });
}

}  // namespace velmor::hexedit
