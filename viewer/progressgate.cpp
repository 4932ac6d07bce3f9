#include "viewer/progressgate.h"

#include <QApplication>
#include <algorithm>

namespace velmor::viewer {

bool (*ProgressGate::cancelForTests)() = nullptr;

ProgressGate::ProgressGate(QWidget* parent, const QString& label)
    : dialog_(new QProgressDialog(label, QStringLiteral("Cancel"), 0, 1000, parent)) {
    dialog_->setWindowModality(Qt::WindowModal);
    dialog_->setMinimumDuration(500);
    dialog_->setAutoClose(false);
    dialog_->setAutoReset(false);
    dialog_->setValue(0);
    QApplication::setOverrideCursor(Qt::WaitCursor);
}

ProgressGate::~ProgressGate() {
    QApplication::restoreOverrideCursor();
    delete dialog_.data();
}

bool ProgressGate::Report(std::int64_t done, std::int64_t total) {
    if (dialog_) {
        const auto value = total > 0 ? std::min<std::int64_t>(done * 1000 / total, 1000) : 0;
        dialog_->setValue(static_cast<int>(value));
    }
    QApplication::processEvents();
    if ((dialog_ && dialog_->wasCanceled()) || (cancelForTests && cancelForTests()))
        cancelled_ = true;
    return !cancelled_;
}

}  // namespace velmor::viewer
