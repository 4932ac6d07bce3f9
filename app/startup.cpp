#include "app/startup.h"

#include <QApplication>
#include <QStringList>

#include "app/global.h"
#include "editors/editorwindows.h"
#include "tools/toolwindows.h"
#include "util/utilities.h"
#include "viewer/frmFileView.h"

namespace velmor::Global {

namespace {
/// The one data-file path of the command line; a path with blanks may
/// arrive split into several arguments.
QString CommandLineText(int argc, char** argv) {
    QStringList parts;
    for (int i = 1; i < argc; ++i) parts << QString::fromLocal8Bit(argv[i]);
    return parts.join(QLatin1Char(' '));
}

void RegisterWindows(frmFileView& viewer) {
    // Windows of the editors, the field editor with the layout converter
    editors::RegisterEditorWindows(viewer, tools::LayoutConverterOpener(viewer));
    // Windows of the tools
    tools::RegisterToolWindows(viewer);
}
}  // namespace

int Main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Velmor_Dravik"));
    LoadSettings();
    LoadConnectionProfiles();
    HandSettingsToEngine();

    const QString commandLine = CommandLineText(argc, argv);
    int result = 0;
    {
        frmFileView viewer;
        RegisterWindows(viewer);
        viewer.Form_Load(commandLine.trimmed().isEmpty());
        QString path = QString::fromStdString(util::Unquote(commandLine.toStdString()));
        if (path.contains(QLatin1Char('~'))) path = ExpandShortPath(path);
        if (!path.isEmpty() && util::FileExists(path.toStdString())) viewer.AddFile(path);
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
