#include "editors/frmDKFields.h"

#include <QAction>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "datatools/wizardrules.h"
#include "app/userprompt.h"
#include "data/file.h"
#include "editors/fieldrules.h"
#include "editors/textbytes.h"
#include "editors/viewerhost.h"
#include "util/utilities.h"

namespace velmor::editors {

namespace {

QPushButton* Button(const QString& caption, const char* name, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(QString::fromLatin1(name));
    // Enter in a position box moves on to "&Add"; no button may take it.
    button->setAutoDefault(false);
    return button;
}

QLineEdit* Box(const char* name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

}  // namespace

frmDKFields::frmDKFields(ViewerHost& viewer, QWidget* parent) : QDialog(parent), viewer_(viewer) {
    setObjectName(QStringLiteral("frmDKFields"));
    setWindowTitle(QStringLiteral("Fields"));
    BuildControls();
    ConnectHandlers();
}

frmDKFields::~frmDKFields() = default;

void frmDKFields::BuildControls() {
    menuBar = new QMenuBar(this);
    QMenu* tools = menuBar->addMenu(QStringLiteral("Tools"));
    mnuImportFields = tools->addAction(QStringLiteral("Import Fields..."));
    mnuLayoutConverter = tools->addAction(QStringLiteral("Layout Converter"));
    mnuLayoutConverter->setEnabled(false);

    lstfieldname = new QListWidget(this);
    lstfieldname->setObjectName(QStringLiteral("lstfieldname"));
    lstfieldname->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdnewfield = Button(QStringLiteral("&Add"), "cmdnewfield", this);
    cmdInsertField = Button(QStringLiteral("&Insert"), "cmdInsertField", this);
    cmdrename = Button(QStringLiteral("&Rename"), "cmdrename", this);
    cmdSplit = Button(QStringLiteral("&Split"), "cmdSplit", this);
    cmdDeleteField = Button(QStringLiteral("&Delete"), "cmdDeleteField", this);
    cmdOK = Button(QStringLiteral("&OK"), "cmdOK", this);

    freFieldProperties = new QGroupBox(QStringLiteral("Field Properties"), this);
    txtstartingposition = Box("txtstartingposition", freFieldProperties);
    txtlength = Box("txtlength", freFieldProperties);
    txtEndingPosition = Box("txtEndingPosition", freFieldProperties);
    auto* properties = new QFormLayout(freFieldProperties);
    properties->addRow(QStringLiteral("Starting Position"), txtstartingposition);
    properties->addRow(QStringLiteral("Length"), txtlength);
    properties->addRow(QStringLiteral("Ending Position"), txtEndingPosition);

    freViewerMargin = new QGroupBox(QStringLiteral("Top Viewer Margin"), this);
    optShowByteBar = new QRadioButton(QStringLiteral("Show Byte Bar"), freViewerMargin);
    optShowFieldNames = new QRadioButton(QStringLiteral("Show Field Names"), freViewerMargin);
    auto* margin = new QVBoxLayout(freViewerMargin);
    margin->addWidget(optShowByteBar);
    margin->addWidget(optShowFieldNames);

    HScroll1 = new QScrollBar(Qt::Horizontal, this);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {cmdnewfield, cmdInsertField, cmdrename, cmdSplit, cmdDeleteField}) {
        buttons->addWidget(b);
    }
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    auto* list = new QVBoxLayout;
    list->addWidget(new QLabel(QStringLiteral("Fields"), this));
    list->addWidget(lstfieldname, 1);
    // Without a selected field the properties hide but keep their room, so
    // the buttons do not jump sideways when the layout is empty.
    QSizePolicy keep = freFieldProperties->sizePolicy();
    keep.setRetainSizeWhenHidden(true);
    freFieldProperties->setSizePolicy(keep);
    auto* side = new QVBoxLayout;
    side->addWidget(freFieldProperties);
    side->addWidget(freViewerMargin);
    side->addStretch();
    auto* columns = new QHBoxLayout;
    columns->addLayout(list, 1);
    columns->addLayout(buttons);
    columns->addLayout(side);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addLayout(columns, 1);
    layout->addWidget(HScroll1);
}

void frmDKFields::ConnectHandlers() {
    connect(lstfieldname, &QListWidget::itemSelectionChanged, this,
            [this] { lstfieldname_Click(); });
    connect(txtstartingposition, &QLineEdit::textChanged, this,
            [this] { txtstartingposition_Change(); });
    connect(txtlength, &QLineEdit::textChanged, this, [this] { txtlength_Change(); });
    connect(txtEndingPosition, &QLineEdit::textChanged, this,
            [this] { txtEndingPosition_Change(); });
    connect(txtlength, &QLineEdit::returnPressed, this, [this] { txtlength_Enter(); });
    connect(txtEndingPosition, &QLineEdit::returnPressed, this,
            [this] { txtEndingPosition_Enter(); });
    connect(cmdnewfield, &QPushButton::clicked, this, [this] { cmdnewfield_Click(); });
    connect(cmdInsertField, &QPushButton::clicked, this, [this] { cmdInsertField_Click(); });
    connect(cmdrename, &QPushButton::clicked, this, [this] { cmdrename_Click(); });
    connect(cmdSplit, &QPushButton::clicked, this, [this] { cmdSplit_Click(); });
    connect(cmdDeleteField, &QPushButton::clicked, this, [this] { cmdDeleteField_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(optShowByteBar, &QRadioButton::clicked, this, [this] { optShowByteBar_Click(); });
    connect(optShowFieldNames, &QRadioButton::clicked, this, [this] { optShowFieldNames_Click(); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(mnuImportFields, &QAction::triggered, this, [this] { mnuImportFields_Click(); });
    connect(mnuLayoutConverter, &QAction::triggered, this, [this] { mnuLayoutConverter_Click(); });
    for (QLineEdit* box : {txtstartingposition, txtlength, txtEndingPosition}) {
        box->installEventFilter(this);
    }
}

bool frmDKFields::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched)) HighlightSelection(box);
    }
    return QDialog::eventFilter(watched, event);
}

void frmDKFields::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Activate();
}

data::File& frmDKFields::File() {
    return viewer_.File();
}

void frmDKFields::SetLayoutConverter(std::function<void()> show) {
    layoutConverter_ = std::move(show);
    mnuLayoutConverter->setEnabled(static_cast<bool>(layoutConverter_));
}

void frmDKFields::Form_Activate() {
    RefreshScreen();
    SetupScrollBar();
}

void frmDKFields::RefreshScreen() {
    data::Fields& fields = File().GetFields();
    lstfieldname->clear();
    const auto exists = [&fields](std::string_view name) { return fields.Exists(name); };
    for (int i = 1; i <= fields.Count(); ++i) {
        data::Field* field = fields.Item(i);
        if (field == nullptr) break;
        if (field->Name().empty()) field->SetName(DefaultFieldName(i, exists));
        auto* row = new QListWidgetItem(FromBytes(field->Name()), lstfieldname);
        row->setData(Qt::UserRole, i);
    }
    SelectRow(lstfieldname->count() > 0 ? 0 : -1);
    RefreshFieldProperties();
    const bool names = File().ShowFieldNames();
    optShowFieldNames->setChecked(names);
    optShowByteBar->setChecked(!names);
}

int frmDKFields::SelectedField() const {
    const QList<QListWidgetItem*> selected = lstfieldname->selectedItems();
    return selected.isEmpty() ? 0 : selected.front()->data(Qt::UserRole).toInt();
}

data::Field* frmDKFields::SelectedFieldItem() {
    const int index = SelectedField();
    return index > 0 ? File().GetFields().Item(index) : nullptr;
}

void frmDKFields::SelectRow(int row) {
    if (row < 0 || row >= lstfieldname->count()) {
        lstfieldname->clearSelection();
        lstfieldname->setCurrentRow(-1);
        RefreshFieldProperties();
        return;
    }
    lstfieldname->setCurrentRow(row, QItemSelectionModel::ClearAndSelect);
}

void frmDKFields::RefreshFieldProperties() {
    const data::Field* field = SelectedFieldItem();
    if (field == nullptr) {
        freFieldProperties->hide();
        return;
    }
    LoadingControls = true;
    freFieldProperties->show();
    txtstartingposition->setText(QString::number(field->StartingPosition()));
    txtlength->setText(QString::number(field->Length()));
    txtEndingPosition->setText(QString::number(field->EndingPosition()));
    LoadingControls = false;
}

void frmDKFields::SetupScrollBar() {
    MirrorScrollBar(viewer_.HScroll1(), *HScroll1);
}

void frmDKFields::HighlightSelection(QLineEdit* box) {
    box->setSelection(0, static_cast<int>(box->text().size()));
}

std::string frmDKFields::FormatFileName() const {
    std::string folder;
    std::string name;
    std::string extension;
    util::SplitPath(viewer_.File().PathAndName(), folder, name, extension);
    return folder + name + ".fmt";
}

void frmDKFields::lstfieldname_Click() {
    RefreshFieldProperties();
}

long long frmDKFields::BoxNumber(const QLineEdit* box) const {
    return editors::BoxNumber(ToBytes(box->text()));
}

void frmDKFields::SetBox(QLineEdit* box, long long value) {
    // The other box is rewritten quietly: its own handler would only send
    // the same position again and rewrite the box the user is typing in.
    const bool loading = LoadingControls;
    LoadingControls = true;
    box->setText(QString::number(value));
    LoadingControls = loading;
}

void frmDKFields::txtstartingposition_Change() {
    if (LoadingControls) return;
    data::Field* field = SelectedFieldItem();
    if (field == nullptr) return;
    const long long start = BoxNumber(txtstartingposition);
    field->SetStartingPosition(start);
    SetBox(txtEndingPosition, EndingPosition(start, BoxNumber(txtlength)));
}

void frmDKFields::txtlength_Change() {
    if (LoadingControls) return;
    data::Field* field = SelectedFieldItem();
    if (field == nullptr) return;
    const long long length = BoxNumber(txtlength);
    field->SetLength(length);
    SetBox(txtEndingPosition, EndingPosition(BoxNumber(txtstartingposition), length));
}

void frmDKFields::txtEndingPosition_Change() {
    if (LoadingControls) return;
    data::Field* field = SelectedFieldItem();
    if (field == nullptr) return;
    const long long start = BoxNumber(txtstartingposition);
    const long long end = BoxNumber(txtEndingPosition);
    const long long length = LengthFromEnd(start, end);
    SetBox(txtlength, length);
    field->SetLength(length);
    field->SetEndingPosition(end);
    data::Fields& fields = File().GetFields();
    const data::Field* last = fields.Item(fields.LastField());
    if (last != nullptr && last->EndingPosition() >= last->StartingPosition()) SetupScrollBar();
}

void frmDKFields::txtlength_Enter() {
    cmdnewfield->setFocus();
    viewer_.RefreshView();
}

void frmDKFields::txtEndingPosition_Enter() {
    txtlength_Enter();
}

std::optional<std::string> frmDKFields::AskFieldName(int index) {
    data::Fields& fields = File().GetFields();
    const data::Field* field = fields.Item(index);
    const std::string current = field != nullptr ? field->Name() : std::string();
    for (;;) {
        const std::optional<QString> answer =
            Prompt().Input(QStringLiteral("What is the new name of the field?"),
                           QStringLiteral("Rename"), FromBytes(current));
        if (!answer || answer->isEmpty()) return std::nullopt;
        const std::string name = ToBytes(*answer);
        if (!fields.Exists(name)) return name;
        if (util::EqualsNoCase(name, current)) return std::nullopt;
        Prompt().Message(
            QString::fromStdString(datatools::FieldExistsMessage(answer->toStdString())),
            QStringLiteral("Try Again"), UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
    }
}

}  // namespace velmor::editors
