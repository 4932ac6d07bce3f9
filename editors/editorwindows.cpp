#include "editors/editorwindows.h"

#include <QPointer>

#include "editors/frmDKConnection.h"
#include "editors/frmDKFields.h"
#include "viewer/frmFileView.h"

namespace velmor::editors {

data::File& FileViewHost::File() {
    return viewer_.File();
}

void FileViewHost::RefreshView() {
    viewer_.RefreshView();
}

QScrollBar* FileViewHost::HScroll1() {
    return viewer_.HScroll1;
}

namespace {

// The window keeps its own view of the viewer and releases it when it goes.
template <class Window>
Window* CreateOnViewer(frmFileView& viewer) {
    auto* host = new FileViewHost(viewer);
    auto* window = new Window(*host, &viewer);
    QObject::connect(window, &QObject::destroyed, [host] { delete host; });
    viewer.RegisterWindow(window);
    return window;
}

template <class Window>
void RegisterOpener(frmFileView& viewer, const QString& menuName,
                    std::function<void(Window&)> prepare = {}) {
    auto instance = std::make_shared<QPointer<Window>>();
    viewer.SetWindowOpener(menuName, [&viewer, instance, prepare] {
        if (instance->isNull()) {
            *instance = CreateOnViewer<Window>(viewer);
            if (prepare) prepare(**instance);
        }
        frmFileView::ShowModal(**instance);
    });
}

}  // namespace

void RegisterEditorWindows(frmFileView& viewer, std::function<void()> showLayoutConverter) {
    RegisterOpener<frmDKConnection>(viewer, QStringLiteral("mnudataconnection"));
    RegisterOpener<frmDKFields>(viewer, QStringLiteral("mnufields"),
                                [showLayoutConverter](frmDKFields& fields) {
                                    if (showLayoutConverter)
                                        fields.SetLayoutConverter(showLayoutConverter);
                                });
}

}  // namespace velmor::editors
