// The options window (extension text arithmetic, the group and extension
// buttons with their messages, renaming, what closing rebuilds), the tip of
// the day and the about box.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>

#include "app/global.h"
#include "app/userprompt.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmOptions.h"
#include "dialogs/frmTip.h"
#include "dialogs/optionsrules.h"

using velmor::frmOptions;
using velmor::ScriptedUserPrompt;
namespace Global = velmor::Global;

namespace {

struct Host {
    QTemporaryDir dir;
    ScriptedUserPrompt prompt;
    Host() {
        Global::ResetState();
        Global::SetProgramFolder(dir.path());
        qputenv("XDG_DATA_HOME", dir.filePath(QString("xdg")).toUtf8());
        Global::LoadConnectionProfiles();  // no file there: the built-ins
        velmor::SetPrompt(&prompt);
    }
    ~Host() { velmor::SetPrompt(nullptr); }
};

QStringList Rows(const QListWidget* list) {
    QStringList rows;
    for (int i = 0; i < list->count(); ++i) rows << list->item(i)->text();
    return rows;
}

QStringList Names(const velmor::ProfileList& list) {
    QStringList names;
    for (const auto& p : list) names << p.Name;
    return names;
}

// Shows the File Types tab with the group named Name selected.
void ShowGroup(frmOptions& w, const QString& name) {
    w.SSTab1->setCurrentIndex(1);
    w.cboName->setCurrentIndex(w.cboName->findText(name));
}

}  // namespace

class TestDialogsOptions : public QObject {
    Q_OBJECT
private slots:
    void removeExtension() {
        const char* const rows[][3] = {{"*.CSV; *.TXT; *.DAT", "TXT", "*.CSV; *.DAT"},
                                       {"*.CSV; *.TXT; *.DAT", "CSV", "*.TXT; *.DAT"},
                                       {"*.CSV; *.TXT; *.DAT", "DAT", "*.CSV; *.TXT"},
                                       {"*.CSV", "CSV", ""},
                                       {"*.CSVX; *.CSV", "CSV", "*.CSVX"},
                                       {"*.CSVX", "CSV", "*.CSVX"},
                                       {"*.csv; *.tab", "tab", "*.csv"}};
        for (const auto& r : rows)
            QCOMPARE(velmor::options::RemoveExtension(r[0], r[1]), QString(r[2]));
    }

    void addExtension() {
        Host h;
        frmOptions w;
        ShowGroup(w, "Flat Files");
        const auto add = [&](const QString& answer) {
            h.prompt.QueueInput(answer);
            w.cmdAddExt->click();
            return h.prompt.Questions().back();
        };
        for (const char* group : {"DBase III", "Query Files", "Flat Files"}) {
            const QString answer = group[0] == 'D' ? "x.dbf" : group[0] == 'Q' ? "Query" : "DAT";
            QCOMPARE(add(answer).text,
                     QString("This extension is already being used by the '%1' group.").arg(group));
        }
        const auto refused = add("a;b");
        QCOMPARE(refused.text, QString("An extension cannot hold blanks, \";\" or \"|\"."));
        QCOMPARE(refused.title, QString("Can't Add"));
        QCOMPARE(refused.icon, velmor::UserPrompt::Icon::Exclamation);
        QCOMPARE(add("").kind, ScriptedUserPrompt::Asked::Kind::Input);  // nothing said
        QCOMPARE(Global::Connections[0].Extensions, QString("*.dat"));
        QVERIFY(!w.GroupsChanged);
        // A new group takes its first and second extensions.
        w.cmdAdd_Click();
        add(".prn");
        add("txt");
        QCOMPARE(Global::Connections.back().Extensions, QString("*.PRN; *.TXT"));
        QCOMPARE(Rows(w.lstExtensions), (QStringList{"PRN", "TXT"}));
        QCOMPARE(h.prompt.Questions().front().text, QString("What is the new extension?"));
        QCOMPARE(h.prompt.Questions().front().title, QString("Add Extension"));
    }

    void removeExtensionNeedsASelectedRow() {
        Host h;
        Global::Connections[0].Extensions = QString("*.dat; *.txt");
        frmOptions w;
        ShowGroup(w, QString("Flat Files"));
        QCOMPARE(Rows(w.lstExtensions), (QStringList{"dat", "txt"}));
        // Neither no row nor a current row that is not selected is removed.
        for (const bool currentRow : {false, true}) {
            if (currentRow) {
                w.lstExtensions->setCurrentRow(0);
                w.lstExtensions->clearSelection();
            }
            w.cmdRemoveExt->click();
            QCOMPARE(h.prompt.Questions().back().text,
                     QString("Please highlight the extension that you wish to remove."));
            QCOMPARE(Global::Connections[0].Extensions, QString("*.dat; *.txt"));
        }
        QVERIFY(!w.GroupsChanged);
        w.lstExtensions->setCurrentRow(1);
        w.cmdRemoveExt->click();
        QCOMPARE(Global::Connections[0].Extensions, QString("*.dat"));
        QCOMPARE(Rows(w.lstExtensions), QStringList{"dat"});
        QVERIFY(w.GroupsChanged);
    }

    void groupKindAndSettings() {
        Host h;
        Global::TempFolderPath = QString("/tmp/x");
        Global::CreateFormatFileDuringSave = true;
        frmOptions w;
        w.show();
        QCOMPARE(w.txtTempFolderPath->text(), QString("/tmp/x"));
        QVERIFY(w.chkCreateFormatFileDuringSave->isChecked());
        w.chkPromptToSaveChanges->click();
        QVERIFY(Global::PromptToSaveConfigurationChanges);
        w.txtSecondaryConnectionAndIndexingPath->setText(QString("$APPPATH/idx"));
        QCOMPARE(Global::SecondaryConnectionAndIndexingPath, QString("$APPPATH/idx"));
        ShowGroup(w, QString("Flat Files"));
        QVERIFY(w.freFixed->isVisible() && !w.freDelimited->isVisible());
        QVERIFY(!w.GroupsChanged);  // filling the controls changes nothing
        // Number boxes keep the leading number, never negative and capped at
        // the largest 32-bit number.
        w.txtRecordLength->setText("99999999999999999999999");
        w.txtByteOffset->setText("-5 bytes");
        QCOMPARE(Global::Connections[0].RecordLength, std::numeric_limits<qint32>::max());
        QCOMPARE(Global::Connections[0].ByteOffset, 0);
        w.txtByteOffset->setText("3 bytes");
        QCOMPARE(Global::Connections[0].ByteOffset, 3);
        QVERIFY(w.GroupsChanged);
        w.optDelimited->click();
        QVERIFY(w.freDelimited->isVisible() && !w.freFixed->isVisible());
        auto& p = Global::Connections[0];
        QVERIFY(p.IsDelimited && !p.IsFixed);
        w.txtFieldDelimiter->setText(QString("CHR$(59)"));
        QCOMPARE(p.FieldDelimiterRepresentation, QString("CHR$(59)"));
        w.ShowComposer = [] { Global::StringRepresentation = QString("CHR$(124)"); };
        w.cmdGetStringRepresentation[2]->click();
        QCOMPARE(p.TextQualifierRepresentation, QString("CHR$(124)"));
        w.chkDFirstRowContainsFieldNames->click();
        QVERIFY(p.FirstRecordContainsFieldNames);
        QVERIFY(w.chkFLFirstRowContainsFieldNames->isChecked());
        // At its smallest the window still shows the usual representations whole.
        w.resize(w.minimumSizeHint());
        QVERIFY(w.size().width() >= w.minimumSizeHint().width());
        QApplication::processEvents();
        for (QLineEdit* box : {w.txtDelimiter, w.txtFieldDelimiter, w.txtTextQualifier}) {
            const int text = box->fontMetrics().horizontalAdvance(QString("CHR$(13) & CHR$(10)"));
            QVERIFY2(box->width() >= text + 8, qPrintable(QString::number(box->width())));
        }
        // A new group is neither fixed nor delimited until the user says.
        w.cmdAdd->click();
        QCOMPARE(w.cboName->currentText(), QString("New Group"));
        QCOMPARE(Names(Global::Connections).last(), QString("New Group"));
        QVERIFY(!Global::Connections.back().IsFixed && !Global::Connections.back().IsDelimited);
        QVERIFY(w.freProperties->isVisible());
        QVERIFY(!w.freFixed->isVisible() && !w.freDelimited->isVisible());
        QVERIFY(!w.optFixed->isChecked() && !w.optDelimited->isChecked());
        // Where the connection files go changes what the groups mean.
        w.GroupsChanged = false;
        w.chkStoreConnectionAndIndexingFilesInDataPath->click();
        QVERIFY(Global::StoreConnectionAndIndexingFilesInDataPath);
        QVERIFY(w.GroupsChanged);
    }

    void renameAndRemoveGroups() {
        Host h;
        frmOptions w;
        ShowGroup(w, QString("Query Files"));
        w.cboName->lineEdit()->setText(QString("Queries"));
        w.cboName_Change(QString("Queries"));
        w.cboName_Enter();
        QCOMPARE(Global::Connections[4].Name, QString("Queries"));
        QCOMPARE(w.cboName->itemText(4), QString("Queries"));
        QCOMPARE(w.cboName->currentIndex(), 4);
        // A name still being typed goes to the group it was typed for, even when
        // another row is chosen next.
        w.cboName_Change(QString("Tabs"));
        w.cboName->setCurrentIndex(2);
        QCOMPARE(Global::Connections[4].Name, QString("Tabs"));
        QCOMPARE(Global::Connections[2].Name, QString("Tab Delimited"));
        QCOMPARE(w.cboName->itemText(4), QString("Tabs"));
        w.cmdRemove->click();
        QCOMPARE(Names(Global::Connections),
                 (QStringList{"Flat Files", "CSV", "Index Files", "Tabs"}));
        QCOMPARE(w.cboName->currentIndex(), 0);
        QCOMPARE(w.SelectedGroup, 1);
        // The removed group's extension is free for another group.
        h.prompt.QueueInput(QString("tab"));
        w.cmdAddExt->click();
        QCOMPARE(Global::Connections[0].Extensions, QString("*.dat; *.TAB"));
    }

    // Closing the window (done()) rebuilds the type lists and registers the
    // groups with the desktop, only after a change to the groups.
    void closingRebuildsOnlyAfterAGroupChange() {
        Host h;
        const QString entry =
            h.dir.filePath(QString("xdg/applications/velmor_dravik-groups.desktop"));
        // An unsorted list shows whether closing rebuilt it.
        Global::MergeFileTypes();
        const QStringList before = Names(Global::AllFileTypes);
        {
            frmOptions w;
            ShowGroup(w, QString("CSV"));
            w.reject();
        }
        QCOMPARE(Names(Global::AllFileTypes), before);
        QVERIFY(!QFileInfo::exists(entry));
        frmOptions w;
        ShowGroup(w, QString("CSV"));
        w.cboName_Change(QString("Comma"));
        h.prompt.QueueInput(QString("cma"));
        w.cmdAddExt->click();
        w.accept();
        QCOMPARE(Global::Connections[1].Name, QString("Comma"));
        QCOMPARE(Names(Global::AllFileTypes),
                 (QStringList{"All Files", "Comma", "DBase III", "Flat Files", "Index Files",
                              "Query Files", "Tab Delimited"}));
        QFile registered(entry);
        QVERIFY(registered.open(QIODevice::ReadOnly));
        QVERIFY(registered.readAll().contains("MimeType=application/x-velmor-group-comma;"));
    }

    void tipsMissingFileExplainsItself() {
        QTemporaryDir dir;
        Global::SetProgramFolder(dir.path());
        velmor::frmTip tip;
        QVERIFY(tip.chkLoadTipsAtStartup->isChecked());
        QVERIFY(tip.lblTipText->text().startsWith("That the TIPOFDAY.TXT file was not found? "));
        tip.cmdNextTip_Click();
        QCOMPARE(tip.lblTipText->text(), velmor::frmTip::MissingFileText());
        QVERIFY(!tip.LoadTips(QString()));
        // The shipped file has no blank tip.
        QVERIFY(tip.LoadTips(QString(VELMOR_TEST_DATA "/../../dialogs/TIPOFDAY.TXT")));
        QVERIFY(tip.Tips().size() >= 5);
        for (const QString& t : tip.Tips()) QVERIFY(!t.trimmed().isEmpty());
    }

    // Every line is a tip, each in its own encoding, shown as plain text;
    // Next picks among them all.
    void tipsEveryLineIsATip() {
        const std::pair<QByteArray, QStringList> rows[] = {
            {"<b>x</b> &amp; y\r\n", {"<b>x</b> &amp; y"}},
            {"first\r\n\r\n  third  \nfourth", {"first", "", "  third  ", "fourth"}},
            {"Caf\xc3\xa9\r\nGar\xe7on \x80\r\n", {"Caf\u00e9", "Gar\u00e7on \u20ac"}}};
        for (const auto& [file, tips] : rows) {
            QTemporaryDir dir;
            Global::SetProgramFolder(dir.path());
            QFile f(dir.filePath("TIPOFDAY.TXT"));
            QVERIFY(f.open(QIODevice::WriteOnly) && f.write(file) == file.size());
            f.close();
            velmor::frmTip tip;
            QCOMPARE(tip.Tips(), tips);
            QSet<QString> seen;
            for (int i = 0; i < 200; ++i) {
                tip.cmdNextTip_Click();
                QVERIFY(tip.CurrentTip() >= 1 && tip.CurrentTip() <= tips.size());
                QCOMPARE(tip.lblTipText->text(), tips[int(tip.CurrentTip() - 1)]);
                seen.insert(tip.lblTipText->text());
            }
            QCOMPARE(tip.lblTipText->textFormat(), Qt::PlainText);
            QCOMPARE(seen, QSet<QString>(tips.begin(), tips.end()));
        }
    }

    // The version shown, the shipped icon, and a link that asks for the browser.
    void aboutBox() {
        ScriptedUserPrompt prompt;
        velmor::SetPrompt(&prompt);
        velmor::frmAbout about;
        QVERIFY(QRegularExpression("^Version \\d+\\.\\d+\\.\\d+$")
                    .match(about.lblVersion->text())
                    .hasMatch());
        const QImage shipped(VELMOR_TEST_DATA
                             "/../../desktop/icons/hicolor/48x48/apps/velmor_dravik.png");
        QVERIFY(!shipped.isNull());
        const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
        QCOMPARE(about.picIcon->pixmap().toImage().convertToFormat(premultiplied),
                 shipped.convertToFormat(premultiplied));
        QVERIFY(!about.windowIcon().isNull());
        prompt.SetLaunchResult(false);  // a browser that does not start changes nothing
        about.lblLink_Click();
        QCOMPARE(prompt.Questions().size(), size_t(1));
        QCOMPARE(prompt.Questions()[0].kind, ScriptedUserPrompt::Asked::Kind::Url);
        QCOMPARE(prompt.Questions()[0].text, velmor::frmAbout::MakerAddress());
        velmor::SetPrompt(nullptr);
    }
};

QTEST_MAIN(TestDialogsOptions)
#include "tst_dialogs_options.moc"
