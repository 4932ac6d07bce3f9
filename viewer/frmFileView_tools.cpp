// The viewer's two services beside the view: printing the current record and
// handing the open file to the maker's sibling programs.
#include <QAction>
#include <QMenu>
#include <QPrinter>
#include <ctime>

#include "app/global.h"
#include "app/pathbytes.h"
#include "app/userprompt.h"
#include "data/recorddump.h"
#include "viewer/frmFileView.h"
#include "viewer/recordprint.h"

namespace velmor {

namespace {
// Paths go to the siblings as the file system's own bytes (PathFromBytes).
QString Q(const std::string& s) {
    return PathFromBytes(s);
}
}  // namespace

void frmFileView::mnuprintrecord_Click() {
    if (mFile->PathAndName().empty()) return;
    const data::RecordNo record = mFile->RecordNumber();
    QPrinter printer;
    if (!Prompt().ChoosePrinter(printer)) return;
    const std::time_t t = std::time(nullptr);
    std::tm now{};
    localtime_r(&t, &now);
    const std::vector<std::string> lines = data::RecordDump::Lines(*mFile, record, now);
    if (!viewer::PrintDump(printer, viewer::DumpText(lines, TextEncoding()))) return;
    Prompt().Message(QStringLiteral("Please Check your local printer for the output."),
                     QStringLiteral("Done."), UserPrompt::Buttons::Ok,
                     UserPrompt::Icon::Information);
}

void frmFileView::UpdateLaunchMenu() {
    ToolsPath = viewer::SiblingTools::ToolsPathFor(Global::ProgramFolder());
    const viewer::SiblingTools tools{ToolsPath};
    const viewer::SiblingTools::MenuState state = tools.Evaluate(
        Q(mFile->PathAndName()), Q(mFile->FilePath()), Q(mFile->FileTitle()));
    mnuReformat->setVisible(state.reformat);
    mnuMatch->setVisible(state.match);
    mnuParentProcess->setVisible(state.parentProcess);
    mnuLaunch->menuAction()->setVisible(state.launch);
}

// The path goes to the sibling as one argument, without a shell, so a path
// with blanks arrives whole.
void frmFileView::LaunchSibling(const QString& program, const QString& path) {
    Prompt().StartProcess(program, {path});
    close();
}

void frmFileView::mnuReformat_Click() {
    LaunchSibling(viewer::SiblingTools{ToolsPath}.reformat(), Q(mFile->PathAndName()));
}

void frmFileView::mnuMatch_Click() {
    LaunchSibling(viewer::SiblingTools{ToolsPath}.match(), Q(mFile->PathAndName()));
}

void frmFileView::mnuParentProcess_Click() {
    const QString title = Q(mFile->FileTitle());
    const QString program = viewer::SiblingTools{ToolsPath}.ParentProgram(title);
    if (program.isEmpty()) return;
    LaunchSibling(program, viewer::SiblingTools::ParentScript(Q(mFile->FilePath()), title));
}

}  // namespace velmor
