// The data converter window: the first file type without a script, a
// conversion that writes the golden scripts and opens the target, a second
// conversion, settings restored from the script without converting, the
// matching of settings against file types, the DBF window, and a cancelled
// conversion that leaves nothing behind.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QApplication>
#include <QGroupBox>
#include <QtTest>

#include "app/global.h"
#include "app/userprompt.h"
#include "components/data/engine_testfiles.h"
#include "data/converter.h"
#include "tools/frmDataConverter.h"
#include "tools_testhost.h"

using namespace velmor;

namespace {

QByteArray Golden(const char* name) {
    return enginetest::ReadBytes(QStringLiteral(VELMOR_TEST_DATA "/tools/") + name);
}

}  // namespace

class ToolsConverterTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void convertAndRestore();
    void matching_data();
    void matching();
    void cancelledConversion();
    void expandedWindowFitsItsControls();
    void brokenScript();
    void composerKeepsSettings();
    void commandLineWritesTheSameScripts();

private:
    ScriptedUserPrompt prompt_;
    QTemporaryDir program_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    QString data_;
    std::unique_ptr<ToolsTestHost> host_;
};

void ToolsConverterTest::initTestCase() {
    Global::SetProgramFolder(program_.path());  // no profile file: the built-in types
    Global::LoadConnectionProfiles();
    Global::StoreConnectionAndIndexingFilesInDataPath = true;
    Global::HandSettingsToEngine();
}

void ToolsConverterTest::init() {
    SetPrompt(&prompt_);
    prompt_.Clear();
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir(dir_->path()).mkdir("Sales"));
    folder_ = dir_->filePath("Sales/");
    data_ = folder_ + "orders.dat";
    QVERIFY(enginetest::WriteBytes(data_, "ID,NAME\r\n1,\"Smith, J\"\r\n2,Lee\r\n"));
    host_ = std::make_unique<ToolsTestHost>();
    QVERIFY(host_->OpenCsv(data_));
    QVERIFY(host_->file.SaveConnection({}, false));  // as the viewer does before opening
}

void ToolsConverterTest::cleanup() {
    host_.reset();
    SetPrompt(nullptr);
}

void ToolsConverterTest::convertAndRestore() {
    {
        tools::frmDataConverter window(*host_);
        QCOMPARE(window.windowTitle(), QString("File Converter"));
        window.Form_Load();
        // No script yet: the first type of the list, "CSV".
        QCOMPARE(window.cboFileTypes->currentText(), QString("CSV"));
        QCOMPARE(window.cboFileTypes->findText("All Files"), -1);
        QCOMPARE(window.txtFileExtension->text(), QString("csv"));
        QVERIFY(!window.cmdConvert->isHidden());
        QVERIFY(!window.ShowingSettings());
        window.cmdConvert_Click();
        QVERIFY2(prompt_.Questions().empty(), qPrintable(prompt_.Questions().empty() ? "" : prompt_.Questions().front().text));
        QCOMPARE(host_->added, QStringList{folder_ + "ordersCf.csv"});
        QVERIFY(enginetest::ReadBytes(folder_ + "ordersCf.csv").contains("\"Smith, J\""));
        QCOMPARE(enginetest::ReadBytes(folder_ + "ordersC.VelmorBasic"),
                 Golden("ordersC.delimited.VelmorBasic"));
        window.cmdConvert_Click();
        QCOMPARE(enginetest::ReadBytes(folder_ + "Sales.VelmorBasic"), Golden("Sales.VelmorBasic"));
    }
    // Reopened: the script's settings, without a conversion.
    QVERIFY(QFile::remove(folder_ + "ordersCf.csv"));
    QVERIFY(enginetest::WriteBytes(
        folder_ + "ordersC.VelmorBasic",
        QByteArray(Golden("ordersC.delimited.VelmorBasic"))
            .replace("CHR$(44)", "CHR$(9)")
            .replace("ordersCf.csv", "ordersCf.tab")));
    tools::frmDataConverter window(*host_);
    window.Form_Load();
    QVERIFY(!QFile::exists(folder_ + "ordersCf.tab"));
    QVERIFY(!QFile::exists(folder_ + "ordersCf.csv"));
    QCOMPARE(window.txtFileExtension->text(), QString("tab"));
    QCOMPARE(window.txtFieldDelimiterRepresentation->text(), QString("CHR$(9)"));
    QVERIFY(window.optisDelimited->isChecked());
    QVERIFY(window.chkDFirstRecordContainsFieldNames->isChecked());
    QCOMPARE(window.cboFileTypes->currentText(), QString("Tab Delimited"));
    QVERIFY(!window.cmdConvert->isHidden());
    QVERIFY(prompt_.Questions().empty());
}

void ToolsConverterTest::matching_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("selected");  // "" = no selection, Convert hidden
    QTest::newRow("unknown separator") << "field:CHR$(59)" << "";
    QTest::newRow("separator of another type") << "field:chr$(9)" << "";
    QTest::newRow("other extension") << "extension:txt" << "";
    QTest::newRow("extension in other letters") << "extension:CSV" << "CSV";
    QTest::newRow("no names in the first record") << "names:off" << "";
}

void ToolsConverterTest::matching() {
    QFETCH(QString, change);
    QFETCH(QString, selected);
    tools::frmDataConverter window(*host_);
    window.Form_Load();
    const QString what = change.section(':', 0, 0);
    const QString value = change.section(':', 1);
    if (what == "field") window.txtFieldDelimiterRepresentation->setText(value);
    if (what == "extension") window.txtFileExtension->setText(value);
    if (what == "names") window.chkDFirstRecordContainsFieldNames->setChecked(false);
    QCOMPARE(window.cboFileTypes->currentText(), selected);
    QCOMPARE(window.cmdConvert->isHidden(), selected.isEmpty());
}

void ToolsConverterTest::expandedWindowFitsItsControls() {
    tools::frmDataConverter window(*host_);
    window.Form_Load();
    window.show();
    window.cmdAdvanced_Click();
    QVERIFY(window.ShowingSettings());
    QApplication::processEvents();
    // Neither half empty nor taller than a 1024 by 768 screen leaves room for.
    const QWidget* last = window.fraDelimitedProperties->isVisible()
                              ? static_cast<QWidget*>(window.fraDelimitedProperties)
                              : static_cast<QWidget*>(window.fraFixedProperties);
    QVERIFY2(window.height() - last->geometry().bottom() < 40, qPrintable(QString::number(window.height())));
    QVERIFY(window.height() <= 640);
    QVERIFY(window.height() >= window.minimumSizeHint().height());
}

void ToolsConverterTest::cancelledConversion() {
    tools::frmDataConverter window(*host_);
    window.Form_Load();
    // DBF in any case: the short window without "&More Info".
    window.cmdAdvanced_Click();
    QVERIFY(window.ShowingSettings());
    window.cboFileTypes->setCurrentIndex(window.cboFileTypes->findText("DBase III"));
    window.cboFileTypes_Click();
    QVERIFY(window.cmdAdvanced->isHidden());
    QVERIFY(!window.ShowingSettings());
    // Choosing fixed fields clears the fixed frame's tick.
    window.chkFLFirstRecordContainsFieldNames->setChecked(true);
    window.optisDelimited->setChecked(true);
    window.optisFixed->setChecked(true);
    QVERIFY(!window.chkFLFirstRecordContainsFieldNames->isChecked());
    QVERIFY(!window.Converter().FirstRecordContainsFieldNames());

    window.cboFileTypes->setCurrentIndex(window.cboFileTypes->findText("CSV"));
    window.cboFileTypes_Click();
    QTimer::singleShot(0, window.cmdCancel, &QPushButton::click);
    window.cmdConvert_Click();
    QVERIFY(!QFile::exists(folder_ + "ordersCf.csv"));
    QVERIFY(!QFile::exists(folder_ + "ordersC.VelmorBasic"));
    QVERIFY(!QFile::exists(folder_ + "Sales.VelmorBasic"));
    QVERIFY(host_->added.isEmpty());
    QVERIFY(window.cmdConvert->isEnabled());
}

void ToolsConverterTest::brokenScript() {
    QVERIFY(enginetest::WriteBytes(folder_ + "ordersC.VelmorBasic",
                                   "Sub Main()\r\n  Dim v\r\n  v.Nothing = 1\r\nEnd Sub\r\n"));
    tools::frmDataConverter window(*host_);
    window.Form_Load();
    QCOMPARE(prompt_.Questions().size(), 1u);
    QCOMPARE(prompt_.Questions().front().title, QString("Line Number: 3"));
    QCOMPARE(prompt_.Questions().front().icon, UserPrompt::Icon::Critical);
    QCOMPARE(window.txtFieldDelimiterRepresentation->text(), QString());
}

void ToolsConverterTest::composerKeepsSettings() {
    tools::frmDataConverter window(*host_);
    window.ShowComposer = [] { Global::StringRepresentation = "CHR$(59)"; };
    window.Form_Load();
    window.cmdGetStringRepresentation_Click(1);
    QCOMPARE(window.txtFieldDelimiterRepresentation->text(), QString("CHR$(59)"));
    QCOMPARE(window.Converter().FieldDelimiterRepresentation(), std::string("CHR$(59)"));
    window.Form_Activate();  // the composer's closing: the settings stay
    QCOMPARE(window.txtFieldDelimiterRepresentation->text(), QString("CHR$(59)"));
    QVERIFY(window.cmdConvert->isHidden());
}

void ToolsConverterTest::commandLineWritesTheSameScripts() {
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath("velmor-data");
    // Names relative to the data's folder: the folder script still takes
    // the folder's own name.
    auto run = [&](const QString& target) {
        QProcess cli;
        cli.setWorkingDirectory(folder_);
        cli.start(program, {"convert", "orders.dat", target, "--delimited", "--header", "--script"});
        return cli.waitForFinished(30000) ? cli.exitCode() : -1;
    };
    QCOMPARE(run("elsewhere.csv"), 2);  // not the name the script converts to
    QVERIFY(!QFile::exists(folder_ + "ordersC.VelmorBasic"));
    QCOMPARE(run("ordersCf.csv"), 0);
    QCOMPARE(run(folder_ + "ordersCf.csv"), 0);
    QVERIFY(QFile::exists(folder_ + "ordersCf.csv"));
    QCOMPARE(enginetest::ReadBytes(folder_ + "ordersC.VelmorBasic"),
             Golden("ordersC.delimited.VelmorBasic"));
    QCOMPARE(enginetest::ReadBytes(folder_ + "Sales.VelmorBasic"), Golden("Sales.VelmorBasic"));
}

QTEST_MAIN(ToolsConverterTest)
#include "tst_tools_converter.moc"
