#include "dialogs/frmOptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "app/global.h"
#include "app/userprompt.h"
#include "dialogs/optionsrules.h"

namespace velmor {

namespace {

template <class W>
W* Named(W* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

QLineEdit* Box(const char* name, QWidget* parent) {
    return Named(new QLineEdit(parent), name);
}

QCheckBox* Check(const char* name, const char* caption, QWidget* parent) {
    return Named(new QCheckBox(QString::fromLatin1(caption), parent), name);
}

QPushButton* Button(const char* name, const char* caption, QWidget* parent) {
    auto* b = Named(new QPushButton(QString::fromLatin1(caption), parent), name);
    b->setAutoDefault(false);
    return b;
}

}  // namespace

frmOptions::frmOptions(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmOptions"));
    setWindowTitle(QStringLiteral("Options"));
    SSTab1 = Named(new QTabWidget(this), "SSTab1");
    SSTab1->addTab(BuildLookAndFeel(), QStringLiteral("Look And Feel"));
    SSTab1->addTab(BuildFileTypes(), QStringLiteral("File Types"));
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    ConnectHandlers();
    RefreshScreen();
    freProperties->setVisible(false);
}

void frmOptions::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    const QScreen* where = screen();
    if (where == nullptr || !isVisible()) return;
    const QRect room = where->availableGeometry();
    const QRect frame = frameGeometry();
    const int dx = std::min(0, room.right() - frame.right());
    const int dy = std::min(0, room.bottom() - frame.bottom());
    if (dx != 0 || dy != 0)
        move(std::max(room.left(), frame.left() + dx), std::max(room.top(), frame.top() + dy));
}

frmOptions::~frmOptions() {
    cboName->removeEventFilter(this);
    cboName->lineEdit()->removeEventFilter(this);
}

QWidget* frmOptions::BuildLookAndFeel() {
    auto* page = new QWidget;
    chkPromptToSaveChanges =
        Check("chkPromptToSaveChanges", "Prompt To Save Configuration Changes", page);
    txtTempFolderPath = Box("txtTempFolderPath", page);
    chkStoreConnectionAndIndexingFilesInDataPath =
        Check("chkStoreConnectionAndIndexingFilesInDataPath",
              "Store Connection And Indexing Files In Data Path", page);
    txtSecondaryConnectionAndIndexingPath = Box("txtSecondaryConnectionAndIndexingPath", page);
    chkCreateFormatFileDuringSave =
        Check("chkCreateFormatFileDuringSave", "Create Format File During Save", page);
    auto* form = new QFormLayout(page);
    form->addRow(chkPromptToSaveChanges);
    form->addRow(QStringLiteral("Temp Folder Path"), txtTempFolderPath);
    form->addRow(chkStoreConnectionAndIndexingFilesInDataPath);
    form->addRow(QStringLiteral("Secondary Connection And Indexing Path"),
                 txtSecondaryConnectionAndIndexingPath);
    form->addRow(chkCreateFormatFileDuringSave);
    return page;
}

QWidget* frmOptions::BuildFixedFrame() {
    freFixed = Named(new QGroupBox(freProperties), "freFixed");
    txtRecordLength = Box("txtRecordLength", freFixed);
    txtByteOffset = Box("txtByteOffset", freFixed);
    chkFLFirstRowContainsFieldNames =
        Check("chkFLFirstRowContainsFieldNames", "First Record Contains Field Names", freFixed);
    auto* form = new QFormLayout(freFixed);
    form->addRow(QStringLiteral("Record Length"), txtRecordLength);
    form->addRow(QStringLiteral("Byte Offset"), txtByteOffset);
    form->addRow(chkFLFirstRowContainsFieldNames);
    return freFixed;
}

QWidget* frmOptions::BuildDelimitedFrame() {
    freDelimited = Named(new QGroupBox(freProperties), "freDelimited");
    txtDelimiter = Box("txtDelimiter", freDelimited);
    txtFieldDelimiter = Box("txtFieldDelimiter", freDelimited);
    txtTextQualifier = Box("txtTextQualifier", freDelimited);
    chkDFirstRowContainsFieldNames =
        Check("chkDFirstRowContainsFieldNames", "First Record Contains Field Names", freDelimited);
    auto* form = new QFormLayout(freDelimited);
    const std::array<QLineEdit*, 3> boxes{txtDelimiter, txtFieldDelimiter, txtTextQualifier};
    const std::array<const char*, 3> captions{"End of Record Marker", "Field Seperator",
                                              "Text Qualifier"};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        cmdGetStringRepresentation[i] = Button("cmdGetStringRepresentation", "...", freDelimited);
        cmdGetStringRepresentation[i]->setProperty("Index", static_cast<int>(i));
        cmdGetStringRepresentation[i]->setFixedWidth(32);
        // Wide enough for the usual representations, "CHR$(13) & CHR$(10)".
        boxes[i]->setMinimumWidth(
            boxes[i]->fontMetrics().horizontalAdvance(QStringLiteral("CHR$(13) & CHR$(10)")) + 16);
        auto* row = new QHBoxLayout;
        row->addWidget(boxes[i], 1);
        row->addWidget(cmdGetStringRepresentation[i]);
        form->addRow(QString::fromLatin1(captions[i]), row);
    }
    form->addRow(chkDFirstRowContainsFieldNames);
    return freDelimited;
}

QWidget* frmOptions::BuildFileTypes() {
    auto* page = new QWidget;
    cboName = Named(new QComboBox(page), "cboName");
    cboName->setEditable(true);
    cboName->setInsertPolicy(QComboBox::NoInsert);
    cboName->installEventFilter(this);
    cboName->lineEdit()->installEventFilter(this);
    cmdAdd = Button("cmdAdd", "&Add", page);
    cmdRemove = Button("cmdRemove", "&Remove", page);
    freProperties = Named(new QGroupBox(QStringLiteral("Properties"), page), "freProperties");
    lstExtensions = Named(new QListWidget(freProperties), "lstExtensions");
    cmdAddExt = Button("cmdAddExt", "&Add", freProperties);
    cmdRemoveExt = Button("cmdRemoveExt", "&Remove", freProperties);
    optFixed = Named(new QRadioButton(QStringLiteral("Fixed Length Fields"), freProperties),
                     "optFixed");
    optDelimited = Named(new QRadioButton(QStringLiteral("Delimited"), freProperties),
                         "optDelimited");

    auto* extButtons = new QVBoxLayout;
    extButtons->addWidget(new QLabel(QStringLiteral("Extensions"), freProperties));
    extButtons->addWidget(cmdAddExt);
    extButtons->addWidget(cmdRemoveExt);
    extButtons->addStretch();
    auto* kinds = new QVBoxLayout;
    kinds->addWidget(optFixed);
    kinds->addWidget(optDelimited);
    kinds->addWidget(BuildFixedFrame(), 0, Qt::AlignTop);
    kinds->addWidget(BuildDelimitedFrame(), 0, Qt::AlignTop);
    kinds->addStretch(1);
    auto* properties = new QHBoxLayout(freProperties);
    properties->addLayout(extButtons);
    properties->addWidget(lstExtensions);
    properties->addLayout(kinds, 1);

    auto* nameRow = new QHBoxLayout;
    nameRow->addWidget(new QLabel(QStringLiteral("Association Group Name"), page));
    nameRow->addWidget(cboName, 1);
    nameRow->addWidget(cmdAdd);
    nameRow->addWidget(cmdRemove);
    auto* layout = new QVBoxLayout(page);
    layout->addLayout(nameRow);
    layout->addWidget(freProperties, 1);
    return page;
}

void frmOptions::ConnectHandlers() {
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int tab) { SSTab1_Click(tab); });
    connect(chkPromptToSaveChanges, &QCheckBox::clicked, this,
            [this] { chkPromptToSaveChanges_Click(); });
    connect(txtTempFolderPath, &QLineEdit::textChanged, this,
            [this] { txtTempFolderPath_Change(); });
    connect(chkStoreConnectionAndIndexingFilesInDataPath, &QCheckBox::clicked, this,
            [this] { chkStoreConnectionAndIndexingFilesInDataPath_Click(); });
    connect(txtSecondaryConnectionAndIndexingPath, &QLineEdit::textChanged, this,
            [this] { txtSecondaryConnectionAndIndexingPath_Change(); });
    connect(chkCreateFormatFileDuringSave, &QCheckBox::clicked, this,
            [this] { chkCreateFormatFileDuringSave_Click(); });

    // A row chosen by the user or by the program is a click on the box.
    connect(cboName, &QComboBox::currentIndexChanged, this, [this] { cboName_Click(); });
    connect(cboName->lineEdit(), &QLineEdit::textEdited, this,
            [this](const QString& text) { cboName_Change(text); });
    connect(cboName->lineEdit(), &QLineEdit::returnPressed, this, [this] { cboName_Enter(); });
    connect(optFixed, &QRadioButton::toggled, this, [this](bool on) {
        if (on) SelectFrame();
    });
    connect(optDelimited, &QRadioButton::toggled, this, [this](bool on) {
        if (on) SelectFrame();
    });
    connect(txtRecordLength, &QLineEdit::textChanged, this, [this] { txtRecordLength_Change(); });
    connect(txtByteOffset, &QLineEdit::textChanged, this, [this] { txtByteOffset_Change(); });
    connect(txtDelimiter, &QLineEdit::textChanged, this, [this] { txtDelimiter_Change(); });
    connect(txtFieldDelimiter, &QLineEdit::textChanged, this,
            [this] { txtFieldDelimiter_Change(); });
    connect(txtTextQualifier, &QLineEdit::textChanged, this,
            [this] { txtTextQualifier_Change(); });
    for (QCheckBox* box : {chkFLFirstRowContainsFieldNames, chkDFirstRowContainsFieldNames})
        connect(box, &QCheckBox::clicked, this,
                [this, box] { chkFirstRowContainsFieldNames_Click(box); });
    for (int i = 0; i < 3; ++i)
        connect(cmdGetStringRepresentation[static_cast<std::size_t>(i)], &QPushButton::clicked,
                this, [this, i] { cmdGetStringRepresentation_Click(i); });
    connect(cmdAdd, &QPushButton::clicked, this, [this] { cmdAdd_Click(); });
    connect(cmdRemove, &QPushButton::clicked, this, [this] { cmdRemove_Click(); });
    connect(cmdAddExt, &QPushButton::clicked, this, [this] { cmdAddExt_Click(); });
    connect(cmdRemoveExt, &QPushButton::clicked, this, [this] { cmdRemoveExt_Click(); });
}

// ---- Look And Feel ----

void frmOptions::RefreshScreen() {
    chkPromptToSaveChanges->setChecked(Global::PromptToSaveConfigurationChanges);
    chkStoreConnectionAndIndexingFilesInDataPath->setChecked(
        Global::StoreConnectionAndIndexingFilesInDataPath);
    chkCreateFormatFileDuringSave->setChecked(Global::CreateFormatFileDuringSave);
    txtTempFolderPath->setText(Global::TempFolderPath);
    txtSecondaryConnectionAndIndexingPath->setText(Global::SecondaryConnectionAndIndexingPath);
}

void frmOptions::chkPromptToSaveChanges_Click() {
    Global::PromptToSaveConfigurationChanges = chkPromptToSaveChanges->isChecked();
}

void frmOptions::txtTempFolderPath_Change() {
    Global::TempFolderPath = txtTempFolderPath->text();
}

void frmOptions::chkStoreConnectionAndIndexingFilesInDataPath_Click() {
    Global::StoreConnectionAndIndexingFilesInDataPath =
        chkStoreConnectionAndIndexingFilesInDataPath->isChecked();
    GroupsChanged = true;
}

void frmOptions::txtSecondaryConnectionAndIndexingPath_Change() {
    Global::SecondaryConnectionAndIndexingPath = txtSecondaryConnectionAndIndexingPath->text();
}

void frmOptions::chkCreateFormatFileDuringSave_Click() {
    Global::CreateFormatFileDuringSave = chkCreateFormatFileDuringSave->isChecked();
}

// ---- File Types ----

ConnectionProfile* frmOptions::Group() {
    if (SelectedGroup < 1 || SelectedGroup > static_cast<int>(Global::Connections.size()))
        return nullptr;
    return &Global::Connections[static_cast<std::size_t>(SelectedGroup - 1)];
}

void frmOptions::SSTab1_Click(int tab) {
    if (tab != 1) return;
    QString remembered = cboName->currentText();
    {
        const QSignalBlocker blocker(cboName);
        cboName->clear();
        for (std::size_t i = 0; i < Global::Connections.size(); ++i)
            cboName->addItem(Global::Connections[i].Name, static_cast<int>(i + 1));
        if (remembered.trimmed().isEmpty() && cboName->count() > 0)
            remembered = cboName->itemText(0);
        cboName->setCurrentIndex(-1);
        Global::SelectListItem(cboName, remembered, false);
    }
    RefreshExtensions();
}

void frmOptions::RefreshExtensions() {
    LoadingControls = true;
    freProperties->setVisible(true);
    SelectedGroup = cboName->currentIndex() + 1;
    const ConnectionProfile* group = Group();
    if (group == nullptr) {
        SelectedGroup = 0;
        freProperties->setVisible(false);
        LoadingControls = false;
        return;
    }
    SetKind(group->IsFixed && !group->IsDelimited, group->IsDelimited);
    txtDelimiter->setText(group->RecordDelimiterRepresentation);
    txtFieldDelimiter->setText(group->FieldDelimiterRepresentation);
    txtTextQualifier->setText(group->TextQualifierRepresentation);
    chkFLFirstRowContainsFieldNames->setChecked(group->FirstRecordContainsFieldNames);
    chkDFirstRowContainsFieldNames->setChecked(group->FirstRecordContainsFieldNames);
    txtRecordLength->setText(QString::number(group->RecordLength));
    txtByteOffset->setText(QString::number(group->ByteOffset));
    lstExtensions->clear();
    lstExtensions->addItems(options::ShownExtensions(group->Extensions));
    LoadingControls = false;
}

// Neither button may be on (a group whose kind is not chosen yet), which
// exclusive radio buttons do not allow by themselves.
void frmOptions::SetKind(bool fixed, bool delimited) {
    optFixed->setAutoExclusive(false);
    optDelimited->setAutoExclusive(false);
    optFixed->setChecked(fixed);
    optDelimited->setChecked(delimited);
    optFixed->setAutoExclusive(true);
    optDelimited->setAutoExclusive(true);
    freFixed->setVisible(fixed);
    freDelimited->setVisible(delimited);
}

void frmOptions::SelectFrame() {
    const bool delimited = optDelimited->isChecked();
    freDelimited->setVisible(delimited);
    freFixed->setVisible(!delimited);
    ConnectionProfile* group = Group();
    if (LoadingControls || group == nullptr) return;
    group->IsDelimited = delimited;
    group->IsFixed = !delimited;
    GroupsChanged = true;
}

void frmOptions::txtRecordLength_Change() {
    if (LoadingControls || Group() == nullptr) return;
    Group()->RecordLength = options::ReadNumberBox(txtRecordLength->text());
    GroupsChanged = true;
}

void frmOptions::txtByteOffset_Change() {
    if (LoadingControls || Group() == nullptr) return;
    Group()->ByteOffset = options::ReadNumberBox(txtByteOffset->text());
    GroupsChanged = true;
}

void frmOptions::txtDelimiter_Change() {
    if (LoadingControls || Group() == nullptr) return;
    Group()->RecordDelimiterRepresentation = txtDelimiter->text();
    GroupsChanged = true;
}

void frmOptions::txtFieldDelimiter_Change() {
    if (LoadingControls || Group() == nullptr) return;
    Group()->FieldDelimiterRepresentation = txtFieldDelimiter->text();
    GroupsChanged = true;
}

void frmOptions::txtTextQualifier_Change() {
    if (LoadingControls || Group() == nullptr) return;
    Group()->TextQualifierRepresentation = txtTextQualifier->text();
    GroupsChanged = true;
}

void frmOptions::chkFirstRowContainsFieldNames_Click(QCheckBox* box) {
    if (LoadingControls || Group() == nullptr) return;
    Group()->FirstRecordContainsFieldNames = box->isChecked();
    // Both boxes edit the one setting.
    for (QCheckBox* other : {chkFLFirstRowContainsFieldNames, chkDFirstRowContainsFieldNames})
        if (other != box) other->setChecked(box->isChecked());
    GroupsChanged = true;
}

void frmOptions::cmdGetStringRepresentation_Click(int index) {
    const std::array<QLineEdit*, 3> boxes{txtDelimiter, txtFieldDelimiter, txtTextQualifier};
    if (index < 0 || index >= static_cast<int>(boxes.size())) return;
    QLineEdit* box = boxes[static_cast<std::size_t>(index)];
    Global::StringRepresentation = box->text();
    if (ShowComposer) ShowComposer();
    box->setText(Global::StringRepresentation);
}

// ---- renaming a group through the combo box ----

void frmOptions::cboName_Change(const QString& text) {
    PendingGroupName = text;
}

void frmOptions::StoreGroupName(const QString& name) {
    ConnectionProfile* group = Group();
    if (group == nullptr) return;
    group->Name = name;
    const QSignalBlocker blocker(cboName);
    cboName->setItemText(SelectedGroup - 1, name);
    GroupsChanged = true;
}

void frmOptions::cboName_Enter() {
    if (Group() == nullptr) return;
    StoreGroupName(cboName->currentText());
    const QSignalBlocker blocker(cboName);
    cboName->setCurrentIndex(SelectedGroup - 1);
    PendingGroupName.clear();
}

// The name typed belongs to the group shown while it was typed, which is
// still SelectedGroup when another row has just been chosen.
void frmOptions::StorePendingName() {
    if (PendingGroupName.isEmpty()) return;
    if (cboName->currentIndex() < 0 && Group() != nullptr) {
        const QSignalBlocker blocker(cboName);
        cboName->setCurrentIndex(SelectedGroup - 1);
    }
    StoreGroupName(PendingGroupName);
    PendingGroupName.clear();
}

void frmOptions::cboName_Click() {
    StorePendingName();
    if (!LoadingControls) RefreshExtensions();
}

void frmOptions::cboName_LostFocus() {
    cboName_Click();
}

bool frmOptions::eventFilter(QObject* watched, QEvent* event) {
    if (!mUnloaded && (watched == cboName || watched == cboName->lineEdit()) &&
        event->type() == QEvent::FocusOut && !cboName->hasFocus())
        cboName_LostFocus();
    return QDialog::eventFilter(watched, event);
}

// ---- groups ----

void frmOptions::cmdAdd_Click() {
    const QString name = QStringLiteral("New Group");
    Global::Connections.emplace_back();
    Global::Connections.back().Name = name;
    cboName->addItem(name, cboName->count() + 1);
    cboName->setCurrentIndex(cboName->count() - 1);
    // The first row of an empty box is selected as it is added.
    if (SelectedGroup != cboName->count()) RefreshExtensions();
    freFixed->setVisible(false);
    freDelimited->setVisible(false);
    cboName->setFocus();
    GroupsChanged = true;
}

void frmOptions::cmdRemove_Click() {
    const int row = cboName->currentIndex();
    if (row < 0 || row >= static_cast<int>(Global::Connections.size())) return;
    Global::Connections.erase(Global::Connections.begin() + row);
    // A name typed for the removed group goes with it.
    PendingGroupName.clear();
    SelectedGroup = 0;
    {
        const QSignalBlocker blocker(cboName);
        cboName->removeItem(row);
        cboName->setCurrentIndex(-1);
    }
    GroupsChanged = true;
    if (cboName->count() > 0)
        cboName->setCurrentIndex(0);
    else
        RefreshExtensions();
}

// ---- extensions ----

void frmOptions::cmdAddExt_Click() {
    ConnectionProfile* group = Group();
    if (group == nullptr) return;
    const std::optional<QString> answer = Prompt().Input(
        QStringLiteral("What is the new extension?"), QStringLiteral("Add Extension"));
    if (!answer || answer->isEmpty()) return;
    const QString extension = options::ExtensionFromAnswer(*answer);
    if (extension.isEmpty()) return;
    if (!options::UsableExtension(extension)) {
        Prompt().Message(QStringLiteral("An extension cannot hold blanks, \";\" or \"|\"."),
                         QStringLiteral("Can't Add"), UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Exclamation);
        return;
    }
    // Groups added, renamed or removed since the last merge count too.
    Global::MergeFileTypes();
    if (const auto owner = options::ExtensionOwner(Global::AllFileTypes, extension)) {
        Prompt().Message(QStringLiteral("This extension is already being used by the '") +
                             *owner + QStringLiteral("' group."),
                         QStringLiteral("Can't Add"), UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Exclamation);
        return;
    }
    group->Extensions = options::AddExtension(group->Extensions, extension);
    lstExtensions->addItem(extension);
    GroupsChanged = true;
    Global::MergeFileTypes();
}

void frmOptions::cmdRemoveExt_Click() {
    ConnectionProfile* group = Group();
    QListWidgetItem* item = lstExtensions->currentItem();
    if (item == nullptr || !item->isSelected()) {
        Prompt().Message(QStringLiteral("Please highlight the extension that you wish to remove."));
        return;
    }
    if (group == nullptr) return;
    group->Extensions = options::RemoveExtension(group->Extensions, item->text());
    delete lstExtensions->takeItem(lstExtensions->row(item));
    GroupsChanged = true;
    Global::MergeFileTypes();
}

// ---- closing ----

void frmOptions::Form_Unload() {
    if (mUnloaded) return;
    mUnloaded = true;
    cboName->removeEventFilter(this);
    cboName->lineEdit()->removeEventFilter(this);
    // A new name is a change to the groups: the lists must show it.
    if (!PendingGroupName.isEmpty() && Group() != nullptr) {
        Group()->Name = PendingGroupName;
        GroupsChanged = true;
    }
    if (!GroupsChanged) return;
    Global::RegisterShellOpenCommand();
    Global::MergeFileTypes();
    Global::SortProfilesByName(Global::AllFileTypes);
}

void frmOptions::done(int result) {
    Form_Unload();
    QDialog::done(result);
}

}  // namespace velmor
