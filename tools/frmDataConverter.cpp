#include "tools/frmDataConverter.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "app/global.h"
#include "app/userprompt.h"
#include "basic/interpreter.h"
#include "data/carriedconnection.h"
#include "data/connectionfile.h"
#include "data/converter.h"
#include "data/file.h"
#include "datatools/conversionscript.h"
#include "editors/frmStringRepresentation.h"
#include "tools/converterrules.h"
#include "tools/toolhost.h"
#include "util/utilities.h"
#include "viewer/frmFileView.h"

namespace velmor::tools {

namespace {

constexpr int kShortHeight = 2040;  // twips

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

// Sets a flag for the length of a scope and puts back what it was.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), before_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = before_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool before_;
};

QLineEdit* Box(const char* name, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setObjectName(QString::fromLatin1(name));
    return box;
}

}  // namespace

frmDataConverter::frmDataConverter(ToolHost& viewer, QWidget* parent)
    : QDialog(parent), mViewer(viewer) {
    setObjectName(QStringLiteral("frmDataConverter"));
    setWindowTitle(QStringLiteral("File Converter"));
    BuildControls();
    ConnectHandlers();
    ShowComposer = [this] {
        editors::frmStringRepresentation composer(this);
        frmFileView::ShowModal(composer);
    };
}

frmDataConverter::~frmDataConverter() = default;

int frmDataConverter::Twips(int twips) const {
    return twips * logicalDpiY() / 1440;
}

void frmDataConverter::BuildControls() {
    lblFileTypes = new QLabel(QStringLiteral("Output File Type"), this);
    cboFileTypes = new QComboBox(this);
    cboFileTypes->setObjectName(QStringLiteral("cboFileTypes"));
    lblFileExtension = new QLabel(QStringLiteral("File Extension"), this);
    txtFileExtension = Box("txtFileExtension", this);
    cmdAdvanced = new QPushButton(QStringLiteral("&More Info"), this);
    cmdAdvanced->setObjectName(QStringLiteral("cmdAdvanced"));
    cmdConvert = new QPushButton(QStringLiteral("Convert"), this);
    cmdConvert->setObjectName(QStringLiteral("cmdConvert"));
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);
    cmdCancel->setObjectName(QStringLiteral("cmdCancel"));
    cmdCancel->hide();
    prgConvert = new QProgressBar(this);
    prgConvert->setObjectName(QStringLiteral("prgConvert"));
    prgConvert->setRange(0, 100);
    prgConvert->hide();
    for (QPushButton* b : {cmdAdvanced, cmdConvert, cmdCancel}) b->setAutoDefault(false);

    auto* top = new QGridLayout;
    top->addWidget(lblFileTypes, 0, 0);
    top->addWidget(cboFileTypes, 1, 0);
    top->addWidget(lblFileExtension, 0, 1);
    top->addWidget(txtFileExtension, 1, 1);
    top->addWidget(cmdConvert, 1, 2);
    top->addWidget(cmdAdvanced, 1, 3);
    top->addWidget(prgConvert, 2, 0, 1, 3);
    top->addWidget(cmdCancel, 2, 3);

    fraDataBaseType = new QGroupBox(QStringLiteral("Database Type"), this);
    optisDelimited = new QRadioButton(QStringLiteral("Delimited"), fraDataBaseType);
    optisFixed = new QRadioButton(QStringLiteral("Fixed Length Fields"), fraDataBaseType);
    auto* typeLayout = new QHBoxLayout(fraDataBaseType);
    typeLayout->addWidget(optisDelimited);
    typeLayout->addWidget(optisFixed);

    fraDelimitedProperties = new QGroupBox(QStringLiteral("Delimited Data Properties"), this);
    chkDFirstRecordContainsFieldNames =
        new QCheckBox(QStringLiteral("First Record Contains Field Names"), fraDelimitedProperties);
    txtRecordDelimiterRepresentation = Box("txtRecordDelimiterRepresentation", fraDelimitedProperties);
    txtFieldDelimiterRepresentation = Box("txtFieldDelimiterRepresentation", fraDelimitedProperties);
    txtTextQualifierRepresentation = Box("txtTextQualifierRepresentation", fraDelimitedProperties);
    auto* delimited = new QGridLayout(fraDelimitedProperties);
    delimited->addWidget(chkDFirstRecordContainsFieldNames, 0, 0, 1, 3);
    const std::array<QLineEdit*, 3> boxes{txtRecordDelimiterRepresentation,
                                          txtFieldDelimiterRepresentation,
                                          txtTextQualifierRepresentation};
    const std::array<const char*, 3> labels{"End of Record Marker", "Field Seperator",
                                            "Text Qualifier"};
    for (int i = 0; i < 3; ++i) {
        const auto k = static_cast<std::size_t>(i);
        cmdGetStringRepresentation[k] = new QPushButton(QStringLiteral("..."), fraDelimitedProperties);
        cmdGetStringRepresentation[k]->setObjectName(QStringLiteral("cmdGetStringRepresentation"));
        cmdGetStringRepresentation[k]->setAutoDefault(false);
        delimited->addWidget(new QLabel(QString::fromLatin1(labels[k]), fraDelimitedProperties), i + 1, 0);
        delimited->addWidget(boxes[k], i + 1, 1);
        delimited->addWidget(cmdGetStringRepresentation[k], i + 1, 2);
    }

    fraFixedProperties = new QGroupBox(QStringLiteral("Fixed Data Properties"), this);
    chkFLFirstRecordContainsFieldNames =
        new QCheckBox(QStringLiteral("First Record Contains Field Names"), fraFixedProperties);
    (new QVBoxLayout(fraFixedProperties))->addWidget(chkFLFirstRecordContainsFieldNames);

    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetNoConstraint);
    layout->addLayout(top);
    layout->addWidget(fraDataBaseType);
    layout->addWidget(fraDelimitedProperties);
    layout->addWidget(fraFixedProperties);
    layout->addStretch();
    resize(560, Twips(kShortHeight));
}

void frmDataConverter::ConnectHandlers() {
    connect(cboFileTypes, &QComboBox::activated, this, [this] { cboFileTypes_Click(); });
    const std::array<QLineEdit*, 3> boxes{txtRecordDelimiterRepresentation,
                                          txtFieldDelimiterRepresentation,
                                          txtTextQualifierRepresentation};
    for (int i = 0; i < 3; ++i) {
        connect(boxes[static_cast<std::size_t>(i)], &QLineEdit::textChanged, this,
                [this, i] { txtRepresentation_Change(i); });
        connect(cmdGetStringRepresentation[static_cast<std::size_t>(i)], &QPushButton::clicked,
                this, [this, i] { cmdGetStringRepresentation_Click(i); });
    }
    connect(txtFileExtension, &QLineEdit::textChanged, this, [this] { txtFileExtension_Change(); });
    for (QCheckBox* box : {chkDFirstRecordContainsFieldNames, chkFLFirstRecordContainsFieldNames}) {
        connect(box, &QCheckBox::toggled, this,
                [this, box] { chkFirstRecordContainsFieldNames_Click(box); });
    }
    connect(optisFixed, &QRadioButton::toggled, this, [this](bool on) {
        if (on) optisFixed_Click();
    });
    connect(optisDelimited, &QRadioButton::toggled, this, [this](bool on) {
        if (on) optisDelimited_Click();
    });
    connect(cmdAdvanced, &QPushButton::clicked, this, [this] { cmdAdvanced_Click(); });
    connect(cmdConvert, &QPushButton::clicked, this, [this] { cmdConvert_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

QString frmDataConverter::ScriptPathAndName() const {
    return Q(datatools::ConversionNames::Of(mViewer.File().PathAndName()).Script());
}

void frmDataConverter::Form_Load() {
    mConverter = std::make_shared<data::Converter>();
    mproc = std::make_unique<basic::Interpreter>();
    mKeepSettings = false;
    FillFileTypes();
    ShowShort(true);
    Form_Activate();
}

void frmDataConverter::changeEvent(QEvent* event) {
    QDialog::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && mConverter &&
        !mConverting) {
        Form_Activate();
    }
}

void frmDataConverter::Form_Activate() {
    mError = false;
    if (!mKeepSettings) RestoreSavedSettings();
}

void frmDataConverter::FillFileTypes() {
    cboFileTypes->clear();
    for (std::size_t i = 0; i < Global::AllFileTypes.size(); ++i) {
        const ConnectionProfile& p = Global::AllFileTypes[i];
        if (p.Name == QLatin1String("All Files")) continue;
        cboFileTypes->addItem(p.Name, static_cast<int>(i));
    }
}

void frmDataConverter::ShowShort(bool shortWindow) {
    mShowingSettings = !shortWindow;
    for (QWidget* w : {static_cast<QWidget*>(fraDataBaseType), static_cast<QWidget*>(fraDelimitedProperties),
                       static_cast<QWidget*>(fraFixedProperties)}) {
        w->setVisible(!shortWindow && (w != fraDelimitedProperties || !optisFixed->isChecked()) &&
                      (w != fraFixedProperties || optisFixed->isChecked()));
    }
    cmdAdvanced->setText(shortWindow ? QStringLiteral("&More Info") : QStringLiteral("&Less Info"));
    if (shortWindow) {
        resize(width(), Twips(kShortHeight));
        return;
    }
    // The settings take the room their controls need, no more: a fixed tall
    // height left the window half empty and ran off a 1024 by 768 screen.
    layout()->activate();
    resize(width(), std::max(layout()->sizeHint().height(), Twips(kShortHeight)));
}

void frmDataConverter::RestoreSavedSettings() {
    FlagScope loading(mLoading);
    mproc->Reset();
    const QString script = ScriptPathAndName();
    if (!util::FileExists(script.toStdString())) {
        Global::SetListIndex(cboFileTypes, cboFileTypes->count() > 0 ? 0 : -1);
        cboFileTypes_Click();
        return;
    }
    mproc->BeforeLineExecutes = [this](std::string& line) {
        if (!datatools::IsConversionLine(line)) return;
        line = "'" + line;
        FlagScope sync(mSync);
        txtFileExtension->setText(Q(datatools::TargetExtensionOf(line)));
    };
    mproc->AfterLineExecutes = [this](const std::string& line, const basic::Variables& variables) {
        const std::string name = datatools::CreatedConverterVariable(line);
        if (name.empty()) return;
        const int index = variables.IndexOf(name);
        if (index == 0) {
            Prompt().Message(QStringLiteral("Variable Does Not Exist: ") + Q(name));
            return;
        }
        if (auto converter = variables.Item(index).Value().AsConverter()) mConverter = converter;
    };
    mproc->Error = [this](const std::string& description, int& lineNumber, bool& cancel) {
        Prompt().Message(Q(description), QStringLiteral("Line Number: %1").arg(lineNumber),
                         UserPrompt::Buttons::Ok, UserPrompt::Icon::Critical);
        mError = true;
        cancel = true;
    };
    // Restoring settings must never touch a file: the conversion line is a
    // comment, and any other file access in the script is refused.
    mproc->SetFileAccess(false);
    if (mproc->LoadFile(script.toStdString())) mproc->Run("Main");
    if (!mError) {
        ShowSettings();
        MatchFileTypes();
    }
}

void frmDataConverter::ShowSettings() {
    {
        FlagScope sync(mSync);
        if (mConverter->IsFixed()) optisFixed->setChecked(true);
        if (mConverter->IsDelimited()) optisDelimited->setChecked(true);
        txtRecordDelimiterRepresentation->setText(Q(mConverter->RecordDelimiterRepresentation()));
        txtFieldDelimiterRepresentation->setText(Q(mConverter->FieldDelimiterRepresentation()));
        txtTextQualifierRepresentation->setText(Q(mConverter->TextQualifierRepresentation()));
        chkDFirstRecordContainsFieldNames->setChecked(mConverter->FirstRecordContainsFieldNames());
        chkFLFirstRecordContainsFieldNames->setChecked(mConverter->FirstRecordContainsFieldNames());
    }
    if (txtFileExtension->text().toUpper() == QLatin1String("DBF")) {
        cmdAdvanced->hide();
        ShowShort(true);
    } else {
        cmdAdvanced->show();
    }
}

bool frmDataConverter::MatchFileTypes() {
    const int profile = MatchingProfile(Global::AllFileTypes, *mConverter, txtFileExtension->text());
    const int entry = profile < 0 ? -1 : cboFileTypes->findData(profile);
    Global::SetListIndex(cboFileTypes, entry);
    // "All Files" has no entry in the list: nothing to convert to.
    cmdConvert->setVisible(entry >= 0);
    cmdConvert->setEnabled(entry >= 0);
    return entry >= 0;
}

void frmDataConverter::cboFileTypes_Click() {
    const int entry = cboFileTypes->currentIndex();
    if (entry < 0) return;
    const auto profile = static_cast<std::size_t>(cboFileTypes->itemData(entry).toInt());
    if (profile >= Global::AllFileTypes.size()) return;
    const ConnectionProfile& p = Global::AllFileTypes[profile];
    {
        FlagScope sync(mSync);
        txtFileExtension->setText(ProposedExtension(p.Extensions));
        ApplyProfile(p, *mConverter);
        ShowSettings();
    }
    cmdConvert->setVisible(true);
    cmdConvert->setEnabled(true);
}

void frmDataConverter::txtRepresentation_Change(int index) {
    if (mSync) return;
    const std::array<QLineEdit*, 3> boxes{txtRecordDelimiterRepresentation,
                                          txtFieldDelimiterRepresentation,
                                          txtTextQualifierRepresentation};
    const std::string text = boxes[static_cast<std::size_t>(index)]->text().toStdString();
    if (index == 0) mConverter->SetRecordDelimiterRepresentation(text);
    if (index == 1) mConverter->SetFieldDelimiterRepresentation(text);
    if (index == 2) mConverter->SetTextQualifierRepresentation(text);
    MatchFileTypes();
}

void frmDataConverter::txtFileExtension_Change() {
    if (!mSync) MatchFileTypes();
}

void frmDataConverter::chkFirstRecordContainsFieldNames_Click(QCheckBox* box) {
    if (mSync) return;
    mConverter->SetFirstRecordContainsFieldNames(box->isChecked());
    ShowHeaderSetting();
    MatchFileTypes();
}

void frmDataConverter::optisFixed_Click() {
    mConverter->SetIsFixed(true);
    mConverter->SetIsDelimited(false);
    fraFixedProperties->setVisible(mShowingSettings);
    fraDelimitedProperties->hide();
    // Only the user's choice clears the tick: settings being shown keep
    // their own FirstRecordContainsFieldNames.
    if (!mSync) mConverter->SetFirstRecordContainsFieldNames(false);
    ShowHeaderSetting();
}

void frmDataConverter::optisDelimited_Click() {
    mConverter->SetIsFixed(false);
    mConverter->SetIsDelimited(true);
    fraDelimitedProperties->setVisible(mShowingSettings);
    fraFixedProperties->hide();
    ShowHeaderSetting();
}

void frmDataConverter::ShowHeaderSetting() {
    FlagScope sync(mSync);
    // Both frames show the converter's one setting, so a frame hidden a
    // moment ago never holds a tick the conversion would not honour.
    chkDFirstRecordContainsFieldNames->setChecked(mConverter->FirstRecordContainsFieldNames());
    chkFLFirstRecordContainsFieldNames->setChecked(mConverter->FirstRecordContainsFieldNames());
}

void frmDataConverter::cmdGetStringRepresentation_Click(int index) {
    if (index < 0 || index > 2) return;
    mKeepSettings = true;
    const std::array<QLineEdit*, 3> boxes{txtRecordDelimiterRepresentation,
                                          txtFieldDelimiterRepresentation,
                                          txtTextQualifierRepresentation};
    QLineEdit* box = boxes[static_cast<std::size_t>(index)];
    Global::StringRepresentation = box->text();
    if (ShowComposer) ShowComposer();
    box->setText(Global::StringRepresentation);
}

void frmDataConverter::cmdAdvanced_Click() {
    ShowShort(mShowingSettings);
}

void frmDataConverter::ShowFailure(const std::string& description) {
    Prompt().Message(Q(description), {}, UserPrompt::Buttons::Ok, UserPrompt::Icon::Critical);
}

void frmDataConverter::cmdConvert_Click() {
    cmdConvert->setEnabled(false);
    if (cboFileTypes->currentIndex() < 0 || mConverting) return;
    mError = false;
    mCancelConvert = false;
    data::File& file = mViewer.File();
    datatools::ConversionNames names = datatools::ConversionNames::Of(file.PathAndName());
    names.targetExtension = txtFileExtension->text().toStdString();
    const std::string target = names.Target();
    const std::string source = file.ConversionSource();
    std::string carried, refused;
    if (!datatools::CanWriteConversionScripts(names, refused)) {
        ShowFailure(refused);
        cmdConvert->setEnabled(true);
        return;
    }
    if (!SaveLayoutShown(source, carried)) {
        cmdConvert->setEnabled(true);
        return;
    }
    mConverter->SetSourceConnection(carried);
    mConverter->OnError = [this](const std::string& description, bool& cancel) {
        if (!mCancelConvert) ShowFailure(description);
        mError = true;
        cancel = true;
    };
    mConverter->OnProgress = [this](std::int64_t done, std::int64_t total) {
        prgConvert->setValue(total > 0 ? static_cast<int>(done * 100 / total) : 0);
        QCoreApplication::processEvents();
        return !mCancelConvert;
    };
    mConverting = true;
    prgConvert->setValue(0);
    prgConvert->show();
    cmdCancel->show();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    const bool converted = mConverter->Convert(source, target);
    QApplication::restoreOverrideCursor();
    mConverter->OnProgress = nullptr;
    prgConvert->hide();
    cmdCancel->hide();
    mConverting = false;
    if (converted && !mError && WriteScript()) mViewer.AddFile(Q(target));
    mViewer.RefreshView();
    cmdConvert->setEnabled(true);
}

bool frmDataConverter::SaveLayoutShown(const std::string& source, std::string& carried) {
    // The converter and the script read the source afresh, through what is
    // saved: compare that with the layout the viewer shows.
    data::File& shown = mViewer.File();
    data::File fresh;
    fresh.OnError = [](const std::string&, bool& cancel) { cancel = true; };
    carried.clear();
    if (!fresh.Open(source) || !fresh.Connected()) return true;
    carried = data::CarriedConnection(fresh);
    if (data::FormatConnectionFile(shown.GetConnection(), shown.GetFields(), false) ==
        data::FormatConnectionFile(fresh.GetConnection(), fresh.GetFields(), false)) {
        return true;
    }
    const auto answer = Prompt().Message(
        QStringLiteral("The layout shown has not been saved. Would you like to save it, so that "
                       "the conversion and its script use it? (No converts with the saved "
                       "layout.)"),
        QStringLiteral("Save Changes?"), UserPrompt::Buttons::YesNoCancel,
        UserPrompt::Icon::Question);
    if (answer == UserPrompt::Answer::Cancel) return false;
    if (answer == UserPrompt::Answer::No) return true;
    if (!shown.SaveConnection({}, false)) return false;
    carried = data::CarriedConnection(shown);
    return true;
}

void frmDataConverter::cmdCancel_Click() {
    mCancelConvert = true;
}

bool frmDataConverter::WriteScript() {
    if (mLoading) return true;
    datatools::ConversionNames names = datatools::ConversionNames::Of(mViewer.File().PathAndName());
    names.targetExtension = txtFileExtension->text().toStdString();
    datatools::ConversionSettings settings;
    // The settings the conversion just used, so the script repeats it.
    settings.isFixed = mConverter->IsFixed();
    settings.firstRecordContainsFieldNames = mConverter->FirstRecordContainsFieldNames();
    settings.recordDelimiterRepresentation = mConverter->RecordDelimiterRepresentation();
    settings.fieldDelimiterRepresentation = mConverter->FieldDelimiterRepresentation();
    settings.textQualifierRepresentation = mConverter->TextQualifierRepresentation();
    settings.sourceConnection = mConverter->SourceConnection();
    std::string error;
    if (!datatools::WriteConversionScripts(names, settings, error)) {
        Prompt().Message(Q(error));
        return false;
    }
    return true;
}

}  // namespace velmor::tools
