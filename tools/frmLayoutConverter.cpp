#include "tools/frmLayoutConverter.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QTextDocument>

#include "app/userprompt.h"
#include "data/convert_text.h"
#include "data/file.h"
#include "datatools/conversionscript.h"
#include "tools/toolhost.h"
#include "util/utilities.h"

namespace velmor::tools {

namespace {

QString Display(const std::string& bytes) {
    std::string utf8;
    data::AppendDisplayText(bytes, utf8);
    return QString::fromStdString(utf8);
}

QAction* Item(QMenu* menu, const char* name, const char* caption, QActionGroup* group) {
    QAction* a = menu->addAction(QString::fromLatin1(caption));
    a->setObjectName(QString::fromLatin1(name));
    if (group) {
        a->setCheckable(true);
        group->addAction(a);
    }
    return a;
}

// The box's own words in its edit, one line end per paragraph.
QString WithCrLf(QString text) {
    return text.replace(QLatin1Char('\n'), QLatin1String("\r\n"));
}

}  // namespace

frmLayoutConverter::frmLayoutConverter(ToolHost& viewer, QWidget* parent)
    : QDialog(parent), mViewer(viewer) {
    setObjectName(QStringLiteral("frmLayoutConverter"));
    setWindowTitle(QStringLiteral("Layout Converter"));
    menuBar = new QMenuBar(this);
    mnufile = menuBar->addMenu(QStringLiteral("&File"));
    mnufile->setObjectName(QStringLiteral("mnufile"));
    mnuSaveAs = Item(mnufile, "mnuSaveAs", "&Save As...", nullptr);
    mnuprint = Item(mnufile, "mnuprint", "&Print...", nullptr);
    mnutypes = menuBar->addMenu(QStringLiteral("&Layout Type"));
    mnutypes->setObjectName(QStringLiteral("mnutypes"));
    auto* types = new QActionGroup(this);
    mnustandardlayout = Item(mnutypes, "mnustandardlayout", "&Standard Layout", types);
    mnutypestatement = Item(mnutypes, "mnutypestatement", "&Type Statement", types);
    mnuformatfile = Item(mnutypes, "mnuformatfile", "&Format File", types);
    mnucasing = menuBar->addMenu(QStringLiteral("&Casing"));
    mnucasing->setObjectName(QStringLiteral("mnucasing"));
    auto* casings = new QActionGroup(this);
    mnuupper = Item(mnucasing, "mnuupper", "&Upper", casings);
    mnulower = Item(mnucasing, "mnulower", "&Lower", casings);
    mnuproper = Item(mnucasing, "mnuproper", "&Proper", casings);
    mnunone = Item(mnucasing, "mnunone", "&None", casings);
    mnustandardlayout->setChecked(true);
    mnunone->setChecked(true);
    txtOutput = new QPlainTextEdit(this);
    txtOutput->setObjectName(QStringLiteral("txtOutput"));
    txtOutput->setFont(QFont(QStringLiteral("Courier New"), 10));
    txtOutput->setLineWrapMode(QPlainTextEdit::NoWrap);
    txtOutput->move(Twips(120, false), menuBar->sizeHint().height() + Twips(120, true));
    resize(560, 420);
    connect(mnuSaveAs, &QAction::triggered, this, [this] { mnuSaveAs_Click(); });
    connect(mnuprint, &QAction::triggered, this, [this] { mnuprint_Click(); });
    for (QAction* a : {mnustandardlayout, mnutypestatement, mnuformatfile, mnuupper, mnulower,
                       mnuproper, mnunone}) {
        connect(a, &QAction::triggered, this, [this, a] { ChooseItem(a); });
    }
}

void frmLayoutConverter::Form_Load() {
    Redraw();
    ResizeTextBox();
}

int frmLayoutConverter::Twips(int twips, bool vertical) const {
    const int dpi = vertical ? logicalDpiY() : logicalDpiX();
    return twips * dpi / 1440;
}

void frmLayoutConverter::ResizeTextBox() {
    const int left = txtOutput->x();
    const int top = txtOutput->y();
    txtOutput->resize(std::max(0, width() - 2 * left - Twips(100, false)),
                      std::max(0, height() - 2 * top - Twips(600, true) + menuBar->height()));
}

void frmLayoutConverter::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    menuBar->setGeometry(0, 0, width(), menuBar->sizeHint().height());
    ResizeTextBox();
}

datatools::LayoutType frmLayoutConverter::MarkedType() const {
    if (mnustandardlayout->isChecked()) return datatools::LayoutType::Standard;
    if (mnutypestatement->isChecked()) return datatools::LayoutType::TypeStatement;
    if (mnuformatfile->isChecked()) return datatools::LayoutType::FormatFile;
    return datatools::LayoutType::None;
}

datatools::Casing frmLayoutConverter::MarkedCasing() const {
    if (mnuupper->isChecked()) return datatools::Casing::Upper;
    if (mnulower->isChecked()) return datatools::Casing::Lower;
    if (mnuproper->isChecked()) return datatools::Casing::Proper;
    return datatools::Casing::None;
}

void frmLayoutConverter::ChooseItem(QAction* item) {
    item->setChecked(true);  // the group clears the others of its menu
    Redraw();
}

void frmLayoutConverter::Redraw() {
    switch (MarkedType()) {
        case datatools::LayoutType::Standard: DrawStandardLayout(); break;
        case datatools::LayoutType::TypeStatement: DrawTypeStatement(); break;
        case datatools::LayoutType::FormatFile: DrawFormatFile(); break;
        case datatools::LayoutType::None: break;
    }
}

void frmLayoutConverter::DrawStandardLayout() {
    Show(datatools::DrawStandardLayout(mViewer.File().GetFields(), MarkedCasing()));
}

void frmLayoutConverter::DrawFormatFile() {
    Show(datatools::DrawFormatFile(mViewer.File().GetFields(), MarkedCasing()));
}

void frmLayoutConverter::DrawTypeStatement() {
    data::File& file = mViewer.File();
    Show(datatools::DrawTypeStatement(file.GetFields(), file.FileTitle(), MarkedCasing()));
}

void frmLayoutConverter::Show(const std::string& text) {
    mDrawn = text;
    // The box holds paragraphs; CR LF stays in the text that is saved.
    txtOutput->setPlainText(Display(text).replace(QLatin1String("\r\n"), QLatin1String("\n")));
}

std::string frmLayoutConverter::BoxBytes() const {
    const QString shown = WithCrLf(txtOutput->toPlainText());
    if (shown == Display(mDrawn)) return mDrawn;
    return shown.toStdString();
}

void frmLayoutConverter::mnuprint_Click() {
    QPrinter printer;
    // Straight to the default printer; the dialog only where there is none.
    if (!Prompt().UseDefaultPrinter(printer) && !Prompt().ChoosePrinter(printer)) return;
    if (!PrintToFile.isEmpty()) {
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(PrintToFile);
    }
    QApplication::setOverrideCursor(Qt::WaitCursor);
    QTextDocument document;
    document.setDefaultFont(txtOutput->font());
    document.setPlainText(txtOutput->toPlainText());
    document.print(&printer);
    QApplication::restoreOverrideCursor();
    Prompt().Message(QStringLiteral("Please check your default printer for the output."),
                     QStringLiteral("Done"), UserPrompt::Buttons::Ok,
                     UserPrompt::Icon::Information);
}

void frmLayoutConverter::mnuSaveAs_Click() {
    const std::string dataFile = mViewer.File().PathAndName();
    std::string folder, name, extension;
    util::SplitPath(dataFile, folder, name, extension);
    UserPrompt::FileRequest request;
    request.folder = QString::fromStdString(folder);
    request.fileName =
        QString::fromStdString(datatools::ProposedSaveName(name, extension, MarkedType()));
    request.filter = QStringLiteral("All Files|*.*");
    const QString chosen = Prompt().SaveFile(request);
    if (chosen.isEmpty()) return;
    if (datatools::SameFileAs(chosen.toStdString(), dataFile)) {
        Prompt().Message(QStringLiteral("Can't save over the actual data."),
                         QStringLiteral("Can't overwrite data"), UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Critical);
        return;
    }
    std::string error;
    if (!datatools::WriteFileAtomically(chosen.toStdString(), BoxBytes(), error)) {
        Prompt().Message(Display(error));
    }
}

}  // namespace velmor::tools
