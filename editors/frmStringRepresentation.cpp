#include "editors/frmStringRepresentation.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/global.h"
#include "editors/representationtable.h"

namespace velmor::editors {

frmStringRepresentation::frmStringRepresentation(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStringRepresentation"));
    setWindowTitle(QStringLiteral("String Representation"));
    lblHeading =
        new QLabel(QStringLiteral("Hex      ASCII      CHR$()          Description"), this);
    lstCharacters = new QListWidget(this);
    lstCharacters->setObjectName(QStringLiteral("lstCharacters"));
    lstCharacters->setSelectionMode(QAbstractItemView::MultiSelection);
    lstCharacters->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    txtStringRepresentation = new QLineEdit(this);
    txtStringRepresentation->setObjectName(QStringLiteral("txtStringRepresentation"));
    cmdAdd = new QPushButton(QStringLiteral("&Add"), this);
    cmdreplace = new QPushButton(QStringLiteral("&Replace"), this);
    cmddone = new QPushButton(QStringLiteral("&Done"), this);
    cmddone->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdAdd);
    buttons->addWidget(cmdreplace);
    buttons->addStretch();
    buttons->addWidget(cmddone);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblHeading);
    layout->addWidget(lstCharacters, 1);
    layout->addWidget(txtStringRepresentation);
    layout->addLayout(buttons);

    connect(txtStringRepresentation, &QLineEdit::textChanged, this,
            [this] { txtStringRepresentation_Change(); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(cmdreplace, &QPushButton::clicked, this, [this] { cmdreplace_Click(); });
    connect(cmddone, &QPushButton::clicked, this, [this] { cmddone_Click(); });
    connect(lstCharacters, &QListWidget::itemDoubleClicked, this, [this] { cmdAdd_Click(); });
    Form_Load();
}

void frmStringRepresentation::Form_Load() {
    lstCharacters->clear();
    for (int code = 0; code < 256; ++code) {
        auto* item = new QListWidgetItem(CharacterTableRow(code), lstCharacters);
        item->setData(Qt::UserRole, code);
    }
}

void frmStringRepresentation::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Activate();
}

void frmStringRepresentation::Form_Activate() {
    txtStringRepresentation->setText(Global::StringRepresentation);
}

void frmStringRepresentation::txtStringRepresentation_Change() {
    Global::StringRepresentation = txtStringRepresentation->text();
}

std::string frmStringRepresentation::CollectSelectedCharacters() {
    CharacterSelection selection{};
    for (int row = 0; row < lstCharacters->count(); ++row) {
        QListWidgetItem* item = lstCharacters->item(row);
        const int code = item->data(Qt::UserRole).toInt();
        if (item->isSelected() && code >= 0 && code < 256) {
            selection[static_cast<std::size_t>(code)] = true;
        }
        item->setSelected(false);
    }
    return CollectSelection(selection);
}

void frmStringRepresentation::cmdAdd_Click() {
    const std::string characters = CollectSelectedCharacters();
    if (characters.empty()) return;
    txtStringRepresentation->setText(
        AddRepresentation(txtStringRepresentation->text(), characters));
}

void frmStringRepresentation::cmdreplace_Click() {
    txtStringRepresentation->setText(ReplaceRepresentation(CollectSelectedCharacters()));
}

void frmStringRepresentation::cmddone_Click() {
    Global::StringRepresentation = txtStringRepresentation->text();
    accept();
}

}  // namespace velmor::editors
