#include "editors/frmStringRepresentation.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QStyledItemDelegate>
#include <QVBoxLayout>

#include "app/global.h"
#include "editors/representationtable.h"

namespace velmor::editors {

namespace {

const QString kHeading = QStringLiteral("Hex      ASCII      CHR$()          Description");

// Draws a table row's tab-separated parts under the heading's words, and
// control characters as a visible stand-in, so that a line feed or a tab in
// a row cannot break the table's columns.
class CharacterRowDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override {
        QStyleOptionViewItem plain(option);
        initStyleOption(&plain, index);
        plain.text.clear();
        const QStyle* style =
            plain.widget != nullptr ? plain.widget->style() : QApplication::style();
        style->drawControl(QStyle::CE_ItemViewItem, &plain, painter, plain.widget);
        const QStringList parts = index.data(Qt::DisplayRole).toString().split(u'\t');
        const QFontMetrics metrics(option.font);
        const QStringList words = kHeading.split(u' ', Qt::SkipEmptyParts);
        painter->save();
        painter->setPen(option.palette.color(
            option.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
        int from = 0;
        for (qsizetype i = 0; i < parts.size() && i < words.size(); ++i) {
            const qsizetype column = kHeading.indexOf(words[i], from);
            from = static_cast<int>(column + words[i].size());
            QRect cell =
                option.rect.adjusted(4 + metrics.horizontalAdvance(kHeading.left(column)), 0, 0, 0);
            painter->drawText(cell, Qt::AlignVCenter | Qt::AlignLeft, Visible(parts[i]));
        }
        painter->restore();
    }

private:
    static QString Visible(QString text) {
        for (QChar& c : text) {
            if (c.unicode() < 32 || c.unicode() == 127) c = QChar(0x00B7);
        }
        return text;
    }
};

}  // namespace

frmStringRepresentation::frmStringRepresentation(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmStringRepresentation"));
    setWindowTitle(QStringLiteral("String Representation"));
    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    lblHeading = new QLabel(kHeading, this);
    lblHeading->setFont(fixed);
    lblHeading->setIndent(4);
    lstCharacters = new QListWidget(this);
    lstCharacters->setObjectName(QStringLiteral("lstCharacters"));
    lstCharacters->setSelectionMode(QAbstractItemView::MultiSelection);
    lstCharacters->setFont(fixed);
    lstCharacters->setItemDelegate(new CharacterRowDelegate(lstCharacters));
    lstCharacters->setUniformItemSizes(true);
    resize(420, 420);
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
