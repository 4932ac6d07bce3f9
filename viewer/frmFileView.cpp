#include "viewer/frmFileView.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QProgressDialog>
#include <QScreen>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>
#include <QWindow>
#include <algorithm>
#include <filesystem>

#include "app/global.h"
#include "app/pathbytes.h"
#include "app/userprompt.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmTip.h"
#include "util/utilities.h"
#include "viewer/connectionfiles.h"
#include "viewer/frmFind2.h"

namespace velmor {

std::function<void(QDialog&)> frmFileView::ShowModal = [](QDialog& dialog) { dialog.exec(); };

namespace {
const QString kProgramTitle = QStringLiteral("Velmor_Dravik");

// Paths keep bytes that are not UTF-8 both ways (PathBytes); texts only
// shown are read as UTF-8.
std::string Std(const QString& s) {
    return PathBytes(s);
}
QString Q(const std::string& s) {
    return QString::fromStdString(s);
}
}  // namespace

frmFileView::frmFileView(QWidget* parent)
    : QMainWindow(parent), mFile(std::make_unique<data::File>()), mSource(*mFile) {
    Global::RegisterFileTypes(mFile->GetFileTypes());
    mFile->SetLoading(false);
    setObjectName(QStringLiteral("frmFileView"));
    setWindowTitle(kProgramTitle);
    setAcceptDrops(true);
    resize(800, 600);
    // On a small screen, or with large fonts scaling every pixel, the window
    // starts inside the screen rather than running off its edges.
    if (const QScreen* where = screen()) {
        const QSize room = where->availableGeometry().size() * 0.9;
        resize(std::min(width(), room.width()), std::min(height(), room.height()));
    }
    mDrawer = std::make_unique<viewer::SlideDrawer>(
        viewer::CellMetrics::ForDpi(logicalDpiX(), logicalDpiY()));
    BuildMenus();
    BuildControls();
    ConnectEngine();
    ResizeContainer();
    ShowHideControls();
}

frmFileView::~frmFileView() {
    // The engine outlives no handler that points back at this window.
    mFile->OnError = nullptr;
    mFile->OnConnectionEstablished = nullptr;
    mFile->OnRecordNumberChanged = nullptr;
    mFile->OnRecordUpdated = nullptr;
    mFile->OnProgress = nullptr;
}

QAction* frmFileView::AddItem(QMenu* menu, const QString& name, const QString& caption,
                              void (frmFileView::*handler)()) {
    QAction* a = menu->addAction(caption);
    a->setObjectName(name);
    if (handler)
        connect(a, &QAction::triggered, this, [this, handler] { (this->*handler)(); });
    else
        connect(a, &QAction::triggered, this, [this, name] { OpenWindow(name); });
    return a;
}

QAction* frmFileView::AddSeparator(QMenu* menu, const QString& name) {
    QAction* a = menu->addSeparator();
    a->setObjectName(name);
    return a;
}

void frmFileView::BuildMenus() {
    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuFile->setObjectName(QStringLiteral("mnuFile"));
    mnuOptions = AddItem(mnuFile, QStringLiteral("mnuOptions"), QStringLiteral("O&ptions..."));
    mnudash1 = AddSeparator(mnuFile, QStringLiteral("mnudash1"));
    mnuAddDataFile = AddItem(mnuFile, QStringLiteral("mnuAddDataFile"), QStringLiteral("&Open..."),
                             &frmFileView::mnuAddDataFile_Click);
    mnuAddDataFile->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    mnuSaveDataConnection =
        AddItem(mnuFile, QStringLiteral("mnuSaveDataConnection"), QStringLiteral("&Save"),
                &frmFileView::mnuSaveDataConnection_Click);
    mnuSaveDataConnection->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    mnuSaveDataConnection->setVisible(false);
    mnuclose = AddItem(mnuFile, QStringLiteral("mnuclose"), QStringLiteral("&Close"),
                       &frmFileView::mnuclose_Click);
    mnudash2 = AddSeparator(mnuFile, QStringLiteral("mnudash2"));
    mnuexit = AddItem(mnuFile, QStringLiteral("mnuexit"), QStringLiteral("E&xit"),
                      &frmFileView::mnuexit_Click);

    mnutools = menuBar()->addMenu(QStringLiteral("&Tools"));
    mnutools->setObjectName(QStringLiteral("mnutools"));
    mnuLaunchConnectionWizard = AddItem(mnutools, QStringLiteral("mnuLaunchConnectionWizard"),
                                        QStringLiteral("Launch Connection Wizard"),
                                        &frmFileView::mnuLaunchConnectionWizard_Click);
    mnudataconnection = AddItem(mnutools, QStringLiteral("mnudataconnection"),
                                QStringLiteral("&Data Connection..."));
    mnufields = AddItem(mnutools, QStringLiteral("mnufields"), QStringLiteral("&Fields..."));
    mnuSep1 = AddSeparator(mnutools, QStringLiteral("mnuSep1"));
    mnufindrecord =
        AddItem(mnutools, QStringLiteral("mnufindrecord"), QStringLiteral("&Search..."));
    mnuhexeditor =
        AddItem(mnutools, QStringLiteral("mnuhexeditor"), QStringLiteral("&Hex View..."));
    mnusep3 = AddSeparator(mnutools, QStringLiteral("mnusep3"));
    mnuDataConverter =
        AddItem(mnutools, QStringLiteral("mnuDataConverter"), QStringLiteral("File &Converter..."));
    mnuFieldCodeCounter = AddItem(mnutools, QStringLiteral("mnuFieldCodeCounter"),
                                  QStringLiteral("Field Code Counter..."));
    mnuSep2 = AddSeparator(mnutools, QStringLiteral("mnuSep2"));
    mnuprint = mnutools->addMenu(QStringLiteral("&Print"));
    mnuprint->setObjectName(QStringLiteral("mnuprint"));
    mnuprintrecord = AddItem(mnuprint, QStringLiteral("mnuprintrecord"), QStringLiteral("&Record"),
                             &frmFileView::mnuprintrecord_Click);
    mnutools->setEnabled(false);

    mnuLaunch = menuBar()->addMenu(QStringLiteral("&Launch"));
    mnuLaunch->setObjectName(QStringLiteral("mnuLaunch"));
    mnuParentProcess = AddItem(mnuLaunch, QStringLiteral("mnuParentProcess"),
                               QStringLiteral("&Parent Process"), &frmFileView::mnuParentProcess_Click);
    mnuReformat = AddItem(mnuLaunch, QStringLiteral("mnuReformat"), QStringLiteral("&Reformat"),
                          &frmFileView::mnuReformat_Click);
    mnuMatch = AddItem(mnuLaunch, QStringLiteral("mnuMatch"), QStringLiteral("&Match"),
                       &frmFileView::mnuMatch_Click);
    mnuLaunch->menuAction()->setVisible(false);

    mnuwindow = menuBar()->addMenu(QStringLiteral("&Window"));
    mnuwindow->setObjectName(QStringLiteral("mnuwindow"));
    mnuabout = AddItem(mnuwindow, QStringLiteral("mnuabout"), QStringLiteral("&About"),
                       &frmFileView::mnuabout_Click);
    connect(mnuwindow, &QMenu::aboutToShow, this, [this] { RebuildWindowMenu(); });

    mnuViewerTop = new QMenu(QStringLiteral("ViewerTop"), this);
    mnuViewerTop->setObjectName(QStringLiteral("mnuViewerTop"));
    mnuByteBar = AddItem(mnuViewerTop, QStringLiteral("mnuByteBar"), QStringLiteral("Byte Bar"),
                         &frmFileView::mnuByteBar_Click);
    mnuFieldNames = AddItem(mnuViewerTop, QStringLiteral("mnuFieldNames"),
                            QStringLiteral("Field Names"), &frmFileView::mnuFieldNames_Click);
    mnuByteBar->setCheckable(true);
    mnuFieldNames->setCheckable(true);
    BuildDisplayMenu();

    // Items whose windows are not registered do nothing, so they are off.
    for (QAction* a :
         {mnuOptions, mnudataconnection, mnufields, mnufindrecord, mnuhexeditor, mnuDataConverter,
          mnuFieldCodeCounter})
        a->setEnabled(false);
}

void frmFileView::ConnectEngine() {
    mFile->OnError = [this](const std::string& d, bool& cancel) { mFile_Error(d, cancel); };
    mFile->OnConnectionEstablished = [this] { mFile_ConnectionEstablished(); };
    mFile->OnRecordNumberChanged = [this](data::RecordNo& r) { mFile_RecordNumberChanged(r); };
    mFile->OnRecordUpdated = [this] { mFile_RecordUpdated(); };
    mFile->OnProgress = [this](std::int64_t done, std::int64_t total) {
        return ReportProgress(done, total);
    };
}

void frmFileView::SetWindowOpener(const QString& menuName, std::function<void()> open) {
    const QString key = menuName.toLower();
    mOpeners[key] = std::move(open);
    for (QAction* a : findChildren<QAction*>()) {
        if (a->objectName().toLower() != key) continue;
        a->setEnabled(true);
    }
}

void frmFileView::OpenWindow(const QString& menuName) {
    const auto it = mOpeners.find(menuName.toLower());
    if (it == mOpeners.end() || !it->second) return;
    if (menuName == QLatin1String("mnuDataConverter")) SaveConnectionQuietly();
    it->second();
}

void frmFileView::RegisterWindow(QWidget* window) {
    if (!window || window == this) return;
    for (const auto& w : mWindows)
        if (w == window) return;
    mWindows.emplace_back(window);
}

void frmFileView::UnloadOtherWindows() {
    for (const auto& window : mWindows)
        if (QWidget* w = window.data()) w->close();
}

void frmFileView::RebuildWindowMenu() {
    for (QAction* a : mnuwindow->actions())
        if (a != mnuabout) {
            mnuwindow->removeAction(a);
            a->deleteLater();
        }
    bool separated = false;
    for (const auto& window : mWindows) {
        QWidget* w = window.data();
        if (w == nullptr || !w->isVisible()) continue;
        if (!separated) mnuwindow->addSeparator();
        separated = true;
        QPointer<QWidget> target = w;
        connect(mnuwindow->addAction(w->windowTitle()), &QAction::triggered, this, [target] {
            if (QWidget* t = target.data()) t->activateWindow();
        });
    }
}

void frmFileView::Form_Load(bool commandLineEmpty) {
    ShowHideControls();
    show();
    if (!commandLineEmpty) return;
    frmTip tip(this);
    // Shown before the window manager has placed the main window, the tip
    // would be centred on where the window was asked to be: wait (briefly)
    // until the window is on screen where the manager put it.
    QElapsedTimer waited;
    waited.start();
    while (windowHandle() && !windowHandle()->isExposed() && waited.elapsed() < 1000)
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    QApplication::processEvents();
    tip.adjustSize();
    const QScreen* where = screen();
    tip.move(viewer::CentredOn(frameGeometry(), tip.size(),
                               where ? where->availableGeometry() : QRect()));
    ShowModal(tip);
}

void frmFileView::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() != QEvent::ActivationChange || !isActiveWindow()) return;
    if (mFile->PathAndName().empty()) return;
    mnuFieldNames->setChecked(mFile->ShowFieldNames());
    mnuByteBar->setChecked(!mFile->ShowFieldNames());
    for (const auto& window : mWindows) {
        QWidget* w = window.data();
        if (w == nullptr) continue;
        const QString name = w->objectName();
        // The search window hides when it loses the focus and comes back here,
        // unless it was the viewer it lost the focus to: then the viewer keeps
        // the keyboard.
        if (auto* search = dynamic_cast<frmFind2*>(w)) {
            if (!search->ComesBackWithViewer()) continue;
            w->show();
            w->activateWindow();
            return;
        }
        if (!w->isVisible()) continue;
        if (name == QLatin1String("frmDataConverter")) {
            w->show();
            w->activateWindow();
            return;
        }
    }
}

bool frmFileView::AddFile(const QString& pathAndName) {
    Global::HandSettingsToEngine();  // the options may have changed since
    mFile->SetStoreConnectionAndIndexingFilesInDataPath(
        Global::StoreConnectionAndIndexingFilesInDataPath ? "True" : "False");
    mFile->SetSecondaryConnectionAndIndexingPath(
        Std(Global::ExpandAppPath(Global::SecondaryConnectionAndIndexingPath)));
    mFile->SetLoading(true);
    if (!util::FileExists(Std(pathAndName))) return false;
    if (mFile->Connected()) SaveConnectionQuietly();
    mEngineError = false;
    const int refreshes = mRefreshCount;
    const bool opened = mFile->Open(Std(pathAndName));
    if (!opened || mFile->PathAndName().empty()) {
        mFile->SetLoading(false);
        ShowClosedState();
        return false;
    }
    // The engine's connection event has usually drawn the file already.
    if (pctContainer->isHidden() && refreshes == mRefreshCount) {
        UpdateCaption();
        RefreshView();
        ShowHideControls();
    }
    mFile->SetLoading(false);
    Global::LastPathOpened = PathFromBytes(mFile->FilePath());
    Global::RecogniseFileType(pathAndName);
    LayOut();
    if (refreshes == mRefreshCount) RefreshView();
    mnutools->setEnabled(true);
    UpdateLaunchMenu();
    pctContainer->setFocus();
    return true;
}

void frmFileView::DropFiles(const QStringList& paths) {
    for (const QString& path : paths) {
        if (AddFile(path)) continue;
        // A file we may not read gets the owner's read right back once,
        // then one more try.
        QFile f(path);
        if (f.exists() && !(f.permissions() & QFileDevice::ReadOwner)) {
            f.setPermissions(f.permissions() | QFileDevice::ReadOwner);
            AddFile(path);
        }
    }
}

void frmFileView::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void frmFileView::dropEvent(QDropEvent* event) {
    QStringList paths;
    for (const QUrl& url : event->mimeData()->urls())
        if (url.isLocalFile()) paths << url.toLocalFile();
    if (paths.isEmpty()) return;
    event->acceptProposedAction();
    DropFiles(paths);
}

void frmFileView::mFile_Error(const std::string& description, bool& cancel) {
    mEngineError = true;
    cancel = true;
    // The one more try below met the same failure: it has been said.
    if (mRetryingAfterError && description == mLastError) return;
    mLastError = description;
    Prompt().Message(Q(description));
    // A warning (a record cut to its first 16 MB) stops the drawing as an
    // error does; one more try draws what the engine can give, and a lasting
    // failure ends there without a second message.
    if (mInPosition && !mRetryingAfterError) {
        QTimer::singleShot(0, this, [this] {
            mRetryingAfterError = true;
            RefreshView();
            mRetryingAfterError = false;
        });
    }
}

void frmFileView::mFile_ConnectionEstablished() {
    SettleTextEncoding();
    UpdateCaption();
    RefreshView();
    ShowHideControls();
}

void frmFileView::UpdateCaption() {
    if (mFile->PathAndName().empty()) {
        setWindowTitle(kProgramTitle);
        return;
    }
    setWindowTitle(DisplayPath(mFile->FileTitle() + "." + mFile->FileExtension()));
}

void frmFileView::ShowHideControls() {
    const bool visible = util::FileExists(mFile->PathAndName());
    for (QWidget* w : {pctContainer, fraTop, pctLeft, static_cast<QWidget*>(pctRecordIndicator),
                       static_cast<QWidget*>(FraRecordIndicator), pctSize})
        w->setVisible(visible);
    // The bars show themselves once their ranges are known.
    if (!visible) {
        HScroll1->setVisible(false);
        VScroll1->setVisible(false);
    }
}

void frmFileView::Timer1_Timer() {
    // Only a positioning in progress holds the watch off: the busy flag alone
    // stays raised after an empty file's view until the next redraw.
    if (mFile->PathAndName().empty() || mInPosition) return;
    std::error_code ec;
    const std::string path = mFile->PathAndName();
    const auto now = std::filesystem::last_write_time(path, ec);
    // A file that vanished is left alone rather than reopened every second.
    if (ec) return;
    if (mFile->FileDateTime() == std::filesystem::file_time_type{}) {
        mFile->SetFileDateTime(now);
        return;
    }
    if (now == mFile->FileDateTime()) return;
    // Opening the open file again re-reads its records but keeps the
    // connection, the layout and the view mode in force, saved or not: the
    // user's unsaved edits (and the hex editor's own writes) survive.
    qint64 record = mFile->RecordNumber();
    qint64 column = mFile->BytePosition();
    if (!mFile->Open(path)) {
        // The engine has said why; what stays on screen must not pretend
        // the file is still open.
        if (mFile->PathAndName().empty()) ShowClosedState();
        return;
    }
    mFile->SetFileDateTime(now);
    if (record > 1 || column > 1) PositionView(record, column, false);
}

bool frmFileView::SaveConnectionQuietly() {
    if (!mFile->Connected()) return true;
    // After the wizard replaced the layout, the file on disk holds the
    // user's last one: it is replaced only when the user says so.
    if (mLayoutRedetected) return ConfirmSaveConnection();
    mFile->SaveConnection("", Global::CreateFormatFileDuringSave);
    return true;
}

void frmFileView::mnuAddDataFile_Click() {
    if (!SaveConnectionQuietly()) return;
    UserPrompt::FileRequest request;
    request.folder = Global::LastPathOpened;
    Global::SetDialogFilter(request);
    const QString path = Prompt().OpenFile(request);
    if (!path.isEmpty()) AddFile(path);
}

void frmFileView::mnuSaveDataConnection_Click() {
    mLayoutRedetected = false;
    SaveConnectionQuietly();
}

void frmFileView::mnuclose_Click() {
    if (!SaveConnectionQuietly()) return;
    mFile->CloseFile();
    ShowClosedState();
}

void frmFileView::ShowClosedState() {
    EraseSlides();
    ShowEmptyGrid();
    ShowHideControls();
    UpdateCaption();
    UpdateLaunchMenu();
    mnutools->setEnabled(false);
}

void frmFileView::mnuexit_Click() {
    close();
}

void frmFileView::mnuLaunchConnectionWizard_Click() {
    // Detection starts the connection over: a layout the user made is not
    // dropped without asking.
    const int count = mFile->GetFields().Count();
    if (count > 0) {
        const QString text =
            QStringLiteral("Detecting the connection again replaces the current layout of %1 "
                           "field(s). Continue?")
                .arg(count);
        if (Prompt().Message(text, QStringLiteral("Launch Connection Wizard"),
                             UserPrompt::Buttons::YesNo,
                             UserPrompt::Icon::Question) != UserPrompt::Answer::Yes)
            return;
    }
    mLayoutRedetected = true;
    mFile->LaunchConnectionWizard();
}

void frmFileView::mnuabout_Click() {
    frmAbout about(this);
    ShowModal(about);
}

void frmFileView::mnuByteBar_Click() {
    mnuByteBar->setChecked(true);
    mnuFieldNames->setChecked(false);
    mFile->SetShowFieldNames(false);
    RefreshView();
}

void frmFileView::mnuFieldNames_Click() {
    mnuFieldNames->setChecked(true);
    mnuByteBar->setChecked(false);
    mFile->SetShowFieldNames(true);
    RefreshView();
}

bool frmFileView::ConfirmSaveConnection() {
    const QString c = PathFromBytes(mFile->ConnectionPathAndName());
    if (c.isEmpty()) return true;
    const QString t = viewer::TemporaryConnectionPath(c);
    const bool mustAsk = mLayoutRedetected;
    mLayoutRedetected = false;
    const auto ask = [mustAsk](const QString& text) {
        if (!Global::PromptToSaveConfigurationChanges && !mustAsk) return UserPrompt::Answer::Yes;
        return Prompt().Message(text, QStringLiteral("Save Changes?"),
                                UserPrompt::Buttons::YesNoCancel, UserPrompt::Icon::Question);
    };
    if (!util::FileExists(Std(c))) {
        const auto answer =
            ask(QStringLiteral("Would you like to save your data connection information to ") +
                DisplayPath(mFile->FileTitle() + "." + mFile->FileExtension()) + QStringLiteral("?"));
        if (answer == UserPrompt::Answer::Cancel) return false;
        if (answer == UserPrompt::Answer::Yes)
            mFile->SaveConnection(Std(c), Global::CreateFormatFileDuringSave);
        return true;
    }
    if (!mFile->SaveConnection(Std(t), false) || !util::FileExists(Std(t))) return false;
    std::error_code ec;
    if (!viewer::ConnectionFilesDiffer(c, t)) {
        std::filesystem::remove(Std(t), ec);
        return true;
    }
    const auto answer = ask(QStringLiteral("Would you like to save your changes?"));
    if (answer != UserPrompt::Answer::Yes) {
        // The scratch copy never outlives the question, Cancel included.
        std::filesystem::remove(Std(t), ec);
        if (answer == UserPrompt::Answer::Cancel) mLayoutRedetected = mustAsk;
        return answer == UserPrompt::Answer::No;
    }
    std::string error;
    if (viewer::ReplaceConnectionFile(c, t, error)) return true;
    Prompt().Message(Q(error));
    return false;
}

void frmFileView::closeEvent(QCloseEvent* event) {
    bool goOn = true;
    if (mFile->Connected()) goOn = ConfirmSaveConnection();
    UnloadOtherWindows();
    if (!goOn) {
        event->ignore();
        return;
    }
    Timer1->stop();
    event->accept();
}

void frmFileView::keyPressEvent(QKeyEvent* event) {
    // A held key repeats faster than a large file's tiles are drawn: while a
    // move waits or is being drawn, a key only moves the waiting target, so
    // the view settles as soon as the key is let go.
    if (!event->isAutoRepeat() && !mInPosition && !mPendingMove.Pending()) {
        Form_KeyDown(event->key(), event->modifiers());
        return;
    }
    if (QWidget* focus = QApplication::focusWidget();
        focus && focus->objectName() == QLatin1String("lblFields"))
        return;
    const auto [record, column] = mPendingMove.From(mFile->RecordNumber(), mFile->BytePosition());
    const Qt::KeyboardModifiers m = event->modifiers();
    const viewer::KeyMove move = viewer::MoveForKey(
        event->key(), m & Qt::ControlModifier, m & Qt::ShiftModifier, record, column,
        mFile->RecordCount(), mSource.RecordLength(), mScreen);
    if (move.handled) QueueMove(move);
}

bool frmFileView::ReportProgress(std::int64_t done, std::int64_t total) {
    if (!mProgress) {
        mProgress = new QProgressDialog(QStringLiteral("Counting records..."),
                                        QStringLiteral("Cancel"), 0, 1000, this);
        mProgress->setWindowModality(Qt::WindowModal);
        mProgress->setMinimumDuration(400);
        mProgress->setAutoClose(false);
        mProgress->setAutoReset(false);
    }
    const int value =
        total > 0 ? static_cast<int>(std::min<std::int64_t>(done * 1000 / total, 1000)) : 0;
    mProgress->setValue(value);
    QApplication::processEvents();
    return !mProgress->wasCanceled();
}

void frmFileView::FinishProgress() {
    if (mProgress) mProgress->deleteLater();
    mProgress = nullptr;
}

}  // namespace velmor
