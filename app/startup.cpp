#include "app/startup.h"

#include <QApplication>
#include <QByteArray>

#include "app/global.h"
#include "app/pathbytes.h"
#include "editors/editorwindows.h"
#include "util/utilities.h"
#include "viewer/frmFileView.h"

namespace velmor::Global {

namespace {
void RegisterWindows(frmFileView& viewer) {
    // Windows of the editors
    editors::RegisterEditorWindows(viewer);
}
}  // namespace

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor_Dravik"));
    LoadSettings();
    LoadConnectionProfiles();

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
