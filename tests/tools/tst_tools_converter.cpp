// The data converter window: a conversion that writes the golden scripts,
// settings restored from the script without converting, matching settings
// against file types, a cancelled conversion, and scripts that repeat it.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDirIterator>
#include <QGroupBox>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTimer>
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

// Every file below Folder, so a re-run shows what it added.
QStringList Files(const QString& folder) {
    QStringList files;
    QDirIterator it(folder, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) files << QDir(folder).relativeFilePath(it.next());
    files.sort();
    return files;
}

int RunBasic(const QString& workingFolder, const QString& script, QByteArray* errors = nullptr) {
    QProcess basic;
    basic.setWorkingDirectory(workingFolder);
    basic.start(QDir(QCoreApplication::applicationDirPath()).filePath("velmor-basic"), {script});
    if (!basic.waitForFinished(30000)) return -1;
    if (errors) *errors = basic.readAllStandardError();
    return basic.exitStatus() == QProcess::NormalExit ? basic.exitCode() : -1;
}

}  // namespace

class ToolsConverterTest : public QObject {
    Q_OBJECT

private slots:
    void initTestCase() {
        Global::SetProgramFolder(program_.path());  // no profile file: the built-in types
        Global::LoadConnectionProfiles();
        Global::StoreConnectionAndIndexingFilesInDataPath = true;
        Global::HandSettingsToEngine();
    }

    void init() {
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

    void cleanup() {
        host_.reset();
        SetPrompt(nullptr);
    }

    void convertAndRestore() {
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
            // A folder script the user protected is refused before converting.
            QVERIFY(enginetest::WriteBytes(folder_ + "Sales.VelmorBasic", "protected"));
            QVERIFY(QFile(folder_ + "Sales.VelmorBasic").setPermissions(QFileDevice::ReadOwner));
            window.cmdConvert_Click();
            QCOMPARE(prompt_.Questions().size(), 1u);
            QVERIFY(prompt_.Questions().front().text.contains("read-only"));
            QVERIFY(!QFile::exists(folder_ + "ordersCf.csv"));
            QVERIFY(QFile::remove(folder_ + "Sales.VelmorBasic"));
            prompt_.Clear();
            window.cmdConvert_Click();
            QVERIFY2(
                prompt_.Questions().empty(),
                qPrintable(prompt_.Questions().empty() ? "" : prompt_.Questions().front().text));
            QCOMPARE(host_->added, QStringList{folder_ + "ordersCf.csv"});
            QVERIFY(enginetest::ReadBytes(folder_ + "ordersCf.csv").contains("\"Smith, J\""));
            QCOMPARE(enginetest::ReadBytes(folder_ + "ordersC.VelmorBasic"),
                     Golden("ordersC.carried.VelmorBasic"));
            window.cmdConvert_Click();
            QCOMPARE(enginetest::ReadBytes(folder_ + "Sales.VelmorBasic"),
                     Golden("Sales.VelmorBasic"));
        }
        // Reopened: the script's settings, without a conversion (the layout it
        // carries is set without touching a file).
        QVERIFY(QFile::remove(folder_ + "ordersCf.csv"));
        QVERIFY(enginetest::WriteBytes(folder_ + "ordersC.VelmorBasic",
                                       QByteArray(Golden("ordersC.carried.VelmorBasic"))
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

    // Settings of no file type (an unknown separator, one of another type's
    // in other letters, another extension, no names row) choose none and
    // hide Convert; the extension matches in any letters.
    void matching() {
        const std::pair<const char*, const char*> rows[] = {{"field:CHR$(59)", ""},
                                                            {"field:chr$(9)", ""},
                                                            {"extension:txt", ""},
                                                            {"extension:CSV", "CSV"},
                                                            {"names:off", ""}};
        for (const auto& [change, selected] : rows) {
            tools::frmDataConverter window(*host_);
            window.Form_Load();
            const QString what = QString(change).section(':', 0, 0);
            const QString value = QString(change).section(':', 1);
            if (what == "field") window.txtFieldDelimiterRepresentation->setText(value);
            if (what == "extension") window.txtFileExtension->setText(value);
            if (what == "names") window.chkDFirstRecordContainsFieldNames->setChecked(false);
            QCOMPARE(window.cboFileTypes->currentText(), QString(selected));
            QCOMPARE(window.cmdConvert->isHidden(), !*selected);
        }
    }

    void expandedWindowFitsItsControls() {
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
        QVERIFY2(window.height() - last->geometry().bottom() < 40,
                 qPrintable(QString::number(window.height())));
        QVERIFY(window.height() <= 640);
        QVERIFY(window.height() >= window.minimumSizeHint().height());
    }

    void cancelledConversion() {
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

    void brokenScript() {
        QVERIFY(enginetest::WriteBytes(folder_ + "ordersC.VelmorBasic",
                                       "Sub Main()\r\n  Dim v\r\n  v.Nothing = 1\r\nEnd Sub\r\n"));
        tools::frmDataConverter window(*host_);
        window.Form_Load();
        QCOMPARE(prompt_.Questions().size(), 1u);
        QCOMPARE(prompt_.Questions().front().title, QString("Line Number: 3"));
        QCOMPARE(prompt_.Questions().front().icon, UserPrompt::Icon::Critical);
        QCOMPARE(window.txtFieldDelimiterRepresentation->text(), QString());
    }

    void composerKeepsSettings() {
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

    void commandLineWritesTheSameScripts() {
        const QString program =
            QDir(QCoreApplication::applicationDirPath()).filePath("velmor-data");
        // Names relative to the data's folder: the folder script still takes
        // the folder's own name.
        auto run = [&](const QString& target) {
            QProcess cli;
            cli.setWorkingDirectory(folder_);
            cli.start(program,
                      {"convert", "orders.dat", target, "--delimited", "--header", "--script"});
            return cli.waitForFinished(30000) ? cli.exitCode() : -1;
        };
        QCOMPARE(run("elsewhere.csv"), 2);  // not the name the script converts to
        QVERIFY(!QFile::exists(folder_ + "ordersC.VelmorBasic"));
        QCOMPARE(run(folder_ + "ordersCf.csv"), 0);
        QVERIFY(QFile::exists(folder_ + "ordersCf.csv"));
        QCOMPARE(enginetest::ReadBytes(folder_ + "ordersC.VelmorBasic"),
                 Golden("ordersC.carried.VelmorBasic"));
        QCOMPARE(enginetest::ReadBytes(folder_ + "Sales.VelmorBasic"), Golden("Sales.VelmorBasic"));
    }

    // The window converts; its script, run later from elsewhere, writes the same
    // bytes and leaves the same files, for every way a source gets its layout.
    void scriptRepeatsTheWindow_data() {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>(
            "beside");  // connection files beside the data, else the user's folder
        for (const char* kind : {"fixed", "delimited", "dbase", "profile"}) {
            QTest::newRow(qPrintable(QString(kind) + " beside")) << QString(kind) << true;
            QTest::newRow(qPrintable(QString(kind) + " in the user's folder"))
                << QString(kind) << false;
        }
    }

    void scriptRepeatsTheWindow() {
        QFETCH(QString, kind);
        QFETCH(bool, beside);
        const QString xdg = dir_->filePath("xdg"), config = dir_->filePath("config");
        QVERIFY(QDir().mkpath(xdg) && QDir().mkpath(config));
        qputenv("XDG_DATA_HOME", xdg.toLocal8Bit());
        qputenv("XDG_CACHE_HOME", xdg.toLocal8Bit());
        qputenv("VELMOR_CONFIG", config.toLocal8Bit());  // no profile file: the built-ins
        Global::StoreConnectionAndIndexingFilesInDataPath = beside;
        Global::HandSettingsToEngine();
        host_ = std::make_unique<ToolsTestHost>();
        data::File& file = host_->file;
        file.SetStoreConnectionAndIndexingFilesInDataPath(beside ? "True" : "False");
        QString title;
        if (kind == "fixed") {
            title = "acct.txt";
            QVERIFY(enginetest::WriteBytes(folder_ + title,
                                           "AAAA111111BBBB222222CCCC333333DDDD444444"));
            QVERIFY(host_->OpenFixed(folder_ + title, 10, {{"F1", 4}, {"F2", 6}}));
            QVERIFY(file.SaveConnection({}, false));
        } else if (kind == "delimited") {
            title = "people.txt";
            QVERIFY(enginetest::WriteBytes(folder_ + title, "1;Smith\r\n2;Lee\r\n"));
            QVERIFY(host_->OpenCsv(folder_ + title));
            file.GetConnection().SetFieldDelimiterRepresentation("CHR$(59)");
            file.GetConnection().SetFirstRecordContainsFieldNames(false);
            file.GetFields().Clear();
            file.GetFields().Add("ID", 1);  // names the data does not hold
            file.GetFields().Add("NAME", 5);
            file.Refresh();
            QVERIFY(file.SaveConnection({}, false));
        } else if (kind == "dbase") {
            title = "people.dbf";
            QVERIFY(enginetest::WriteBytes(
                folder_ + title,
                enginetest::DbaseTable({{"ID", 3}, {"NAME", 8}}, {{"1", "Smith"}, {"2", "Lee"}})));
            QVERIFY(file.Open((folder_ + title).toStdString()));
            file.GetFields().Clear();  // not the table's own layout
            file.GetFields().Add("NAME", 8, {}, 5);
            file.Refresh();
            QVERIFY(file.SaveConnection({}, false));
        } else {
            title = "codes.dat";  // the built-in "Flat Files" type reads it, not detection
            QVERIFY(enginetest::WriteBytes(folder_ + title, "A1,xx\r\nB2,yy\r\n"));
            QVERIFY(file.Open((folder_ + title).toStdString()));
            QVERIFY(!file.GetConnection().IsDelimited());
        }
        const QString stem = QFileInfo(title).completeBaseName();
        const QString target = folder_ + stem + "Cf.csv";
        {
            tools::frmDataConverter window(*host_);
            window.Form_Load();
            window.cmdConvert_Click();
        }
        QVERIFY(prompt_.Questions().empty());
        const QByteArray converted = enginetest::ReadBytes(target);
        if (kind == "fixed")
            QCOMPARE(converted,
                     QByteArray(
                         "F1,F2\r\nAAAA,111111\r\nBBBB,222222\r\nCCCC,333333\r\nDDDD,444444\r\n"));
        if (kind == "delimited") QCOMPARE(converted, QByteArray("ID,NAME\r\n1,Smith\r\n2,Lee\r\n"));
        if (kind == "dbase") QCOMPARE(converted, QByteArray("NAME\r\nSmith\r\nLee\r\n"));
        QVERIFY(!converted.isEmpty());
        host_.reset();  // the viewer is closed when the script runs
        const QString script = stem + "C.VelmorBasic";
        const QStringList written = Files(dir_->path()), dataFolder = Files(folder_);
        QVERIFY(QFile::remove(target));
        QByteArray errors;
        QCOMPARE(RunBasic("/", folder_ + script, &errors), 0);
        QVERIFY2(errors.isEmpty(), errors.constData());
        QCOMPARE(enginetest::ReadBytes(target), converted);
        QCOMPARE(Files(dir_->path()), written);
        // The folder moved elsewhere, the script run from another folder by a
        // relative path: the layout travels in the script, not in a side file
        // kept under the old path, and nothing new appears beside the data.
        QVERIFY(QDir(dir_->path()).mkpath("elsewhere"));
        QVERIFY(QDir(dir_->path()).rename("Sales", "elsewhere/Sales"));
        const QString moved = dir_->filePath("elsewhere/Sales/");
        QVERIFY(QFile::remove(moved + stem + "Cf.csv"));
        QCOMPARE(RunBasic(dir_->path(), "elsewhere/Sales/" + script, &errors), 0);
        QVERIFY2(errors.isEmpty(), errors.constData());
        QCOMPARE(enginetest::ReadBytes(moved + stem + "Cf.csv"), converted);
        QCOMPARE(Files(moved), dataFolder);
        // A connection saved beside the moved data afterwards does not change
        // what the saved script writes: it repeats the conversion it recorded.
        data::File later;
        later.SetStoreConnectionAndIndexingFilesInDataPath("True");
        QVERIFY(later.Open((moved + title).toStdString()));
        later.GetFields().Clear();
        later.GetFields().Add("X", 2, {}, 1);
        later.Refresh();
        QVERIFY(later.SaveConnection({}, false));
        later.CloseFile();
        QCOMPARE(RunBasic("/", moved + script, &errors), 0);
        QCOMPARE(enginetest::ReadBytes(moved + stem + "Cf.csv"), converted);
    }

    void convertsTheLayoutShown_data() {
        QTest::addColumn<bool>("save");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("saved first") << true << QByteArray("F1,F2\r\nAA,111111\r\nBB,222222\r\n");
        QTest::newRow("the saved one")
            << false << QByteArray("F1,F2\r\nAAAA,111111\r\nBBBB,222222\r\n");
    }

    // The layout changed in the field editor after the converter opened.
    void convertsTheLayoutShown() {
        QFETCH(bool, save);
        QFETCH(QByteArray, expected);
        data::File& file = host_->file;
        const QString data = folder_ + "acct.txt";
        QVERIFY(enginetest::WriteBytes(data, "AAAA111111BBBB222222"));
        QVERIFY(host_->OpenFixed(data, 10, {{"F1", 4}, {"F2", 6}}));
        QVERIFY(file.SaveConnection({}, false));
        tools::frmDataConverter window(*host_);
        window.Form_Load();
        file.GetFields().Item(1)->SetLength(2);
        file.Refresh();
        prompt_.QueueAnswer(save ? UserPrompt::Answer::Yes : UserPrompt::Answer::No);
        window.cmdConvert_Click();
        QCOMPARE(prompt_.Questions().size(), 1u);
        QVERIFY(prompt_.Questions().front().text.contains("saved"));
        QCOMPARE(enginetest::ReadBytes(folder_ + "acctCf.csv"), expected);
        QVERIFY(QFile::remove(folder_ + "acctCf.csv"));
        QCOMPARE(RunBasic("/", folder_ + "acctC.VelmorBasic"), 0);
        QCOMPARE(enginetest::ReadBytes(folder_ + "acctCf.csv"), expected);
    }

    // The two tick boxes, the converter and the script hold one header setting.
    void headerNeverDrifts() {
        tools::frmDataConverter window(*host_);
        window.Form_Load();
        window.cmdAdvanced_Click();
        for (int pass = 0; pass < 2; ++pass) {
            window.optisFixed->setChecked(true);
            window.optisDelimited->setChecked(true);
            QCOMPARE(window.chkDFirstRecordContainsFieldNames->isChecked(),
                     window.Converter().FirstRecordContainsFieldNames());
            window.chkDFirstRecordContainsFieldNames->setChecked(pass == 0);
            QCOMPARE(window.Converter().FirstRecordContainsFieldNames(), pass == 0);
        }
        window.chkDFirstRecordContainsFieldNames->setChecked(true);
        window.cboFileTypes->setCurrentIndex(window.cboFileTypes->findText("CSV"));
        window.cmdConvert_Click();
        QVERIFY(enginetest::ReadBytes(folder_ + "ordersCf.csv").startsWith("ID,NAME\r\n"));
        QVERIFY(enginetest::ReadBytes(folder_ + "ordersC.VelmorBasic")
                    .contains("FirstRecordContainsFieldNames = True"));
    }

private:
    ScriptedUserPrompt prompt_;
    QTemporaryDir program_;
    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    QString data_;
    std::unique_ptr<ToolsTestHost> host_;
};

QTEST_MAIN(ToolsConverterTest)
#include "tst_tools_converter.moc"
