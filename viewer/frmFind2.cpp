#include "viewer/frmFind2.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <memory>

#include "app/userprompt.h"
#include "viewer/frmFileView.h"
#include "viewer/progressgate.h"
#include "viewer/typedtext.h"

namespace velmor {

namespace {

QString FromBytes(const std::string& bytes) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string ToBytes(const QString& text) {
    const QByteArray latin1 = text.toLatin1();
    return std::string(latin1.constData(), static_cast<std::size_t>(latin1.size()));
}

}  // namespace

frmFind2::frmFind2(frmFileView& viewer) : QDialog(&viewer), mViewer(viewer) {
    setObjectName(QStringLiteral("frmFind2"));
    setWindowTitle(QStringLiteral("Search"));
    setAttribute(Qt::WA_DeleteOnClose);
    lstFields = new QListWidget(this);
    lblSearchText = new QLabel(QStringLiteral("Search Text"), this);
    txtSearchPhrase = new QLineEdit(this);
    cmdFind = new QPushButton(QStringLiteral("Find &First"), this);
    cmdFindNext = new QPushButton(QStringLiteral("Find &Next"), this);
    lstFields->setObjectName(QStringLiteral("lstFields"));
    txtSearchPhrase->setObjectName(QStringLiteral("txtSearchPhrase"));
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    cmdFindNext->setObjectName(QStringLiteral("cmdFindNext"));
    auto* grid = new QGridLayout(this);
    grid->addWidget(lstFields, 0, 0, 1, 2);
    grid->addWidget(lblSearchText, 1, 0, 1, 2);
    grid->addWidget(txtSearchPhrase, 2, 0, 1, 2);
    grid->addWidget(cmdFind, 3, 0);
    grid->addWidget(cmdFindNext, 3, 1);
    txtSearchPhrase->installEventFilter(this);
    connect(cmdFind, &QPushButton::clicked, this, [this] { cmdFind_Click(); });
    connect(cmdFindNext, &QPushButton::clicked, this, [this] { cmdFindNext_Click(); });
}

void frmFind2::RefreshFields() {
    const int selected = lstFields->currentRow();
    lstFields->clear();
    if (mViewer.File().PathAndName().empty()) return;
    const data::Fields& fields = mViewer.File().GetFields();
    for (int i = 1; i <= fields.Count(); ++i) {
        auto* item = new QListWidgetItem(FromBytes(fields.Item(i)->Name()), lstFields);
        item->setData(Qt::UserRole, i);
    }
    if (selected >= 0 && selected < lstFields->count()) lstFields->setCurrentRow(selected);
}

std::int64_t frmFind2::Search(bool& cancelled) {
    data::File& file = mViewer.File();
    const std::string field = ToBytes(lstFields->currentItem()->text());
    // The engine takes the phrase as UTF-8, as velmor-data does, and looks
    // for it in the file's code page and as UTF-8; a character the file's
    // encoding cannot hold could only match other characters.
    std::string inFile;
    QString refusal;
    if (!viewer::TypedBytes(txtSearchPhrase->text(), mViewer.TextEncoding(), inFile, refusal)) {
        Prompt().Message(refusal, QStringLiteral("Search"), UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Exclamation);
        cancelled = true;
        return 0;
    }
    const std::string phrase = txtSearchPhrase->text().toStdString();
    // The viewer's own progress speaks of counting; a search has its own.
    data::ProgressHandler viewerProgress = file.OnProgress;
    std::int64_t result = 0;
    {
        viewer::ProgressGate progress(this, QStringLiteral("Searching..."));
        file.OnProgress = [&progress](std::int64_t done, std::int64_t total) {
            return progress.Report(done, total);
        };
        result = file.Find(field, phrase, mPosition);
        cancelled = progress.Cancelled();
    }
    file.OnProgress = viewerProgress;
    return cancelled ? 0 : result;
}

void frmFind2::cmdFind_Click() {
    if (lstFields->currentItem() == nullptr || mBusy) return;
    mBusy = true;
    SetButtonsEnabled(false);
    mPosition = 0;
    bool cancelled = false;
    const std::int64_t result = Search(cancelled);
    raise();
    if (result != 0) {
        mViewer.MoveTo(result);
    } else if (!cancelled) {
        Prompt().Message(QStringLiteral("No records found."), QStringLiteral("Not Found"),
                         UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
    }
    SetButtonsEnabled(true);
    mBusy = false;
}

void frmFind2::SetButtonsEnabled(bool enabled) {
    cmdFind->setEnabled(enabled);
    cmdFindNext->setEnabled(enabled);
    // Disabling the focused button moved the focus on; every search ends on
    // Find Next, so each Enter finds the next match.
    if (enabled) cmdFindNext->setFocus();
}

void frmFind2::cmdFindNext_Click() {
    if (lstFields->currentItem() == nullptr || mBusy) return;
    mBusy = true;
    SetButtonsEnabled(false);
    bool cancelled = false;
    const std::int64_t result = Search(cancelled);
    const std::int64_t current = mViewer.File().RecordNumber();
    if (!cancelled && (result == 0 || result == current)) {
        Prompt().Message(QStringLiteral("There are no more records to find."),
                         QStringLiteral("Find Next Record"), UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Information);
    } else if (!cancelled) {
        mViewer.MoveTo(result);
    }
    SetButtonsEnabled(true);
    mBusy = false;
}

void frmFind2::txtSearchPhrase_KeyUp(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    cmdFind_Click();
    cmdFindNext->setFocus();
}

void frmFind2::Form_Activate() {
    RefreshFields();
}

void frmFind2::Form_LostFocus() {
    // A question or progress dialog of our own takes the focus only for a while.
    if (mBusy) return;
    // Left for the viewer itself: it keeps the window hidden and the keyboard
    // until the user asks for the search again. Left for another program:
    // the window comes back when the viewer is activated.
    mStaysHidden = QApplication::activeWindow() == &mViewer;
    hide();
}

bool frmFind2::ComesBackWithViewer() const {
    return isHidden() && !mStaysHidden;
}

void frmFind2::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() != QEvent::ActivationChange) return;
    if (isActiveWindow())
        Form_Activate();
    else if (isVisible())
        Form_LostFocus();
}

bool frmFind2::eventFilter(QObject* watched, QEvent* event) {
    if (watched == txtSearchPhrase &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
        // Enter acts when it is released, so the press must not reach the
        // dialog's default button.
        if (event->type() == QEvent::KeyRelease && !key->isAutoRepeat())
            txtSearchPhrase_KeyUp(key->key());
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void RegisterSearchWindow(frmFileView& viewer) {
    auto instance = std::make_shared<QPointer<frmFind2>>();
    viewer.SetWindowOpener(QStringLiteral("mnufindrecord"), [&viewer, instance] {
        if (instance->isNull()) {
            *instance = new frmFind2(viewer);
            viewer.RegisterWindow(instance->data());
        }
        frmFind2& window = **instance;
        window.mStaysHidden = false;
        window.RefreshFields();
        window.show();
        window.raise();
        window.activateWindow();
    });
}

}  // namespace velmor
