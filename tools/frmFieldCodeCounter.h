// The field code counter: every distinct value of one field over all
// records of the open file, with the number of records holding it. The
// count runs on a worker thread with a File of its own, so the viewer's
// current record never moves and the window stays responsive.
#pragma once

#include <QDialog>
#include <QString>
#include <atomic>
#include <memory>

#include "datatools/codecounter.h"

class QComboBox;
class QLabel;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QThread;
class QTimer;

namespace velmor::data {
class File;
}

namespace velmor::tools {

class ToolHost;

class frmFieldCodeCounter : public QDialog {
    Q_OBJECT
public:
    explicit frmFieldCodeCounter(ToolHost& viewer, QWidget* parent = nullptr);
    ~frmFieldCodeCounter() override;

    QLabel* lblFields = nullptr;
    QComboBox* cboFields = nullptr;
    QPlainTextEdit* txtOutput = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    QPushButton* cmdCount = nullptr;

    void Form_Load();
    void RefreshScreen();
    void cmdCount_Click();
    /// True from the start of a count until its result is shown.
    bool Counting() const { return mWorker != nullptr; }
    /// Waits for a running count to end (the window's closing does this).
    void WaitForCount();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    /// Counts field Index (1-based, as the list entry keeps it); Name is
    /// what the list shows, for the message when there is no such field.
    void StartCount(int index, const QString& name);
    void ShowProgress();
    void FinishCount();
    void ShowFailure(const QString& text);

    ToolHost& mViewer;
    std::unique_ptr<data::File> mCountFile;
    datatools::CodeCounter::Result mResult;
    data::FilePos mFieldLength = 0;
    QThread* mWorker = nullptr;
    QTimer* mProgressTimer = nullptr;
    std::atomic<bool> mCancel{false};
    std::atomic<std::int64_t> mDone{0};
    std::atomic<std::int64_t> mTotal{0};
};

}  // namespace velmor::tools
