#include "tools/frmFieldCodeCounter.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "app/userprompt.h"
#include "data/convert_text.h"
#include "data/file.h"
#include "data/typedvalues.h"
#include "tools/toolhost.h"
#include "util/utilities.h"

namespace velmor::tools {

namespace {

QString Display(const std::string& bytes, data::CodePage page = data::CodePage::Windows1252) {
    std::string utf8;
    data::AppendDisplayText(bytes, utf8, page);
    return QString::fromStdString(utf8);
}

}  // namespace

frmFieldCodeCounter::frmFieldCodeCounter(ToolHost& viewer, QWidget* parent)
    : QDialog(parent), mViewer(viewer) {
    setObjectName(QStringLiteral("frmFieldCodeCounter"));
    setWindowTitle(QStringLiteral("Field Code Counter"));
    lblFields = new QLabel(QStringLiteral("Fields"), this);
    cboFields = new QComboBox(this);
    cboFields->setObjectName(QStringLiteral("cboFields"));
    cmdCount = new QPushButton(QStringLiteral("Count"), this);
    cmdCount->setObjectName(QStringLiteral("cmdCount"));
    cmdCount->setAutoDefault(false);
    txtOutput = new QPlainTextEdit(this);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setFont(QFont(QStringLiteral("Courier New"), 10));
    txtOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
    ProgressBar1 = new QProgressBar(this);
    ProgressBar1->setObjectName(QStringLiteral("ProgressBar1"));
    ProgressBar1->setRange(0, 100);
    ProgressBar1->hide();
    auto* top = new QHBoxLayout;
    top->addWidget(lblFields);
    top->addWidget(cboFields, 1);
    top->addWidget(cmdCount);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(txtOutput, 1);
    layout->addWidget(ProgressBar1);
    resize(520, 420);
    mProgressTimer = new QTimer(this);
    mProgressTimer->setInterval(50);
    connect(mProgressTimer, &QTimer::timeout, this, [this] { ShowProgress(); });
    connect(cmdCount, &QPushButton::clicked, this, [this] { cmdCount_Click(); });
}

frmFieldCodeCounter::~frmFieldCodeCounter() {
    WaitForCount();
}

void frmFieldCodeCounter::Form_Load() {
    RefreshScreen();
}

void frmFieldCodeCounter::RefreshScreen() {
    cboFields->clear();
    const std::vector<std::string> names = datatools::NameUnnamedFields(mViewer.File().GetFields());
    for (std::size_t i = 0; i < names.size(); ++i) {
        cboFields->addItem(Display(names[i]), static_cast<int>(i + 1));
    }
    cboFields->setCurrentIndex(cboFields->count() > 0 ? 0 : -1);
}

void frmFieldCodeCounter::cmdCount_Click() {
    if (cmdCount->text() != QLatin1String("Cancel")) {
        if (Counting()) return;
        cmdCount->setText(QStringLiteral("Cancel"));
        mCancel = false;
        setCursor(Qt::BusyCursor);
        // The entry's own index: two fields may share a name, and a name
        // shown in UTF-8 is not the bytes the file holds.
        StartCount(cboFields->currentIndex() < 0 ? 0 : cboFields->currentData().toInt(),
                   cboFields->currentText());
    } else {
        mCancel = true;
        txtOutput->clear();
    }
}

void frmFieldCodeCounter::StartCount(int index, const QString& fieldName) {
    data::File& viewerFile = mViewer.File();
    if (index < 1 || index > viewerFile.GetFields().Count() || !viewerFile.Connected()) {
        ShowFailure(QStringLiteral("There is no field named \"%1\" to count.").arg(fieldName));
        return;
    }
    viewerFile.SaveConnection({}, false);
    mCountFile = std::make_unique<data::File>();
    std::string error;
    if (!datatools::CodeCounter::OpenLike(viewerFile, *mCountFile, error)) {
        ShowFailure(Display(error));
        return;
    }
    mFieldLength = data::ValueWidth(*mCountFile->GetFields().Item(index));
    txtOutput->setPlainText(QStringLiteral("Counting..."));
    mDone = 0;
    mTotal = 0;
    ProgressBar1->setValue(0);
    ProgressBar1->show();
    data::File* file = mCountFile.get();
    mWorker = QThread::create([this, file, index] {
        mResult = datatools::CodeCounter::Count(
            *file, index, [this](std::int64_t done, std::int64_t total) {
                mDone = done;
                mTotal = total;
                return !mCancel.load();
            });
    });
    connect(mWorker, &QThread::finished, this, [this] { FinishCount(); });
    mProgressTimer->start();
    mWorker->start();
}

void frmFieldCodeCounter::ShowProgress() {
    const std::int64_t total = mTotal.load();
    if (total > 0) ProgressBar1->setValue(static_cast<int>(mDone.load() * 100 / total));
}

void frmFieldCodeCounter::FinishCount() {
    mProgressTimer->stop();
    if (mWorker) {
        mWorker->wait();
        delete mWorker;
        mWorker = nullptr;
    }
    using Outcome = datatools::CodeCounter::Outcome;
    if (mCancel || mResult.outcome == Outcome::Cancelled) {
        txtOutput->clear();
    } else if (mResult.outcome == Outcome::Failed) {
        Prompt().Message(Display(mResult.error));
    } else {
        txtOutput->setPlainText(
            Display(datatools::CodeCounter::Report(mResult.codes, mFieldLength),
                    datatools::DisplayPage(*mCountFile))
                .replace(QLatin1String("\r\n"), QLatin1String("\n")));
        if (!mResult.CountsMatch()) {
            Prompt().Message(QString::fromLatin1(datatools::kCountMismatchMessage));
        }
    }
    if (mCountFile) mCountFile->CloseFile();
    mCountFile.reset();
    mResult = {};
    ProgressBar1->hide();
    cmdCount->setText(QStringLiteral("Count"));
    unsetCursor();
}

void frmFieldCodeCounter::ShowFailure(const QString& text) {
    Prompt().Message(text);
    mCountFile.reset();
    ProgressBar1->hide();
    cmdCount->setText(QStringLiteral("Count"));
    unsetCursor();
}

void frmFieldCodeCounter::WaitForCount() {
    if (!mWorker) return;
    mCancel = true;
    mWorker->wait();
    FinishCount();
}

void frmFieldCodeCounter::closeEvent(QCloseEvent* event) {
    WaitForCount();
    QDialog::closeEvent(event);
}

}  // namespace velmor::tools
