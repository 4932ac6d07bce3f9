#include "tools/toolwindows.h"

#include <QPointer>
#include <QString>
#include <memory>

#include "tools/frmDataConverter.h"
#include "tools/frmFieldCodeCounter.h"
#include "tools/frmLayoutConverter.h"
#include "viewer/frmFileView.h"

namespace velmor::tools {

data::File& FileViewToolHost::File() {
    return viewer_.File();
}

void FileViewToolHost::RefreshView() {
    viewer_.RefreshView();
}

bool FileViewToolHost::AddFile(const QString& pathAndName) {
    return viewer_.AddFile(pathAndName);
}

namespace {

// The window keeps its own view of the viewer and releases it when it goes.
template <class Window>
Window* CreateOnViewer(frmFileView& viewer) {
    auto* host = new FileViewToolHost(viewer);
    auto* window = new Window(*host, &viewer);
    QObject::connect(window, &QObject::destroyed, [host] { delete host; });
    viewer.RegisterWindow(window);
    return window;
}

template <class Window>
std::function<void()> Opener(frmFileView& viewer, bool modal) {
    auto instance = std::make_shared<QPointer<Window>>();
    return [&viewer, instance, modal] {
        if (instance->isNull()) *instance = CreateOnViewer<Window>(viewer);
        Window& window = **instance;
        // A modeless window already on the screen keeps its state.
        if (!window.isVisible()) window.Form_Load();
        if (modal) {
            frmFileView::ShowModal(window);
        } else {
            window.show();
            window.raise();
            window.activateWindow();
        }
    };
}

}  // namespace

void RegisterToolWindows(frmFileView& viewer) {
    viewer.SetWindowOpener(QStringLiteral("mnuDataConverter"), Opener<frmDataConverter>(viewer, false));
    viewer.SetWindowOpener(QStringLiteral("mnuFieldCodeCounter"),
                           Opener<frmFieldCodeCounter>(viewer, true));
}

std::function<void()> LayoutConverterOpener(frmFileView& viewer) {
    return Opener<frmLayoutConverter>(viewer, true);
}

}  // namespace velmor::tools
