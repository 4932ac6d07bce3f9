// Progress with Cancel for a long pass over a file: the dialog appears only
// when the pass takes more than half a second, and the window behind stays
// responsive because pending events run at each report.
#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <cstdint>

namespace velmor::viewer {

class ProgressGate {
public:
    ProgressGate(QWidget* parent, const QString& label);
    ~ProgressGate();
    ProgressGate(const ProgressGate&) = delete;
    ProgressGate& operator=(const ProgressGate&) = delete;

    /// One report; false once the user has cancelled.
    bool Report(std::int64_t done, std::int64_t total);
    bool Cancelled() const { return cancelled_; }

    /// Tests cancel from here, as a press of Cancel would.
    static bool (*cancelForTests)();

private:
    QPointer<QProgressDialog> dialog_;
    bool cancelled_ = false;
};

}  // namespace velmor::viewer
