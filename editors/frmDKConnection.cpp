#include "editors/frmDKConnection.h"

#include <algorithm>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QVBoxLayout>

#include "datatools/wizardrules.h"
#include "app/global.h"
#include "app/userprompt.h"
#include "data/file.h"
#include "editors/connectionrules.h"
#include "editors/fieldrules.h"
#include "editors/frmStringRepresentation.h"
#include "editors/textbytes.h"
#include "editors/viewerhost.h"
#include "util/utilities.h"
#include "viewer/frmFileView.h"

namespace velmor::editors {

namespace {

// The hourglass for the length of a tab switch, restored on every path.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

QPushButton* Button(const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    // Enter in a box belongs to the box (the record length redraws on it),
    // never to a default button.
    button->setAutoDefault(false);
    return button;
}

QLineEdit* Box(const char* name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

QString Number(data::FilePos value) {
    return QString::number(value);
}

const std::array<QString, 3> kDelimiterLabels{QStringLiteral("End of Record Marker"),
                                              QStringLiteral("Field Seperator"),
                                              QStringLiteral("Text Qualifier")};

// A delimiter box passes through unreadable texts while the user types
// ("CHR$(1" on the way to "CHR$(13)"). Those are marked in the box and kept
// from the engine, which would otherwise report an error per keystroke; the
// mark goes as soon as the text reads.
bool Readable(QLineEdit* box) {
    const util::RepresentationResult parsed =
        util::RepresentationToCharacters(ToBytes(box->text()));
    box->setToolTip(parsed.ok() ? QString() : QString::fromStdString(parsed.error));
    box->setStyleSheet(parsed.ok() ? QString() : QStringLiteral("color: #b00000"));
    return parsed.ok();
}

bool Marked(const QLineEdit* box) {
    return !box->toolTip().isEmpty();
}

void ClearMark(QLineEdit* box) {
    box->setToolTip(QString());
    box->setStyleSheet(QString());
}

// A marked box keeps the user's text, whatever the engine holds, until the
// text is mended or the wizard is left.
void ShowSetting(QLineEdit* box, const std::string& setting) {
    if (!Marked(box)) box->setText(FromBytes(setting));
}

}  // namespace

frmDKConnection::frmDKConnection(ViewerHost& viewer, QWidget* parent)
    : QDialog(parent), viewer_(viewer) {
    setObjectName(QStringLiteral("frmDKConnection"));
    setWindowTitle(QStringLiteral("Data Connection"));
    SSTab1 = new QTabWidget(this);
    SSTab1->addTab(BuildFixedTab(), QStringLiteral("&Fixed Width Records"));
    SSTab1->addTab(BuildDelimitedTab(), QStringLiteral("Delimited Records"));
    HScroll1 = new QScrollBar(Qt::Horizontal, this);
    cmddone = Button(QStringLiteral("&Done"), this);
    cmdRedraw = Button(QStringLiteral("&Redraw"), this);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdRedraw);
    buttons->addStretch();
    buttons->addWidget(cmddone);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(SSTab1);
    layout->addWidget(HScroll1);
    layout->addLayout(buttons);

    ShowComposer = [this] {
        frmStringRepresentation composer(this);
        frmFileView::ShowModal(composer);
    };
    ConnectHandlers();
}

QWidget* frmDKConnection::BuildFixedTab() {
    auto* page = new QWidget;
    cboDatabaseType = new QComboBox(page);
    cboDatabaseType->setObjectName(QStringLiteral("cboDatabaseType"));
    for (const char* type : kDatabaseTypes) cboDatabaseType->addItem(QString::fromLatin1(type));
    cboRecordFormat = new QComboBox(page);
    cboRecordFormat->setObjectName(QStringLiteral("cboRecordFormat"));
    for (const char* format : kRecordFormats) cboRecordFormat->addItem(QString::fromLatin1(format));
    txtRecordLength = Box("txtRecordLength", page);
    cmdRLDown = Button(QStringLiteral("<"), page);
    cmdRLUp = Button(QStringLiteral(">"), page);
    txtByteOffset = Box("txtByteOffset", page);
    chkFLFirstRowContainsFieldNames =
        new QCheckBox(QStringLiteral("First Record Contains Field Names"), page);

    auto* length = new QHBoxLayout;
    length->addWidget(cmdRLDown);
    length->addWidget(txtRecordLength, 1);
    length->addWidget(cmdRLUp);
    auto* form = new QFormLayout(page);
    form->addRow(QStringLiteral("Database Type"), cboDatabaseType);
    form->addRow(QStringLiteral("Record Format"), cboRecordFormat);
    form->addRow(QStringLiteral("Record Length"), length);
    form->addRow(QStringLiteral("Byte Offset"), txtByteOffset);
    form->addRow(chkFLFirstRowContainsFieldNames);
    return page;
}

QWidget* frmDKConnection::BuildDelimitedTab() {
    auto* page = new QWidget;
    txtDelimiter = Box("txtDelimiter", page);
    txtFieldDelimiter = Box("txtFieldDelimiter", page);
    txtTextQualifier = Box("txtTextQualifier", page);
    txtDByteOffset = Box("txtDByteOffset", page);
    chkDFirstRowContainsFieldNames =
        new QCheckBox(QStringLiteral("First Record Contains Field Names"), page);

    auto* form = new QFormLayout(page);
    const std::array<QLineEdit*, 3> boxes{txtDelimiter, txtFieldDelimiter, txtTextQualifier};
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        cmdGetStringRepresentation[i] = Button(QStringLiteral("..."), page);
        auto* row = new QHBoxLayout;
        row->addWidget(boxes[i], 1);
        row->addWidget(cmdGetStringRepresentation[i]);
        form->addRow(kDelimiterLabels[i], row);
    }
    form->addRow(QStringLiteral("Byte Offset"), txtDByteOffset);
    form->addRow(chkDFirstRowContainsFieldNames);
    return page;
}

void frmDKConnection::ConnectHandlers() {
    auto onText = [this](QLineEdit* box, void (frmDKConnection::*handler)()) {
        connect(box, &QLineEdit::textChanged, this, [this, handler] { (this->*handler)(); });
    };
    onText(txtRecordLength, &frmDKConnection::txtRecordLength_Change);
    onText(txtByteOffset, &frmDKConnection::txtByteOffset_Change);
    onText(txtDByteOffset, &frmDKConnection::txtDByteOffset_Change);
    onText(txtDelimiter, &frmDKConnection::txtDelimiter_Change);
    onText(txtFieldDelimiter, &frmDKConnection::txtFieldDelimiter_Change);
    onText(txtTextQualifier, &frmDKConnection::txtTextQualifier_Change);
    connect(txtRecordLength, &QLineEdit::returnPressed, this, [this] { txtRecordLength_Enter(); });
    connect(cmdRLUp, &QPushButton::clicked, this, [this] { cmdRLUp_Click(); });
    connect(cmdRLDown, &QPushButton::clicked, this, [this] { cmdRLDown_Click(); });
    connect(cmdRedraw, &QPushButton::clicked, this, [this] { cmdRedraw_Click(); });
    connect(cmddone, &QPushButton::clicked, this, [this] { cmddone_Click(); });
    // A check box reacts to every change of its value, set by the user or
    // by a refresh, as the tab round trip relies on.
    connect(chkFLFirstRowContainsFieldNames, &QCheckBox::stateChanged, this,
            [this] { chkFLFirstRowContainsFieldNames_Click(); });
    connect(chkDFirstRowContainsFieldNames, &QCheckBox::stateChanged, this,
            [this] { chkDFirstRowContainsFieldNames_Click(); });
    connect(cboDatabaseType, &QComboBox::activated, this, [this] { cboDatabaseType_Click(); });
    connect(cboRecordFormat, &QComboBox::activated, this, [this] { cboRecordFormat_Click(); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(SSTab1, &QTabWidget::currentChanged, this, [this](int tab) { SSTab1_Click(tab); });
    for (int i = 0; i < 3; ++i) {
        connect(cmdGetStringRepresentation[static_cast<std::size_t>(i)], &QPushButton::clicked,
                this, [this, i] { cmdGetStringRepresentation_Click(i); });
    }
    for (QLineEdit* box : {txtRecordLength, txtByteOffset, txtDelimiter, txtFieldDelimiter,
                           txtTextQualifier, txtDByteOffset}) {
        box->installEventFilter(this);
    }
}

bool frmDKConnection::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched)) HighlightSelection(box);
    }
    return QDialog::eventFilter(watched, event);
}

data::Connection& frmDKConnection::Conn() {
    return viewer_.File().GetConnection();
}

void frmDKConnection::showEvent(QShowEvent* event) {
    QDialog::showEvent(event);
    Form_Load();
    Form_Activate();
}

void frmDKConnection::Form_Load() {
    fixedSnapshot_ = data::Connection();
    delimitedSnapshot_ = data::Connection();
    fixedFields_.Clear();
    delimitedFields_.Clear();
    for (QLineEdit* box : DelimiterBoxes()) ClearMark(box);
}

std::array<QLineEdit*, 3> frmDKConnection::DelimiterBoxes() const {
    return {txtDelimiter, txtFieldDelimiter, txtTextQualifier};
}

bool frmDKConnection::SayUnreadable() {
    const std::array<QLineEdit*, 3> boxes = DelimiterBoxes();
    for (std::size_t i = 0; i < boxes.size(); ++i) {
        if (!Marked(boxes[i])) continue;
        Prompt().Message(QString::fromStdString(datatools::UnreadableDelimiterMessage(
                             kDelimiterLabels[i].toStdString(), boxes[i]->text().toStdString(),
                             boxes[i]->toolTip().toStdString())),
                         windowTitle(), UserPrompt::Buttons::Ok, UserPrompt::Icon::Exclamation);
        boxes[i]->setFocus();
        return true;
    }
    return false;
}

void frmDKConnection::Form_Activate() {
    LoadingControls = true;
    if (Conn().IsFixed()) {
        SSTab1->setCurrentIndex(FixedTab);
        RefreshFixedProperties();
    } else {
        SSTab1->setCurrentIndex(DelimitedTab);
        RefreshDelimitedProperties();
    }
    LoadingControls = false;
    FixScrollBar();
}

void frmDKConnection::FixScrollBar() {
    MirrorScrollBar(viewer_.HScroll1(), *HScroll1);
}

void frmDKConnection::HighlightSelection(QLineEdit* box) {
    box->setSelection(0, static_cast<int>(box->text().size()));
}

void frmDKConnection::RefreshFixedProperties() {
    const data::Connection& c = Conn();
    txtRecordLength->setText(Number(c.RecordLength()));
    SelectDatabaseType();
    ShowRecordFormat();
    chkFLFirstRowContainsFieldNames->setChecked(Conn().FirstRecordContainsFieldNames());
    txtByteOffset->setText(Number(Conn().ByteOffset()));
}

void frmDKConnection::RefreshDelimitedProperties() {
    ShowSetting(txtDelimiter, Conn().RecordDelimiterRepresentation());
    ShowSetting(txtFieldDelimiter, Conn().FieldDelimiterRepresentation());
    ShowSetting(txtTextQualifier, Conn().TextQualifierRepresentation());
    chkDFirstRowContainsFieldNames->setChecked(Conn().FirstRecordContainsFieldNames());
    txtDByteOffset->setText(Number(Conn().ByteOffset()));
}

void frmDKConnection::SelectDatabaseType() {
    data::File& file = viewer_.File();
    for (int pass = 0; pass < 2; ++pass) {
        const std::string wanted = util::ToUpper(file.DatabaseType());
        for (int i = 0; i < cboDatabaseType->count(); ++i) {
            if (util::ToUpper(ToBytes(cboDatabaseType->itemText(i))) == wanted) {
                Global::SetListIndex(cboDatabaseType, i);
                return;
            }
        }
        file.SetDatabaseType(kDatabaseTypes[0]);
    }
}

void frmDKConnection::ShowRecordFormat() {
    const bool variable = Conn().IsVariable();
    Global::SetListIndex(cboRecordFormat, RecordFormatIndex(Conn().RecordFormat()));
    txtRecordLength->setReadOnly(variable);
    cmdRLUp->setEnabled(!variable);
    cmdRLDown->setEnabled(!variable);
}

void frmDKConnection::ViewFile() {
    viewer_.RefreshView();
    FixScrollBar();
}

void frmDKConnection::txtRecordLength_Change() {
    // Variable records measure themselves: the box only shows the longest.
    if (LoadingControls || Conn().IsVariable()) return;
    Conn().SetRecordLength(BoxNumber(ToBytes(txtRecordLength->text())));
}

void frmDKConnection::txtRecordLength_Enter() {
    cmdRedraw_Click();
}

void frmDKConnection::StepRecordLength(int step) {
    const data::FilePos current = BoxNumber(ToBytes(txtRecordLength->text()));
    txtRecordLength->setText(Number(editors::StepRecordLength(current, step)));
    cmdRedraw_Click();
}

void frmDKConnection::cmdRLUp_Click() {
    StepRecordLength(+1);
}

void frmDKConnection::cmdRLDown_Click() {
    StepRecordLength(-1);
}

void frmDKConnection::txtByteOffset_Change() {
    if (LoadingControls) return;
    Conn().SetByteOffset(BoxNumber(ToBytes(txtByteOffset->text())));
}

void frmDKConnection::txtDByteOffset_Change() {
    if (LoadingControls) return;
    Conn().SetByteOffset(BoxNumber(ToBytes(txtDByteOffset->text())));
    viewer_.RefreshView();
}

void frmDKConnection::txtDelimiter_Change() {
    if (!Readable(txtDelimiter) || LoadingControls) return;
    const std::string text = ToBytes(txtDelimiter->text());
    if (text == Conn().RecordDelimiterRepresentation()) return;
    Conn().SetRecordDelimiterRepresentation(text);
    viewer_.RefreshView();
}

void frmDKConnection::txtFieldDelimiter_Change() {
    if (!Readable(txtFieldDelimiter) || LoadingControls) return;
    const std::string text = ToBytes(txtFieldDelimiter->text());
    if (text == Conn().FieldDelimiterRepresentation()) return;
    Conn().SetFieldDelimiterRepresentation(text);
    viewer_.RefreshView();
}

void frmDKConnection::txtTextQualifier_Change() {
    if (!Readable(txtTextQualifier) || LoadingControls) return;
    const std::string text = ToBytes(txtTextQualifier->text());
    if (text != Conn().TextQualifierRepresentation()) Conn().SetTextQualifierRepresentation(text);
}

void frmDKConnection::chkFLFirstRowContainsFieldNames_Click() {
    if (LoadingControls) return;
    Conn().SetFirstRecordContainsFieldNames(chkFLFirstRowContainsFieldNames->checkState() !=
                                            Qt::Unchecked);
}

void frmDKConnection::cboDatabaseType_Click() {
    const int selected = cboDatabaseType->currentIndex();
    if (LoadingControls || selected < 0) return;
    data::Connection& c = Conn();
    if (IsFlatDatabaseType(selected)) {
        c.SetByteOffset(
            FlatByteOffset(c.FirstRecordContainsFieldNames(), c.RecordLength(), c.IsVariable()));
    }
    c.SetDatabaseTypeName(ToBytes(cboDatabaseType->itemText(selected)));
}

void frmDKConnection::cboRecordFormat_Click() {
    const int selected = cboRecordFormat->currentIndex();
    if (LoadingControls || selected < 0) return;
    // The engine divides the file again; variable records report the
    // longest record met as their length, which the box then shows.
    Conn().SetRecordFormat(RecordFormatAt(selected));
    LoadingControls = true;
    txtRecordLength->setText(Number(Conn().RecordLength()));
    ShowRecordFormat();
    LoadingControls = false;
    cmdRedraw_Click();
}

void frmDKConnection::chkDFirstRowContainsFieldNames_Click() {
    if (LoadingControls) return;
    const Qt::CheckState state = chkDFirstRowContainsFieldNames->checkState();
    if (state != Qt::Checked) {
        Conn().SetFirstRecordContainsFieldNames(state != Qt::Unchecked);
        ViewFile();
        return;
    }
    NameFieldsFromFirstRecord();
    Conn().SetFirstRecordContainsFieldNames(true);
    ViewFile();
}

void frmDKConnection::NameFieldsFromFirstRecord() {
    data::File& file = viewer_.File();
    // While the engine holds the names record out of the data, record 1 is
    // the first data record: the names come from the record that holds them.
    if (Conn().IsDelimited() && Conn().FirstRecordContainsFieldNames())
        Conn().SetFirstRecordContainsFieldNames(false);
    file.MoveTo(1);
    data::Fields& fields = file.GetFields();
    if (!Conn().AuxiliaryText().empty() || !Conn().IsDelimited()) {
        // Read every name before renaming any: a rename may make the engine
        // divide the record again.
        std::vector<std::string> names;
        for (int i = 1; i <= fields.Count(); ++i) names.push_back(file.FieldValue(i));
        for (int i = 1; i <= fields.Count() && i <= static_cast<int>(names.size()); ++i) {
            if (data::Field* field = fields.Item(i))
                field->SetName(names[static_cast<std::size_t>(i - 1)]);
        }
        return;
    }
    const std::vector<DerivedField> derived = DeriveFieldsFromSpaces(file.RecordText());
    fields.Clear();
    for (const DerivedField& field : derived) {
        fields.Add(field.name, field.length, std::string(), field.start);
    }
}

void frmDKConnection::HScroll1_Change() {
    if (QScrollBar* bar = viewer_.HScroll1()) bar->setValue(HScroll1->value());
}

void frmDKConnection::SSTab1_Click(int tab) {
    if (LoadingControls) return;
    BusyCursor busy;
    if (tab == FixedTab) {
        SwitchToFixed();
    } else {
        SwitchToDelimited();
    }
}

void frmDKConnection::SwitchToFixed() {
    data::File& file = viewer_.File();
    file.CopyConnectionTo(delimitedSnapshot_);
    delimitedFields_.CopyFrom(file.GetFields());
    if (fixedSnapshot_.IsFixed()) {
        file.CopyConnectionFrom(fixedSnapshot_);
        file.GetFields().CopyFrom(fixedFields_);
    } else {
        Conn().Reset();
        const std::string path = file.PathAndName();
        file.Open(path);
    }
    RefreshFixedProperties();
    cmdRedraw_Click();
}

void frmDKConnection::SwitchToDelimited() {
    data::File& file = viewer_.File();
    file.CopyConnectionTo(fixedSnapshot_);
    fixedFields_.CopyFrom(file.GetFields());
    if (delimitedSnapshot_.IsDelimited()) {
        file.CopyConnectionFrom(delimitedSnapshot_);
        file.GetFields().CopyFrom(delimitedFields_);
    } else {
        Conn().Reset();
        const std::string path = file.PathAndName();
        file.Open(path);
        Conn().SetIsFixed(false);
        Conn().SetIsDelimited(true);
    }
    RefreshDelimitedProperties();
    cmdRedraw_Click();
}

void frmDKConnection::cmdRedraw_Click() {
    data::File& file = viewer_.File();
    const data::Connection& c = Conn();
    if (c.IsVariable()) {
        // Counted as they are met: what is known so far, as for delimited
        // records.
        file.SetEstimatedRecordCount(std::max<data::RecordNo>(1, file.RecordCount()));
        file.SetFixedLayout(false);
    } else if (c.IsFixed()) {
        if (!file.PathAndName().empty()) {
            file.SetEstimatedRecordCount(
                EstimatedRecordCount(file.FileLength(), c.ByteOffset(), c.RecordLength()));
            file.SetFixedLayout(true);
        }
    } else {
        file.SetEstimatedRecordCount(1);
        file.SetFixedLayout(false);
    }
    ViewFile();
}

void frmDKConnection::cmdGetStringRepresentation_Click(int index) {
    const std::array<QLineEdit*, 3> boxes{txtDelimiter, txtFieldDelimiter, txtTextQualifier};
    if (index < 0 || index >= static_cast<int>(boxes.size())) return;
    QLineEdit* box = boxes[static_cast<std::size_t>(index)];
    Global::StringRepresentation = box->text();
    if (ShowComposer) ShowComposer();
    box->setText(Global::StringRepresentation);
    // The composer's closing makes this window active again, which reloads
    // every control from the engine.
    Form_Activate();
    if (Marked(box)) SayUnreadable();
}

void frmDKConnection::cmddone_Click() {
    if (SSTab1->currentIndex() == DelimitedTab && SayUnreadable()) return;
    ViewFile();
    accept();
}

}  // namespace velmor::editors
