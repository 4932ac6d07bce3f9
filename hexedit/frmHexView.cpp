#include "hexedit/frmHexView.h"

#include <QFontMetricsF>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <cmath>

#include "app/userprompt.h"
#include "data/bytefile.h"
#include "hexedit/frmHexViewFind.h"
#include "hexedit/hexviewhost.h"
#include "viewer/frmFileView.h"

namespace velmor::hexedit {

namespace {
constexpr double kCellInches = 0.25;  // height of a row and width of a hex cell
}

QString frmHexView::PrintToPdf;

frmHexView::frmHexView(HexViewHost& host, QWidget* parent) : QDialog(parent), mHost(host) {
    setObjectName(QStringLiteral("frmHexView"));
    setWindowTitle(QStringLiteral("Hex View"));
    BuildControls();
}

frmHexView::~frmHexView() = default;

void frmHexView::BuildControls() {
    menuBar = new QMenuBar(this);
    mnuTools = menuBar->addMenu(QStringLiteral("Tools"));
    mnuTools->setObjectName(QStringLiteral("mnuTools"));
    mnuPrintForm = mnuTools->addAction(QStringLiteral("Print Form"));
    mnuPrintForm->setObjectName(QStringLiteral("mnuPrintForm"));
    mnuFind = mnuTools->addAction(QStringLiteral("Find/Replace"));
    mnuFind->setObjectName(QStringLiteral("mnuFind"));
    connect(mnuPrintForm, &QAction::triggered, this, [this] { mnuPrintForm_Click(); });
    connect(mnuFind, &QAction::triggered, this, [this] { mnuFind_Click(); });

    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::Monospace);
    pctHex = new HexPane(HexPane::Kind::Hex, CellValues, this);
    pctCHR = new HexPane(HexPane::Kind::Characters, CellValues, this);
    txtHex = new QLineEdit(this);
    txtCHR = new QLineEdit(this);
    for (QWidget* w : {static_cast<QWidget*>(pctHex), static_cast<QWidget*>(pctCHR),
                       static_cast<QWidget*>(txtHex), static_cast<QWidget*>(txtCHR)})
        w->setFont(font);
    pctHex->setObjectName(QStringLiteral("pctHex"));
    pctCHR->setObjectName(QStringLiteral("pctCHR"));
    txtHex->setObjectName(QStringLiteral("txtHex"));
    txtCHR->setObjectName(QStringLiteral("txtCHR"));
    for (QLineEdit* box : {txtHex, txtCHR}) {
        box->setFrame(false);
        box->setTextMargins(0, 0, 0, 0);
        box->setContentsMargins(0, 0, 0, 0);
        box->installEventFilter(this);
        // The boxes only show the cell under the cursor: no menu, no drop
        // and no paste can put text into them.
        box->setContextMenuPolicy(Qt::NoContextMenu);
        box->setAcceptDrops(false);
    }
    VScroll1 = new QScrollBar(Qt::Vertical, this);
    VScroll1->setObjectName(QStringLiteral("VScroll1"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setFont(font);
    connect(VScroll1, &QScrollBar::valueChanged, this, [this](int v) { VScroll1_Change(v); });
    pctHex->onPress = [this](QPointF p) { pctHex_MouseDown(p); };
    pctCHR->onPress = [this](QPointF p) { pctCHR_MouseDown(p); };
    pctHex->onDrop = [this](QPointF p) { pctHex_MouseDown(p); };
    pctCHR->onDrop = [this](QPointF p) { pctCHR_MouseDown(p); };
    pctHex->onDoubleClick = [this] { pctHex_DblClick(); };
    LayOut();
}

// Whole pixels, so every row and column starts on a pixel: fractional cells
// would round to rows one pixel apart here and two there.
double frmHexView::HexCellPx() const {
    return std::round(kCellInches * logicalDpiX());
}

double frmHexView::CellHeightPx() const {
    return std::round(kCellInches * logicalDpiY());
}

void frmHexView::LayOut() {
    mCharacterCellPx =
        std::round(1.6 * QFontMetricsF(pctCHR->font()).horizontalAdvance(QLatin1Char('W')));
    const double hexW = HexCellPx(), cellH = CellHeightPx();
    const int top = menuBar->sizeHint().height();
    const int paneH = static_cast<int>(std::lround(16 * cellH));
    const int hexWidth = static_cast<int>(std::lround(16 * hexW));
    const int chrWidth = static_cast<int>(std::lround(16.1 * mCharacterCellPx));
    // The edit boxes sit a little left of their cell (their text starts past
    // a margin); the panes leave that room, so the box over column 1 shows whole.
    const int margin = static_cast<int>(std::ceil(0.11 * hexW));
    pctHex->setGeometry(margin, top, hexWidth, paneH);
    pctCHR->setGeometry(margin + hexWidth, top, chrWidth, paneH);
    pctHex->SetMetrics(hexW, cellH);
    pctCHR->SetMetrics(mCharacterCellPx, cellH);
    const int scrollWidth = VScroll1->sizeHint().width();
    VScroll1->setGeometry(margin + hexWidth + chrWidth, top, scrollWidth, paneH);
    const int statusH = lblStatus->sizeHint().height();
    const int gap = static_cast<int>(std::lround(0.15 * logicalDpiY()));
    const int left = static_cast<int>(std::lround(0.2 * logicalDpiX()));
    lblStatus->setGeometry(left, top + paneH + gap, hexWidth + chrWidth - left, statusH);
    const int boxH = static_cast<int>(std::lround(0.9 * cellH));
    txtHex->resize(static_cast<int>(std::lround(hexW)), boxH);
    txtCHR->resize(
        static_cast<int>(std::ceil(QFontMetricsF(txtCHR->font()).horizontalAdvance('W'))) + 2,
        boxH);
    setFixedSize(margin + hexWidth + chrWidth + scrollWidth,
                 top + paneH + gap + static_cast<int>(std::lround(statusH * 1.1)) + gap);
    menuBar->setGeometry(0, 0, width(), top);
}

void frmHexView::Form_Load() {
    mCursor = HexCursor{};
    SetStartingByte(static_cast<double>(mHost.RecordStartByte()));
    RefreshHexBox();
    int row = 1, column = 1;
    PlaceTextBox(row, column);
    txtHex->setFocus();
}

void frmHexView::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    txtHex->setFocus();
    ShowBoxes();
}

void frmHexView::SetStartingByte(double value) {
    mCursor.startingByte = static_cast<std::int64_t>(std::nearbyint(value));
}

void frmHexView::ShowFailure(const std::string& description) {
    Prompt().Message(QString::fromStdString(description));
}

void frmHexView::RefreshHexBox() {
    if (mCursor.startingByte < 1) mCursor.startingByte = 1;
    mRefreshing = true;
    std::string buffer(256, ' ');
    std::string error;
    const std::int64_t got = data::ReadBytesAt(mHost.PathAndName(), mCursor.startingByte,
                                               buffer.data(), 256, mFileLength, error);
    if (got < 0) {
        ShowFailure(error);
        mRefreshing = false;
        return;
    }
    mBytesRead += got;
    mScale = ScrollScale::For(mFileLength);
    VScroll1->setEnabled(mScale.maximum > 0);
    VScroll1->setRange(0, mScale.maximum);
    VScroll1->setSingleStep(mScale.smallStep);
    VScroll1->setPageStep(mScale.largeStep);
    VScroll1->setValue(mScale.ValueFor(mCursor.startingByte));
    for (int row = 1; row <= 16; ++row)
        for (int column = 1; column <= 16; ++column)
            DrawCell(column, row,
                     static_cast<unsigned char>(
                         buffer[static_cast<size_t>((row - 1) * 16 + column - 1)]));
    pctHex->SetShown(static_cast<int>(got));
    pctCHR->SetShown(static_cast<int>(got));
    int row = mCursor.row, column = mCursor.column;
    PlaceTextBox(row, column);
    mRefreshing = false;
}

void frmHexView::DrawCell(int Column, int Row, int Value) {
    CellValues[static_cast<size_t>(Row - 1)][static_cast<size_t>(Column - 1)] =
        static_cast<std::int16_t>(Value);
    pctHex->UpdateCell(Row, Column);
    pctCHR->UpdateCell(Row, Column);
}

void frmHexView::PlaceTextBox(int& Row, int& Column) {
    Row = std::clamp(Row, 1, 16);
    Column = std::clamp(Column, 1, 16);
    const int value = CellValues[static_cast<size_t>(Row - 1)][static_cast<size_t>(Column - 1)];
    const double hexW = HexCellPx(), cellH = CellHeightPx();
    const int top = pctHex->y() + static_cast<int>(std::lround((Row - 1) * cellH));
    txtHex->move(pctHex->x() + static_cast<int>(std::lround((Column - 1.11) * hexW)), top);
    txtCHR->move(pctCHR->x() + static_cast<int>(std::lround((Column - 1.11) * mCharacterCellPx)),
                 top);
    mHexKeys.Show(value);
    txtCHR->setText(QString(QChar(value)));
    ShowBoxes();
    mCursor.row = Row;
    mCursor.column = Column;
    lblStatus->setText(
        QStringLiteral("Position: %1    Ascii: %2").arg(mCursor.Position(Row, Column)).arg(value));
}

void frmHexView::SelectOne(QLineEdit* box, int caret) {
    box->setSelection(std::clamp(caret, 0, 1), 1);
}

void frmHexView::ClickPane(QPointF pixels, double cellWidthPx, QLineEdit* box) {
    const Cell cell = CellAt(pixels.x(), pixels.y(), cellWidthPx, CellHeightPx());
    int row = cell.row, column = cell.column;
    PlaceTextBox(row, column);
    box->setFocus();
    ShowBoxes();
}

void frmHexView::pctHex_MouseDown(QPointF pixels) {
    ClickPane(pixels, HexCellPx(), txtHex);
}

void frmHexView::pctCHR_MouseDown(QPointF pixels) {
    ClickPane(pixels, mCharacterCellPx, txtCHR);
}

void frmHexView::pctHex_DblClick() {
    RefreshHexBox();
}

void frmHexView::VScroll1_Change(int value) {
    if (mRefreshing) return;
    mCursor.startingByte = mScale.StartingByteFor(value);
    RefreshHexBox();
}

void frmHexView::mnuPrintForm_Click() {
    QPrinter printer;
    if (!PrintToPdf.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(PrintToPdf);
    }
    if (!Prompt().ChoosePrinter(printer)) return;
    const QPixmap image = grab();
    QPainter painter;
    if (!painter.begin(&printer)) {
        Prompt().Message(QStringLiteral("The printer could not be started."));
        return;
    }
    const QRect page = painter.viewport();
    const QSize size = image.size().scaled(page.size(), Qt::KeepAspectRatio);
    painter.drawPixmap(QRect(page.topLeft(), size), image);
    painter.end();
    Prompt().Message(QStringLiteral("This forms image has been sent to your default printer."), {},
                     UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
}

void frmHexView::mnuFind_Click() {
    if (!mFind) mFind = new frmHexViewFind(*this, this);
    frmFileView::ShowModal(*mFind);
}

}  // namespace velmor::hexedit
