// The field code counter window: its field list, a count on the worker
// thread that leaves the viewer's record alone, a cancelled count, and the
// same text from "velmor-data codes".
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/userprompt.h"
#include "components/data/engine_testfiles.h"
#include "data/converter.h"
#include "data/copybookfields.h"
#include "tools/frmDataConverter.h"
#include "tools/frmFieldCodeCounter.h"
#include "tools/toolwindows.h"
#include "tools_testhost.h"
#include "viewer/frmFileView.h"

using namespace velmor;

class ToolsCounterTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        SetPrompt(&prompt_);
        prompt_.Clear();
        host_ = std::make_unique<ToolsTestHost>();
    }

    void cleanup() {
        host_.reset();
        SetPrompt(nullptr);
    }

    void countMatchesCommandLine() {
        // Codes B, A, B, C, A in the third column, whose field starts nowhere
        // near the bytes of that column; one code is qualified with a comma.
        OpenCsv("ID,NAME,CODE\r\n1,\"x,y\",B\r\n2,q,A\r\n3,r,B\r\n4,s,\"C,1\"\r\n5,t,A\r\n");
        host_->file.SaveConnection({}, false);  // so the command line reads it the same way
        host_->file.MoveTo(4);
        tools::frmFieldCodeCounter window(*host_);
        window.Form_Load();
        window.cboFields->setCurrentIndex(2);
        window.cmdCount_Click();
        QCOMPARE(window.cmdCount->text(), QString("Cancel"));
        QTRY_VERIFY(!window.Counting());
        QCOMPARE(window.cmdCount->text(), QString("Count"));
        QVERIFY(window.ProgressBar1->isHidden());
        // Codes padded to the field's length + 1, counts to seven places.
        const int width = int(host_->file.GetFields().Item(3)->Length()) + 1;
        QString expected;
        for (const char* line : {"A:2", "B:2", "C,1:1"}) {
            const QStringList parts = QString(line).split(':');
            expected += parts[0].leftJustified(width) + parts[1].leftJustified(7) + "\n";
        }
        QCOMPARE(window.txtOutput->toPlainText(), expected);
        QCOMPARE(host_->file.RecordNumber(), 4);
        QVERIFY(prompt_.Questions().empty());

        QCOMPARE(CommandLine(data_, "CODE"), expected);
    }

    void cancelledCount() {
        QByteArray bytes = "ID,CODE\r\n";
        for (int r = 0; r < 200000; ++r)
            bytes += QByteArray::number(r) + ",c" + QByteArray::number(r % 13) + "\r\n";
        OpenCsv(bytes);
        tools::frmFieldCodeCounter window(*host_);
        window.Form_Load();
        window.cboFields->setCurrentIndex(1);
        window.cmdCount_Click();
        QVERIFY(window.Counting());
        window.cmdCount_Click();  // "Cancel"
        QCOMPARE(window.txtOutput->toPlainText(), QString());
        QTRY_VERIFY(!window.Counting());
        QCOMPARE(window.txtOutput->toPlainText(), QString());
        QCOMPARE(window.cmdCount->text(), QString("Count"));
        QVERIFY(prompt_.Questions().empty());
    }

    void openedFromTheViewer() {
        OpenCsv("ID,CODE\r\n1,B\r\n");
        host_->file.SaveConnection({}, false);
        QDialog* shown = nullptr;
        frmFileView::ShowModal = [&shown](QDialog& dialog) { shown = &dialog; };
        frmFileView viewer;
        QVERIFY(!viewer.mnuFieldCodeCounter->isEnabled());
        tools::RegisterToolWindows(viewer);
        QVERIFY(viewer.mnuFieldCodeCounter->isEnabled());
        QVERIFY(viewer.mnuDataConverter->isEnabled());
        QVERIFY(viewer.AddFile(data_));
        viewer.mnuFieldCodeCounter->trigger();
        auto* counter = qobject_cast<tools::frmFieldCodeCounter*>(shown);
        QVERIFY(counter);
        QCOMPARE(counter->cboFields->itemText(1), QString("CODE"));
        viewer.mnuFieldCodeCounter->trigger();
        QCOMPARE(shown, counter);  // one window, reused
        // The modeless converter, opened again from the menu, keeps what the user typed.
        viewer.mnuDataConverter->trigger();
        auto* converter = viewer.findChild<tools::frmDataConverter*>();
        QVERIFY(converter && converter->isVisible());
        converter->txtFileExtension->setText("xyz");
        converter->txtFieldDelimiterRepresentation->setText("CHR$(59)");
        viewer.mnuDataConverter->trigger();
        QCOMPARE(converter->txtFileExtension->text(), QString("xyz"));
        QCOMPARE(converter->Converter().FieldDelimiterRepresentation(), std::string("CHR$(59)"));
    }

    // The window's entry and the command line's name of a field give the
    // same report: a Windows-1252 name as printed, the first of two X, an
    // unnamed field by its shown name, the second X by number.
    void fieldChoice() {
        OpenCsv(
            "C\xD3"
            "DIGO,X,,X\r\na,1,p,9\r\nb,2,q,9\r\n");
        host_->file.SaveConnection({}, false);
        const std::pair<const char*, const char*> rows[] = {
            {"CÓDIGO", "a"}, {"X", "1"}, {"Field3", "p"}, {"#4", "9"}};
        tools::frmFieldCodeCounter window(*host_);
        window.Form_Load();
        QCOMPARE(window.cboFields->itemText(2), QString("Field3"));
        for (int entry = 0; entry < 4; ++entry) {
            window.cboFields->setCurrentIndex(entry);
            window.cmdCount_Click();
            QTRY_VERIFY(!window.Counting());
            const QString shown = window.txtOutput->toPlainText();
            QVERIFY2(shown.startsWith(rows[entry].second), qPrintable(shown));
            QCOMPARE(CommandLine(data_, rows[entry].first), shown);
        }
        QVERIFY(prompt_.Questions().empty());
    }

    // Packed numbers are counted by value: +12 with sign nibble C or F is one
    // code, and so are 0 and negative zero; the window and the command line agree.
    void typedCodesByValue() {
        data_ = dir_.filePath("packed.dat");
        QVERIFY(enginetest::WriteBytes(data_, QByteArray::fromHex("41012C"
                                                                  "42012F"
                                                                  "43000D"
                                                                  "44000C")));
        data::File& file = host_->file;
        QVERIFY(host_->OpenFixed(data_, 3));
        std::string error;
        std::vector<std::string> notes;
        copybook::ResolveOptions ascii;
        ascii.charset = copybook::Charset::Ascii;
        QVERIFY(data::ImportCopybook(
            "       01 R.\n          05 K PIC X.\n          05 AMT PIC S9(3) COMP-3.\n", ascii,
            file.GetFields(), error, notes));
        QVERIFY(file.SaveConnection({}, false));
        tools::frmFieldCodeCounter window(*host_);
        window.Form_Load();
        window.cboFields->setCurrentIndex(1);
        window.cmdCount_Click();
        QTRY_VERIFY(!window.Counting());
        // Codes padded to the widest value ("?" and four hex digits) + 1.
        QCOMPARE(window.txtOutput->toPlainText(), QString("0     2      \n12    2      \n"));
        QCOMPARE(CommandLine(data_, "AMT"), window.txtOutput->toPlainText());
    }

private:
    void OpenCsv(const QByteArray& bytes) {
        data_ = dir_.filePath("codes.csv");
        QVERIFY(enginetest::WriteBytes(data_, bytes));
        QVERIFY(host_->OpenCsv(data_));
    }
    // "velmor-data codes" on Field of File, its line ends as the window's.
    static QString CommandLine(const QString& file, const QString& field) {
        const enginetest::CliResult cli = enginetest::RunVelmorData({"codes", file, field});
        return cli.status == 0 ? QString::fromUtf8(cli.out).replace("\r\n", "\n") : "failed";
    }
    ScriptedUserPrompt prompt_;
    QTemporaryDir dir_;
    QString data_;
    std::unique_ptr<ToolsTestHost> host_;
};

QTEST_MAIN(ToolsCounterTest)
#include "tst_tools_counter.moc"
