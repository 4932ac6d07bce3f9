#include "program/startup.h"

#include <QApplication>
#include <QByteArray>

#include "app/global.h"
#include "dialogs/frmOptions.h"
#include "app/pathbytes.h"
#include "editors/editorwindows.h"
#include "editors/frmStringRepresentation.h"
#include "hexedit/hexwindows.h"
#include "tools/toolwindows.h"
#include "util/utilities.h"
#include "viewer/frmFileView.h"
#include "viewer/frmFind2.h"

namespace velmor::Global {

namespace {
void RegisterWindows(frmFileView& viewer) {
    // Windows of the editors, the field editor with the layout converter
    editors::RegisterEditorWindows(viewer, tools::LayoutConverterOpener(viewer));
    // The options window is made afresh on each use.
    viewer.SetWindowOpener(QStringLiteral("mnuOptions"), [&viewer] {
        frmOptions options(&viewer);
        options.ShowComposer = [&options] {
            editors::frmStringRepresentation composer(&options);
            frmFileView::ShowModal(composer);
        };
        frmFileView::ShowModal(options);
        options.Form_Unload();
    });
    hexedit::RegisterHexWindows(viewer);
    RegisterSearchWindow(viewer);
    // Windows of the tools
    tools::RegisterToolWindows(viewer);
}
}  // namespace

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor_Dravik"));
    QApplication::setWindowIcon(ProgramIcon());
    QApplication::setDesktopFileName(QStringLiteral("velmor_dravik"));
    LoadSettings();
    LoadConnectionProfiles();
    HandSettingsToEngine();

    const QString path = CommandLinePath(argc, argv);
    int result = 0;
    {
        frmFileView viewer;
        RegisterWindows(viewer);
        bool blank = true;
        for (int i = 1; i < argc; ++i) blank = blank && QByteArray(argv[i]).trimmed().isEmpty();
        viewer.Form_Load(blank);
        if (!path.isEmpty() && util::FileExists(PathBytes(path))) viewer.AddFile(path);
        result = QApplication::exec();
    }
    // The viewer has ended: settings first, then the profiles, then the
    // shell registration.
    SaveSettings();
    SaveConnectionProfiles();
    RegisterShellOpenCommand();
    return result;
}

}  // namespace velmor::Global
