// The layout converter window: menus and marks, the text for each choice,
// Save As with its proposed name and refusals, printing to PDF, sizing.
#include <QAction>
#include <QMenu>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "app/userprompt.h"
#include "components/data/engine_testfiles.h"
#include "editors/editorwindows.h"
#include "editors/frmDKFields.h"
#include "tools/frmLayoutConverter.h"
#include "tools/toolwindows.h"
#include "tools_testhost.h"
#include "viewer/frmFileView.h"

using namespace velmor;

class ToolsLayoutTest : public QObject {
    Q_OBJECT
private slots:

    void init() {
        SetPrompt(&prompt_);
        prompt_.Clear();
        data_ = dir_.filePath("orders.dat");
        QVERIFY(enginetest::WriteBytes(data_, QByteArray(35, 'x') + QByteArray(35, 'y')));
        host_ = std::make_unique<ToolsTestHost>();
        QVERIFY(host_->OpenFixed(data_, 35, {{"ID", 5}, {"CUSTOMER NAME", 30}}));
    }

    void cleanup() {
        host_.reset();
        SetPrompt(nullptr);
    }

    void menusAndText() {
        tools::frmLayoutConverter window(*host_);
        window.Form_Load();
        QVERIFY(window.mnustandardlayout->isChecked());
        QVERIFY(window.mnunone->isChecked());
        window.ChooseItem(window.mnuproper);
        QVERIFY(!window.mnunone->isChecked());
        window.ChooseItem(window.mnutypestatement);
        QVERIFY(!window.mnustandardlayout->isChecked());
        QCOMPARE(
            window.txtOutput->toPlainText(),
            QString("Type orders\n  Id AS STRING * 5\n  Customer Name AS STRING * 30\nEnd Type"));
        // Box width := window width - 2 x box left - 100 twips.
        window.show();
        window.resize(800, 600);
        const int twips100 = 100 * window.logicalDpiX() / 1440;
        QCOMPARE(window.txtOutput->width(), 800 - 2 * window.txtOutput->x() - twips100);
    }

    void saveAs_data() {
        QTest::addColumn<QString>("answer");  // relative to the folder; "" cancels
        QTest::addColumn<bool>("refused");
        QTest::addColumn<bool>("written");
        QTest::newRow("another file") << "orders.fmt" << false << true;
        QTest::newRow("the data file in other letters") << "ORDERS.DAT" << true << false;
        QTest::newRow("cancelled") << "" << false << false;
    }

    void saveAs() {
        QFETCH(QString, answer);
        QFETCH(bool, refused);
        QFETCH(bool, written);
        QFile::remove(dir_.filePath("orders.fmt"));
        const QByteArray before = enginetest::ReadBytes(data_);
        // A Windows-1252 name is saved in its own bytes, not as the box shows it.
        host_->file.GetFields().Item(2)->SetName(
            "CUSTOMER N\xC9"
            "ME");
        tools::frmLayoutConverter window(*host_);
        window.Form_Load();
        window.ChooseItem(window.mnuformatfile);
        prompt_.QueueFile(answer.isEmpty() ? QString() : dir_.filePath(answer));
        window.mnuSaveAs_Click();
        QCOMPARE(enginetest::ReadBytes(data_), before);
        const auto& asked = prompt_.Questions();
        QCOMPARE(asked.front().kind, ScriptedUserPrompt::Asked::Kind::SaveFile);
        QCOMPARE(asked.front().text, QString("orders.fmt"));
        QCOMPARE(QDir(asked.front().defaultText), QDir(dir_.path()));
        QCOMPARE(asked.size(), refused ? 2u : 1u);
        if (refused) QCOMPARE(asked.back().icon, UserPrompt::Icon::Critical);
        QCOMPARE(enginetest::ReadBytes(dir_.filePath("orders.fmt")),
                 written ? QByteArray("ID, 5\r\nCUSTOMER N\xC9"
                                      "ME, 30\r\n")
                         : QByteArray());
    }

    void print() {
        tools::frmLayoutConverter window(*host_);
        window.Form_Load();
        window.PrintToFile = dir_.filePath("layout.pdf");
        window.mnuprint_Click();  // the printer dialog cancelled: nothing printed
        QVERIFY(!QFile::exists(window.PrintToFile));
        prompt_.Clear();
        prompt_.QueuePrinter(true);
        window.mnuprint_Click();
        QVERIFY(enginetest::ReadBytes(window.PrintToFile).startsWith("%PDF"));
        QCOMPARE(prompt_.Questions().size(), 2u);
        // With a default printer there is no dialog: straight to it.
        QVERIFY(QFile::remove(window.PrintToFile));
        prompt_.Clear();
        prompt_.SetDefaultPrinter(true);
        window.mnuprint_Click();
        QVERIFY(enginetest::ReadBytes(window.PrintToFile).startsWith("%PDF"));
        QCOMPARE(prompt_.Questions().size(), 1u);
    }

    void openedFromTheFieldEditor() {
        QDialog* shown = nullptr;
        frmFileView::ShowModal = [&shown](QDialog& dialog) { shown = &dialog; };
        frmFileView viewer;
        editors::RegisterEditorWindows(viewer, tools::LayoutConverterOpener(viewer));
        QVERIFY(viewer.AddFile(data_));
        viewer.mnufields->trigger();
        auto* fields = qobject_cast<editors::frmDKFields*>(shown);
        QVERIFY(fields);
        QVERIFY(fields->mnuLayoutConverter->isEnabled());
        fields->mnuLayoutConverter->trigger();
        auto* layout = qobject_cast<tools::frmLayoutConverter*>(shown);
        QVERIFY(layout);
        const std::string text =
            datatools::DrawStandardLayout(viewer.File().GetFields(), datatools::Casing::None);
        QCOMPARE(layout->txtOutput->toPlainText(),
                 QString::fromStdString(text).replace("\r\n", "\n"));
    }

private:
    ScriptedUserPrompt prompt_;
    QTemporaryDir dir_;
    QString data_;
    std::unique_ptr<ToolsTestHost> host_;
};

QTEST_MAIN(ToolsLayoutTest)
#include "tst_tools_layout.moc"
