// The viewer's grid: layout of the surfaces and composing the view from
// tiles (moving through the file is frmFileView_move.cpp).
#include <QApplication>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <string>

#include "viewer/frmFileView.h"

namespace velmor {

using viewer::ViewRecord;

namespace {
const QColor kGrey(0xC0, 0xC0, 0xC0);

void Paint(QWidget* w, const QColor& color) {
    w->setAutoFillBackground(true);
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, color);
    w->setPalette(pal);
}

QToolButton* RecordButton(QWidget* parent, const QString& name, const QString& text) {
    auto* b = new QToolButton(parent);
    b->setObjectName(name);
    b->setText(text);
    b->setFocusPolicy(Qt::NoFocus);
    b->setAutoRaise(true);
    return b;
}
}  // namespace

int frmFileView::Px(double inches) const {
    return static_cast<int>(std::lround(inches * logicalDpiX()));
}
int frmFileView::PxY(double inches) const {
    return static_cast<int>(std::lround(inches * logicalDpiY()));
}

void frmFileView::BuildControls() {
    central = new QWidget(this);
    setCentralWidget(central);
    Paint(central, kGrey);
    central->installEventFilter(this);

    pctLeft = new QWidget(central);
    pctLeft->setObjectName(QStringLiteral("pctLeft"));
    Paint(pctLeft, kGrey);

    pctContainer = new QWidget(central);
    pctContainer->setObjectName(QStringLiteral("pctContainer"));
    pctContainer->setFocusPolicy(Qt::StrongFocus);
    Paint(pctContainer, kGrey);
    for (int i = 1; i <= 4; ++i) {
        auto* img = new viewer::PressablePicture(pctContainer);
        img->setObjectName(QStringLiteral("ImgS%1").arg(i));
        img->onPress = [this, i](Qt::MouseButton b, QPoint p) { ImgS_MouseDown(i, b, p.y()); };
        img->hide();
        ImgS[static_cast<size_t>(i)] = img;
    }
    lblNoDivision = new QLabel(pctContainer);
    lblNoDivision->setObjectName(QStringLiteral("lblNoDivision"));
    lblNoDivision->setText(QStringLiteral(
        "The record division of this file is not set. Set it with Tools > Data Connection..."));
    lblNoDivision->setFont(mDrawer->Font());
    lblNoDivision->hide();

    fraTop = new QWidget(central);
    fraTop->setObjectName(QStringLiteral("fraTop"));
    Paint(fraTop, kGrey);
    pcttop = new viewer::PressablePicture(fraTop);
    pcttop->setObjectName(QStringLiteral("pcttop"));
    Paint(pcttop, kGrey);
    pcttop->onPress = [this](Qt::MouseButton b, QPoint p) { pcttop_MouseDown(b, p); };
    auto* templateLabel = new QLabel(pcttop);
    templateLabel->setObjectName(QStringLiteral("lblFields"));
    templateLabel->setFrameShape(QFrame::Box);
    templateLabel->setAlignment(Qt::AlignCenter);
    templateLabel->hide();
    lblFields.push_back(templateLabel);

    pctRecordIndicator = new QLabel(central);
    pctRecordIndicator->setObjectName(QStringLiteral("pctRecordIndicator"));
    pctRecordIndicator->setText(QStringLiteral("\u25B6"));

    FraRecordIndicator = new QFrame(central);
    FraRecordIndicator->setObjectName(QStringLiteral("FraRecordIndicator"));
    auto* row = new QHBoxLayout(FraRecordIndicator);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    cmdFirstRecord =
        RecordButton(FraRecordIndicator, QStringLiteral("cmdFirstRecord"), QStringLiteral("|<"));
    cmdBackOneRecord =
        RecordButton(FraRecordIndicator, QStringLiteral("cmdBackOneRecord"), QStringLiteral("<"));
    txtRecord = new QLineEdit(FraRecordIndicator);
    txtRecord->setObjectName(QStringLiteral("txtRecord"));
    // Wide enough for the largest number the box shows ("###,###,###").
    txtRecord->setMinimumWidth(
        txtRecord->fontMetrics().horizontalAdvance(QStringLiteral("999,999,999")) + 12);
    cmdForwardOneRecord = RecordButton(FraRecordIndicator, QStringLiteral("cmdForwardOneRecord"),
                                       QStringLiteral(">"));
    cmdLastRecord =
        RecordButton(FraRecordIndicator, QStringLiteral("cmdLastRecord"), QStringLiteral(">|"));
    for (QWidget* w :
         {static_cast<QWidget*>(cmdFirstRecord), static_cast<QWidget*>(cmdBackOneRecord),
          static_cast<QWidget*>(txtRecord), static_cast<QWidget*>(cmdForwardOneRecord),
          static_cast<QWidget*>(cmdLastRecord)})
        row->addWidget(w);
    connect(cmdFirstRecord, &QToolButton::clicked, this, [this] { cmdFirstRecord_Click(); });
    connect(cmdBackOneRecord, &QToolButton::clicked, this, [this] { cmdBackOneRecord_Click(); });
    connect(cmdForwardOneRecord, &QToolButton::clicked, this,
            [this] { cmdForwardOneRecord_Click(); });
    connect(cmdLastRecord, &QToolButton::clicked, this, [this] { cmdLastRecord_Click(); });
    connect(txtRecord, &QLineEdit::returnPressed, this,
            [this] { txtRecord_KeyPress(Qt::Key_Return); });

    HScroll1 = new QScrollBar(Qt::Horizontal, central);
    HScroll1->setObjectName(QStringLiteral("HScroll1"));
    VScroll1 = new QScrollBar(Qt::Vertical, central);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    for (QScrollBar* bar : {HScroll1, VScroll1}) {
        bar->setFocusPolicy(Qt::NoFocus);
        bar->setProperty("Tag", QStringLiteral("1"));
    }
    mBusy = true;
    HScroll1->setRange(1, 1);
    VScroll1->setRange(1, 1);
    mBusy = false;
    connect(HScroll1, &QScrollBar::valueChanged, this, [this](int v) { HScroll1_Change(v); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this](int v) { VScroll1_Change(v); });
    connect(VScroll1, &QScrollBar::actionTriggered, this, [this](int a) { VScroll1_Action(a); });
    VScroll1->installEventFilter(this);

    pctSize = new QWidget(central);
    pctSize->setObjectName(QStringLiteral("pctSize"));
    Paint(pctSize, kGrey);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    Timer1->start();
}

bool frmFileView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == central && event->type() == QEvent::Resize) ResizeContainer();
    if (watched == VScroll1 && event->type() == QEvent::Wheel) {
        // The bar's own wheel handling moves by its scaled steps: thousands
        // of records a notch on a large file.
        WheelTurned(static_cast<QWheelEvent*>(event)->angleDelta().y());
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmFileView::ResizeContainer() {
    LayOut();
    if (!mFile->PathAndName().empty()) RefreshView();
}

void frmFileView::LayOut() {
    const int m = Px(viewer::kMarginX);
    const int W = central->width();
    const int H = central->height();
    const int barH = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int barW = barH;
    // The ruler has a line per digit of the last column; the grid starts
    // low enough for all of them (two at least) to show whole.
    const qint64 length = std::max<qint64>(mSource.RecordLength(), 10);
    const int rulerLines = static_cast<int>(std::to_string(length).size());
    const int rulerPx =
        static_cast<int>(std::ceil(mDrawer->ByteBarHeight(rulerLines) * 1.05)) + 1;
    mViewportTopPx = std::max(PxY(viewer::kHomeTop), 2 * PxY(viewer::kMarginY) + rulerPx);
    mViewportLeftPx = Px(viewer::kHomeLeft);
    const int h = H - mViewportTopPx - barH - 4 * PxY(viewer::kMarginY);
    const int w = std::max(0, W - mViewportLeftPx - barW - m);
    const int vpH = std::max(0, h);
    pctContainer->setGeometry(mViewportLeftPx, mViewportTopPx, w, vpH);
    if (h <= 0)
        pctContainer->hide();
    else if (!FraRecordIndicator->isHidden())
        pctContainer->show();
    mScreen = viewer::ComputeMetrics(w, vpH, mDrawer->Cells().charPx, mDrawer->Cells().linePx);

    const int leftX = 2 * m;
    const int arrowW = fontMetrics().horizontalAdvance(QLatin1Char('>'));
    pctLeft->setGeometry(leftX, mViewportTopPx, std::max(0, mViewportLeftPx - leftX - arrowW), vpH);
    const int topY = 2 * PxY(viewer::kMarginY);
    fraTop->setGeometry(mViewportLeftPx, topY, w, std::max(0, mViewportTopPx - topY));
    if (!mFile->ShowFieldNames() || mFile->PathAndName().empty())
        pcttop->setGeometry(0, 0, w, fraTop->height());
    else
        pcttop->resize(pcttop->width(), fraTop->height());
    const int fraLeft = pctLeft->x() + pctLeft->width();
    const int fraWidth = std::max({8 * barH, 160, FraRecordIndicator->sizeHint().width()});
    FraRecordIndicator->setGeometry(fraLeft, mViewportTopPx + vpH + m, fraWidth, barH);

    const int hLeft = fraLeft + fraWidth;
    const int hTop = H - barH;
    const int vH = hTop - mViewportTopPx;
    VScroll1->setGeometry(W - barW, mViewportTopPx, barW, std::max(0, vH));
    if (vH <= 0) VScroll1->hide();
    const int hW = W - barW - hLeft;
    HScroll1->setGeometry(hLeft, hTop, std::max(0, hW), barH);
    if (hW <= 0)
        HScroll1->hide();
    else if (FraRecordIndicator->isHidden() ||
             mScreen.columns >= mSource.RecordLength())
        HScroll1->hide();

    pctSize->setGeometry(hLeft + std::max(0, hW), mViewportTopPx + std::max(0, vH),
                         std::max(0, W - hLeft - std::max(0, hW)), std::max(0, H - hTop));
}

bool frmFileView::DivisionSet() const {
    const auto& c = mFile->GetConnection();
    if (!c.IsFixed() && !c.IsDelimited()) return false;
    return c.RecordLength() > 0 || mFile->FileLength() <= 0;
}

void frmFileView::ShowNoDivision() {
    EraseSlides();
    for (int i = 1; i <= 4; ++i) ImgS[static_cast<size_t>(i)]->hide();
    HideFieldLabels();
    mTopImage = QPixmap();
    pcttop->SetPicture(mTopImage);
    lblNoDivision->adjustSize();
    lblNoDivision->move(Px(viewer::kMarginX), PxY(viewer::kMarginY));
    lblNoDivision->show();
    HScroll1->hide();
    VScroll1->hide();
    txtRecord->clear();
}

void frmFileView::ShowEmptyGrid() {
    for (int i = 1; i <= 4; ++i) ImgS[static_cast<size_t>(i)]->hide();
    HideFieldLabels();
    mTopImage = QPixmap();
    pcttop->SetPicture(mTopImage);
    txtRecord->clear();
    // The next file starts from its first screen, not from this one's rows.
    mCurrentView = ViewRecord{};
}

void frmFileView::EraseSlides() {
    mSlides.Erase();
    for (int i = 1; i <= 4; ++i) mSlidePictures[static_cast<size_t>(i)] = QPixmap();
}

void frmFileView::RefreshView() {
    if (mInPosition) {
        // Asked from inside a positioning (an engine event while tiles are
        // drawn): rebuild once that positioning has finished.
        if (!mRefreshPending) QTimer::singleShot(0, this, [this] { RefreshView(); });
        mRefreshPending = true;
        return;
    }
    mRefreshPending = false;
    ++mRefreshCount;
    mBusy = false;
    EraseSlides();
    if (mFile->GetFields().Count() == 0) mFile->SetShowFieldNames(false);
    mSource.Settle();
    const bool names = mFile->ShowFieldNames();
    mnuFieldNames->setChecked(names);
    mnuByteBar->setChecked(!names);
    if (!names) pcttop->setGeometry(0, 0, fraTop->width(), fraTop->height());
    mTopImage = QPixmap();
    pcttop->SetPicture(mTopImage);
    if (mFile->PathAndName().empty()) return;
    if (!DivisionSet()) {
        ShowNoDivision();
    } else {
        lblNoDivision->hide();
        // A new record length may need another ruler line above the grid.
        LayOut();
        qint64 record = mFile->RecordNumber();
        qint64 column = mFile->BytePosition();
        PositionView(record, column, false);
        SetupScrollBars();
    }
    std::error_code ec;
    const auto modified = std::filesystem::last_write_time(mFile->PathAndName(), ec);
    if (!ec) mFile->SetFileDateTime(modified);
    mBusy = true;
    SetThumbs();
    mBusy = false;
}

void frmFileView::SetThumbs() {
    const int v = viewer::ThumbValue(VScroll1->maximum(), mVScale, mFile->RecordNumber());
    const int h = viewer::ThumbValue(HScroll1->maximum(), mHScale, mFile->BytePosition());
    VScroll1->setValue(v);
    HScroll1->setValue(h);
    mLastVValue = VScroll1->value();
    mLastHValue = HScroll1->value();
}

qint64 frmFileView::ColumnH() const {
    // On a scaled bar the value is a step, not a column: use the engine's.
    return mHScale == 1.0 ? HScroll1->value() : mFile->BytePosition();
}

void frmFileView::PositionView(qint64& record, qint64& column, bool keepRow) {
    QApplication::processEvents();
    mEngineError = false;
    record = std::max<qint64>(record, 1);
    column = std::max<qint64>(column, 1);
    const ViewRecord cur = mCurrentView;
    const qint64 row = cur.CurrentRecord - cur.FirstRecord + 1;
    if (row != 0) MoveRecordIndicator(row);
    if (!mBusy && mFile->Connected() && !DivisionSet()) {
        ShowNoDivision();
        return;
    }
    if (!mBusy) {
        mBusy = true;
        mInPosition = true;
        // Tiles drawn under another layout (an editor changed it without a
        // redraw) never stand beside new ones: the whole grid is redrawn.
        // The column asked for belongs to the map before any change.
        mSource.Settle(&column);
        if (std::string stamp = viewer::LayoutStamp(mSource); stamp != mDrawnLayout) {
            EraseSlides();
            mDrawnLayout = std::move(stamp);
        }
        viewer::FileShape shape;
        shape.recordCount = mFile->RecordCount();
        shape.recordLength = mSource.RecordLength();
        shape.fixedLayout = mFile->FixedLayout();
        // Delimited and variable records alike are counted as they are met.
        shape.isDelimited = !mFile->FixedLayout();
        shape.countTo = [this](qint64 n) {
            mSource.MoveTo(n);
            return static_cast<qint64>(mFile->RecordCount());
        };
        const viewer::ViewPlan plan =
            viewer::PlanView(cur, record, column, keepRow, mScreen, shape);
        column = plan.column;
        mViewColumns = plan.viewColumns();
        mViewRecords = plan.viewRecords();
        if (plan.first != 0) {
            ViewRecord view = cur;
            view.FirstColumn = plan.firstColumn;
            view.LastColumn = plan.lastColumn;
            view.FirstRecord = plan.first;
            view.LastRecord = plan.last;
            view.CurrentRecord = plan.current;
            ComposeView(view);
            // Reading a delimited file's records may widen its fields: rows
            // drawn before that must not stand beside rows drawn after it.
            for (int again = 0; again < 3 && !mEngineError; ++again) {
                std::string stamp = viewer::LayoutStamp(mSource);
                if (stamp == mDrawnLayout) break;
                mFile->SetRedrawPending(false);
                EraseSlides();
                mDrawnLayout = std::move(stamp);
                ComposeView(view);
            }
            if (mEngineError) {
                mInPosition = false;
                FinishProgress();
                return;
            }
        }
        mFirstRecord = plan.first;
        mLastRecord = plan.last;
        mCurrentRecord = plan.current;
        const int charPx = mDrawer->Cells().charPx;
        if (mFile->ShowFieldNames())
            pcttop->move(static_cast<int>(-(plan.firstColumn - 1) * charPx), 0);
        else
            pcttop->move(0, 0);
        FinishProgress();
        if (plan.current > 0) {
            mFile->SetRecordNumber(plan.current);
            mFile->SetBytePosition(column);
            MoveRecordIndicator(plan.current - plan.first + 1);
            QApplication::processEvents();
            txtRecord->setText(viewer::FormatRecordNumber(plan.current));
            mCurrentView.FirstColumn = plan.firstColumn;
            mCurrentView.LastColumn = plan.lastColumn;
            mCurrentView.FirstRecord = plan.first;
            mCurrentView.LastRecord = plan.last;
            mCurrentView.CurrentRecord = plan.current;
            HScroll1->show();
            VScroll1->show();
            SetThumbs();
            mBusy = false;
            mInPosition = false;
            return;
        }
        mInPosition = false;
        ShowEmptyGrid();
        HScroll1->hide();
        VScroll1->hide();
    }
    if (mFile->RedrawPending()) {
        mFile->SetRedrawPending(false);
        EraseSlides();
        PositionView(record, column, keepRow);
    }
}

void frmFileView::ComposeView(const ViewRecord& view) {
    viewer::ComposeLimits limits;
    limits.maxSlideRows = mScreen.maxSlideRows;
    limits.maxSlideColumns = mScreen.maxSlideColumns;
    limits.fixedLayout = mFile->FixedLayout();
    limits.recordLength = mSource.RecordLength();
    limits.recordCount = [this] { return static_cast<qint64>(mFile->RecordCount()); };
    limits.countTo = [this](qint64 n) {
        mSource.MoveTo(n);
        return static_cast<qint64>(mFile->RecordCount());
    };
    if (mViewColumns <= 0 || mViewRecords <= 0) return;
    if (!mSlides.Compose(view, mViewRecords, mViewColumns, limits)) return;
    mSlides.Place(view);
    const bool names = mFile->ShowFieldNames();
    if (!names) {
        mTopImage = QPixmap(std::max(1, fraTop->width()), std::max(1, fraTop->height()));
        mTopImage.fill(kGrey);
    }
    const int cw = mDrawer->Cells().charPx;
    const int lh = mDrawer->Cells().linePx;
    for (viewer::Slide& s : mSlides.Slides()) {
        viewer::PressablePicture* img = ImgS[static_cast<size_t>(s.ImageIndex)];
        if (!s.InUse) {
            img->hide();
            continue;
        }
        if (!s.Drawn) {
            if (!DrawSlide(s)) return;
            img->SetPicture(mSlidePictures[static_cast<size_t>(s.ImageIndex)]);
            img->resize(img->Picture().size());
        }
        const int x =
            s.ClipLeft != 0 ? static_cast<int>(-s.ClipLeft * cw) : static_cast<int>(s.Left * cw);
        const int y =
            s.ClipTop != 0 ? static_cast<int>(-s.ClipTop * lh) : static_cast<int>(s.Top * lh);
        img->move(x, y);
        img->show();
        if (!names) {
            const QPixmap& strip = mByteBarPictures[static_cast<size_t>(s.ImageIndex)];
            QPainter p(&mTopImage);
            const int destY =
                mTopImage.height() - static_cast<int>(std::lround(strip.height() * 1.05));
            p.drawPixmap(QPoint(static_cast<int>(s.Left * cw), destY), strip,
                         QRect(static_cast<int>(s.ClipLeft * cw), 0,
                               static_cast<int>(s.VisibleWidth * cw), strip.height()));
        }
    }
    if (!names) pcttop->SetPicture(mTopImage);
}

bool frmFileView::DrawSlide(viewer::Slide& slide) {
    QPixmap& picture = mSlidePictures[static_cast<size_t>(slide.ImageIndex)];
    if (!mDrawer->DrawSlide(slide, mSource, mEngineError, picture)) return false;
    if (!mFile->ShowFieldNames()) {
        mByteBarPictures[static_cast<size_t>(slide.ImageIndex)] = mDrawer->DrawSlideByteBar(slide);
        HideFieldLabels();
    } else {
        ShowFieldLabels();
    }
    return true;
}

void frmFileView::HideFieldLabels() {
    for (QLabel* l : lblFields) l->hide();
}

void frmFileView::ShowFieldLabels() {
    const int n = mSource.FieldCount();
    const int cw = mDrawer->Cells().charPx;
    // The strip reaches the last column any field ends in.
    qint64 end = 1;
    for (int i = 1; i <= n; ++i) end = std::max(end, mSource.Field(i).end());
    if (n > 0) pcttop->resize(static_cast<int>(end * cw), fraTop->height());
    QLabel* tmpl = lblFields[0];
    for (int i = 1; i <= n; ++i) {
        if (static_cast<int>(lblFields.size()) <= i) {
            auto* l = new QLabel(pcttop);
            l->setObjectName(QStringLiteral("lblFields"));
            l->setFrameShape(tmpl->frameShape());
            l->setAlignment(tmpl->alignment());
            lblFields.push_back(l);
        }
        const viewer::FieldLayout f = mSource.Field(i);
        QLabel* l = lblFields[static_cast<size_t>(i)];
        l->setGeometry(static_cast<int>((f.start - 1) * cw), 0,
                       static_cast<int>(std::max<qint64>(f.length, 0) * cw), fraTop->height());
        const QString name = viewer::DisplayText(f.name, TextEncoding());
        const viewer::LabelFit fit =
            viewer::FitLabel(name, l->fontMetrics(), l->contentsRect().width() - 2);
        l->setText(fit.text);
        // A name cut short shows its beginning; the whole name is its tooltip.
        l->setAlignment(fit.whole ? Qt::AlignCenter : Qt::AlignLeft | Qt::AlignVCenter);
        l->setToolTip(fit.whole ? QString() : name);
        l->show();
    }
    while (static_cast<int>(lblFields.size()) > n + 1) {
        delete lblFields.back();
        lblFields.pop_back();
    }
}

}  // namespace velmor
