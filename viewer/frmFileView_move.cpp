// The viewer's ways of moving through the file: the scroll bars, the wheel,
// the keys, the record buttons and box, and clicks on the grid.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTimer>
#include <QWheelEvent>
#include <algorithm>
#include <limits>

#include "viewer/frmFileView.h"

namespace velmor {

void frmFileView::MoveRecordIndicator(qint64 row) {
    row = std::clamp<qint64>(row, 1, std::max(1, mScreen.rows));
    const int top =
        mViewportTopPx + static_cast<int>((row - 1) * mDrawer->Cells().linePx) + PxY(0.03);
    pctRecordIndicator->adjustSize();
    pctRecordIndicator->move(0, top);
    pctRecordIndicator->raise();
}

void frmFileView::SetupScrollBars() {
    const bool saved = mBusy;
    mBusy = true;
    const viewer::ScrollSetup h =
        viewer::PlanHScroll(mSource.RecordLength(), mScreen.columns);
    if (!h.visible) {
        HScroll1->hide();
    } else {
        HScroll1->setProperty("Tag", h.tag);
        mHScale = h.scale;
        HScroll1->setRange(1, h.maximum);
        HScroll1->setSingleStep(1);
        HScroll1->setPageStep(h.largeChange);
        HScroll1->show();
    }
    const viewer::ScrollSetup v = viewer::PlanVScroll(mFile->RecordCount(), mScreen.rows);
    if (!v.visible) {
        ShowVScroll(false);
    } else {
        VScroll1->setProperty("Tag", v.tag);
        mVScale = v.scale;
        VScroll1->setRange(1, v.maximum);
        VScroll1->setSingleStep(v.smallChange);
        VScroll1->setPageStep(v.largeChange);
        ShowVScroll(true);
    }
    mLastHValue = HScroll1->value();
    mLastVValue = VScroll1->value();
    mBusy = saved;
}

void frmFileView::ShowVScroll(bool visible) {
    VScroll1->setVisible(visible);
}

void frmFileView::HScroll1_Change(int value) {
    if (mBusy) return;
    const qint64 column = viewer::ScrollTarget(value, mLastHValue, mFile->BytePosition(), mHScale);
    mLastHValue = value;
    mCurrentView.ScrollColumn = column;
    qint64 record = mFile->RecordNumber();
    qint64 c = column;
    PositionView(record, c, false);
}

void frmFileView::VScroll1_Change(int value) {
    if (VScroll1->isHidden() || mBusy) return;
    VScroll1->setEnabled(false);
    qint64 record = viewer::ScrollTarget(value, mLastVValue, mFile->RecordNumber(), mVScale);
    mLastVValue = value;
    mCurrentView.ScrollRecord = record;
    if (value + VScroll1->pageStep() >= VScroll1->maximum() &&
        !mFile->FixedLayout()) {
        mSource.MoveTo(mFile->RecordCount() + mScreen.rows);
        SetupScrollBars();
    }
    qint64 column = mFile->BytePosition();
    PositionView(record, column, false);
    VScroll1->setEnabled(true);
}

void frmFileView::VScroll1_Action(int action) {
    const qint64 by = viewer::BarActionStep(action, mScreen.rows);
    if (by == 0 || mBusy || VScroll1->isHidden()) return;
    // The bar's own step is dropped; the thumb follows the record moved to.
    VScroll1->setSliderPosition(VScroll1->value());
    const auto [record, column] = mPendingMove.From(mFile->RecordNumber(), mFile->BytePosition());
    const bool page = by != 1 && by != -1;
    QueueMove({true, record + by, column, page});
}

void frmFileView::wheelEvent(QWheelEvent* event) {
    WheelTurned(event->angleDelta().y());
    event->accept();
}

void frmFileView::WheelTurned(int angleDelta) {
    const qint64 by = viewer::WheelRecords(angleDelta, QApplication::wheelScrollLines(),
                                           mWheelRemainder);
    if (by == 0 || mFile->PathAndName().empty() || !DivisionSet()) return;
    const auto [record, column] = mPendingMove.From(mFile->RecordNumber(), mFile->BytePosition());
    QueueMove({true, record + by, column, true});
}

void frmFileView::QueueMove(viewer::KeyMove move) {
    if (mFile->PathAndName().empty()) return;
    // A target past the end of a counted file would have to be undone by
    // the keys that follow it.
    const qint64 last = mFile->FixedLayout() ? std::max<qint64>(mFile->RecordCount(), 1)
                                             : std::numeric_limits<qint64>::max();
    move.record = std::clamp<qint64>(move.record, 1, last);
    move.column = std::max<qint64>(move.column, 1);
    if (mPendingMove.Put(move)) QTimer::singleShot(0, this, [this] { FlushMoves(); });
}

void frmFileView::FlushMoves() {
    if (!mPendingMove.Pending()) return;
    if (mInPosition || mBusy) {
        // Asked from inside a drawing's own event handling: after it.
        QTimer::singleShot(5, this, [this] { FlushMoves(); });
        return;
    }
    const viewer::KeyMove move = mPendingMove.Take();
    qint64 record = move.record;
    qint64 column = move.column;
    PositionView(record, column, move.keepRow);
}

void frmFileView::Form_KeyDown(int key, Qt::KeyboardModifiers modifiers) {
    if (mBusy || mFile->PathAndName().empty()) return;
    if (QWidget* focus = QApplication::focusWidget();
        focus && focus->objectName() == QLatin1String("lblFields"))
        return;
    const viewer::KeyMove move =
        viewer::MoveForKey(key, modifiers & Qt::ControlModifier, modifiers & Qt::ShiftModifier,
                           mFile->RecordNumber(), mFile->BytePosition(), mFile->RecordCount(),
                           mSource.RecordLength(), mScreen);
    if (!move.handled) return;
    qint64 record = move.record;
    qint64 column = move.column;
    PositionView(record, column, move.keepRow);
}

void frmFileView::cmdFirstRecord_Click() {
    const bool saved = mBusy;
    mBusy = true;
    VScroll1->setValue(VScroll1->minimum());
    mLastVValue = VScroll1->value();
    mBusy = saved;
    // Moving the thumb alone does nothing when it already sits at the top
    // or the bar is hidden; the record still goes to the first.
    qint64 record = 1;
    qint64 column = mFile->BytePosition();
    PositionView(record, column, false);
    pctContainer->setFocus();
}

void frmFileView::cmdBackOneRecord_Click() {
    qint64 record = mFile->RecordNumber() - 1;
    qint64 column = ColumnH();
    PositionView(record, column, false);
    pctContainer->setFocus();
}

void frmFileView::cmdForwardOneRecord_Click() {
    qint64 record = mFile->RecordNumber() + 1;
    qint64 column = ColumnH();
    PositionView(record, column, false);
    pctContainer->setFocus();
}

void frmFileView::cmdLastRecord_Click() {
    if (!mFile->FixedLayout()) {
        QApplication::setOverrideCursor(Qt::WaitCursor);
        mFile->MoveLast();
        FinishProgress();
        SetupScrollBars();
        QApplication::restoreOverrideCursor();
    }
    qint64 record = mFile->RecordCount();
    qint64 column = mFile->BytePosition();
    PositionView(record, column, false);
    pctContainer->setFocus();
}

void frmFileView::txtRecord_KeyPress(int key) {
    if (key != Qt::Key_Return && key != Qt::Key_Enter) return;
    qint64 record = viewer::RecordFromBoxText(txtRecord->text());
    qint64 column = ColumnH();
    PositionView(record, column, false);
    pctContainer->setFocus();
}

void frmFileView::ImgS_MouseDown(int imageIndex, Qt::MouseButton button, int y) {
    if (button != Qt::LeftButton) return;
    for (const viewer::Slide& s : mSlides.Slides()) {
        if (s.ImageIndex != imageIndex) continue;
        qint64 record = y / mDrawer->Cells().linePx + 1 + s.FirstRecord - 1;
        mCurrentRecord = record;
        qint64 column = ColumnH();
        PositionView(record, column, false);
        QApplication::processEvents();
        return;
    }
}

void frmFileView::pcttop_MouseDown(Qt::MouseButton button, QPoint position) {
    if (button != Qt::RightButton) return;
    mnuViewerTop->popup(pcttop->mapToGlobal(position));
}

void frmFileView::mFile_RecordNumberChanged(data::RecordNo& record) {
    if (mBusy) return;
    qint64 r = record;
    qint64 column = ColumnH();
    PositionView(r, column, false);
}

void frmFileView::mFile_RecordUpdated() {
    RefreshView();
}

void frmFileView::MoveTo(qint64 record) {
    qint64 column = ColumnH();
    PositionView(record, column, true);
}

}  // namespace velmor
