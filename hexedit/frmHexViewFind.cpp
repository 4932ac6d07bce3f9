#include "hexedit/frmHexViewFind.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>

#include "app/userprompt.h"
#include "data/hexlist.h"
#include "hexedit/frmHexView.h"
#include "hexedit/hexviewhost.h"
#include "viewer/typedtext.h"

namespace velmor::hexedit {

frmHexViewFind::frmHexViewFind(frmHexView& view, QWidget* parent) : QDialog(parent), mView(view) {
    setObjectName(QStringLiteral("frmHexViewFind"));
    setWindowTitle(QStringLiteral("Find/Replace"));
    lblFind = new QLabel(QStringLiteral("Find"), this);
    txtFind = new QLineEdit(this);
    lblReplace = new QLabel(QStringLiteral("Replace"), this);
    txtReplace = new QLineEdit(this);
    OptHex = new QRadioButton(QStringLiteral("Hex"), this);
    OptCHR = new QRadioButton(QStringLiteral("ASCII Characters"), this);
    cmdFind = new QPushButton(QStringLiteral("&Find"), this);
    txtFind->setObjectName(QStringLiteral("txtFind"));
    txtReplace->setObjectName(QStringLiteral("txtReplace"));
    OptHex->setObjectName(QStringLiteral("OptHex"));
    OptCHR->setObjectName(QStringLiteral("OptCHR"));
    cmdFind->setObjectName(QStringLiteral("cmdFind"));
    OptHex->setChecked(true);
    cmdFind->setDefault(true);
    auto* grid = new QGridLayout(this);
    grid->addWidget(lblFind, 0, 0);
    grid->addWidget(txtFind, 0, 1, 1, 2);
    grid->addWidget(lblReplace, 1, 0);
    grid->addWidget(txtReplace, 1, 1, 1, 2);
    grid->addWidget(OptHex, 2, 1);
    grid->addWidget(OptCHR, 2, 2);
    grid->addWidget(cmdFind, 3, 2);
    connect(txtFind, &QLineEdit::textChanged, this, [this] { txtFind_Change(); });
    connect(txtReplace, &QLineEdit::textChanged, this, [this] { txtReplace_Change(); });
    connect(cmdFind, &QPushButton::clicked, this, [this] { cmdFind_Click(); });
}

void frmHexViewFind::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    if (const QScreen* screen = QApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void frmHexViewFind::UpdateFindCaption() {
    if (!txtReplace->text().isEmpty())
        cmdFind->setText(QStringLiteral("&Replace"));
    else if (LastMatch != 0)
        cmdFind->setText(QStringLiteral("Find &Next"));
    else
        cmdFind->setText(QStringLiteral("&Find"));
}

void frmHexViewFind::txtFind_Change() {
    LastMatch = 0;
    UpdateFindCaption();
}

void frmHexViewFind::txtReplace_Change() {
    UpdateFindCaption();
}

bool frmHexViewFind::IsValidHexList(const QString& text) {
    return data::IsValidHexList(text.toStdString());
}

bool frmHexViewFind::HexListToText(const QString& text, std::string& bytes) {
    std::string error;
    if (data::HexListToText(text.toStdString(), bytes, error)) return true;
    Prompt().Message(QString::fromStdString(error));
    return false;
}

bool frmHexViewFind::BytesOf(const QString& text, std::string& bytes) const {
    if (!OptHex->isChecked()) {
        // The characters as the file holds them, in the encoding the viewer
        // shows it in; a character it cannot hold would find other bytes.
        QString refusal;
        if (viewer::TypedBytes(text, mView.Host().TextEncoding(), bytes, refusal)) return true;
        Prompt().Message(refusal, {}, UserPrompt::Buttons::Ok, UserPrompt::Icon::Exclamation);
        return false;
    }
    if (!IsValidHexList(text)) {
        Prompt().Message(QStringLiteral("The Hex List is invalid"), {}, UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Critical);
        return false;
    }
    return HexListToText(text, bytes);
}

void frmHexViewFind::cmdFind_Click() {
    std::string find, replacement;
    if (!BytesOf(txtFind->text(), find) || !BytesOf(txtReplace->text(), replacement)) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    mView.SearchAndOrReplace(find, replacement, LastMatch);
    UpdateFindCaption();
    QApplication::restoreOverrideCursor();
}

}  // namespace velmor::hexedit
