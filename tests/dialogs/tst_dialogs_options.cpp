// The options window: extension text arithmetic, the group and extension
// buttons with their messages, renaming, and what closing rebuilds.
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
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
#include "dialogs/frmOptions.h"
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
        qputenv("XDG_DATA_HOME", dir.filePath(QStringLiteral("xdg")).toUtf8());
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
    void removeExtension_data();
    void removeExtension();
    void numberBoxes_data();
    void numberBoxes();
    void addExtension_data();
    void addExtension();
    void removeExtensionNeedsASelectedRow();
    void newGroupHasNoKind();
    void groupKindAndSettings();
    void renameAndRemoveGroups();
    void lookAndFeelEditsTheSettings();
    void closingRebuildsOnlyAfterAGroupChange();
};

void TestDialogsOptions::removeExtension_data() {
    QTest::addColumn<QString>("extensions");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("expected");
    QTest::newRow("middle") << "*.CSV; *.TXT; *.DAT" << "TXT" << "*.CSV; *.DAT";
    QTest::newRow("first") << "*.CSV; *.TXT; *.DAT" << "CSV" << "*.TXT; *.DAT";
    QTest::newRow("last") << "*.CSV; *.TXT; *.DAT" << "DAT" << "*.CSV; *.TXT";
    QTest::newRow("only") << "*.CSV" << "CSV" << "";
    QTest::newRow("longer entry first is kept") << "*.CSVX; *.CSV" << "CSV" << "*.CSVX";
    QTest::newRow("text inside a longer entry only") << "*.CSVX" << "CSV" << "*.CSVX";
    QTest::newRow("lower case as stored") << "*.csv; *.tab" << "tab" << "*.csv";
}

void TestDialogsOptions::removeExtension() {
    QFETCH(QString, extensions);
    QFETCH(QString, row);
    QTEST(velmor::options::RemoveExtension(extensions, row), "expected");
}

void TestDialogsOptions::numberBoxes_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("stored");
    QTest::newRow("plain") << "40" << 40;
    QTest::newRow("leading number of a text") << " 12 bytes" << 12;
    QTest::newRow("half to even, down") << "12.5" << 12;
    QTest::newRow("half to even, up") << "13.5" << 14;
    QTest::newRow("no number") << "abc" << 0;
    QTest::newRow("negative") << "-5" << 0;
    QTest::newRow("too large") << "99999999999999999999999" << std::numeric_limits<qint32>::max();
}

void TestDialogsOptions::numberBoxes() {
    QFETCH(QString, text);
    Host h;
    frmOptions w;
    ShowGroup(w, QStringLiteral("Flat Files"));
    w.txtRecordLength->setText(text);
    QTEST(static_cast<int>(Global::Connections[0].RecordLength), "stored");
    QVERIFY(w.GroupsChanged);
}

void TestDialogsOptions::addExtension_data() {
    QTest::addColumn<QString>("group");
    QTest::addColumn<QStringList>("answers");
    QTest::addColumn<QString>("extensions");
    QTest::addColumn<QString>("refusal");  // "" when added
    QTest::newRow("first then second") << "New Group" << QStringList{".prn", "txt"}
                                       << "*.PRN; *.TXT" << "";
    QTest::newRow("used by an extra type") << "Flat Files" << QStringList{"x.dbf"} << "*.dat"
                                           << "This extension is already being used by the "
                                              "'DBase III' group.";
    QTest::newRow("used by another user group")
        << "Flat Files" << QStringList{"Query"} << "*.dat"
        << "This extension is already being used by the 'Query Files' group.";
    QTest::newRow("used by the same group") << "Flat Files" << QStringList{"DAT"} << "*.dat"
                                            << "This extension is already being used by the "
                                               "'Flat Files' group.";
    QTest::newRow("separator refused") << "Flat Files" << QStringList{"a;b"} << "*.dat"
                                       << "An extension cannot hold blanks, \";\" or \"|\".";
    QTest::newRow("empty answer") << "Flat Files" << QStringList{""} << "*.dat" << "";
}

void TestDialogsOptions::addExtension() {
    QFETCH(QString, group);
    QFETCH(QStringList, answers);
    QFETCH(QString, refusal);
    Host h;
    frmOptions w;
    w.SSTab1->setCurrentIndex(1);
    if (group == QLatin1String("New Group")) w.cmdAdd_Click();
    ShowGroup(w, group);
    for (const QString& a : answers) {
        h.prompt.QueueInput(a);
        w.cmdAddExt->click();
    }
    const auto& asked = h.prompt.Questions();
    QCOMPARE(asked.front().text, QStringLiteral("What is the new extension?"));
    QCOMPARE(asked.front().title, QStringLiteral("Add Extension"));
    const int groupIndex = w.SelectedGroup - 1;
    QTEST(Global::Connections[static_cast<std::size_t>(groupIndex)].Extensions, "extensions");
    QCOMPARE(Rows(w.lstExtensions),
             velmor::options::ShownExtensions(
                 Global::Connections[static_cast<std::size_t>(groupIndex)].Extensions));
    if (refusal.isEmpty()) {
        QCOMPARE(asked.back().kind, ScriptedUserPrompt::Asked::Kind::Input);
    } else {
        QCOMPARE(asked.back().text, refusal);
        QCOMPARE(asked.back().title, QStringLiteral("Can't Add"));
        QCOMPARE(asked.back().icon, velmor::UserPrompt::Icon::Exclamation);
    }
}

void TestDialogsOptions::removeExtensionNeedsASelectedRow() {
    Host h;
    Global::Connections[0].Extensions = QStringLiteral("*.dat; *.txt");
    frmOptions w;
    ShowGroup(w, QStringLiteral("Flat Files"));
    QCOMPARE(Rows(w.lstExtensions), (QStringList{"dat", "txt"}));
    // Neither no row nor a current row that is not selected is removed.
    for (const bool currentRow : {false, true}) {
        if (currentRow) {
            w.lstExtensions->setCurrentRow(0);
            w.lstExtensions->clearSelection();
        }
        w.cmdRemoveExt->click();
        QCOMPARE(h.prompt.Questions().back().text,
                 QStringLiteral("Please highlight the extension that you wish to remove."));
        QCOMPARE(Global::Connections[0].Extensions, QStringLiteral("*.dat; *.txt"));
    }
    QVERIFY(!w.GroupsChanged);
    w.lstExtensions->setCurrentRow(1);
    w.cmdRemoveExt->click();
    QCOMPARE(Global::Connections[0].Extensions, QStringLiteral("*.dat"));
    QCOMPARE(Rows(w.lstExtensions), QStringList{"dat"});
    QVERIFY(w.GroupsChanged);
}

void TestDialogsOptions::newGroupHasNoKind() {
    Host h;
    frmOptions w;
    w.show();
    ShowGroup(w, QStringLiteral("CSV"));
    QVERIFY(w.freDelimited->isVisible());
    w.cmdAdd->click();
    QCOMPARE(w.cboName->currentText(), QStringLiteral("New Group"));
    QCOMPARE(Global::Connections.size(), size_t(6));
    const auto& added = Global::Connections.back();
    QCOMPARE(added.Name, QStringLiteral("New Group"));
    QVERIFY(!added.IsFixed && !added.IsDelimited);
    QVERIFY(w.freProperties->isVisible());
    QVERIFY(!w.freFixed->isVisible() && !w.freDelimited->isVisible());
    QVERIFY(!w.optFixed->isChecked() && !w.optDelimited->isChecked());
    QVERIFY(w.GroupsChanged);
}

void TestDialogsOptions::groupKindAndSettings() {
    Host h;
    frmOptions w;
    w.show();
    ShowGroup(w, QStringLiteral("Flat Files"));
    QVERIFY(w.freFixed->isVisible() && !w.freDelimited->isVisible());
    QVERIFY(!w.GroupsChanged);  // filling the controls changes nothing
    w.optDelimited->click();
    QVERIFY(w.freDelimited->isVisible() && !w.freFixed->isVisible());
    auto& p = Global::Connections[0];
    QVERIFY(p.IsDelimited && !p.IsFixed);
    w.txtFieldDelimiter->setText(QStringLiteral("CHR$(59)"));
    QCOMPARE(p.FieldDelimiterRepresentation, QStringLiteral("CHR$(59)"));
    w.ShowComposer = [] { Global::StringRepresentation = QStringLiteral("CHR$(124)"); };
    w.cmdGetStringRepresentation[2]->click();
    QCOMPARE(p.TextQualifierRepresentation, QStringLiteral("CHR$(124)"));
    w.chkDFirstRowContainsFieldNames->click();
    QVERIFY(p.FirstRecordContainsFieldNames);
    QVERIFY(w.chkFLFirstRowContainsFieldNames->isChecked());
    // At its smallest the window still shows the usual representations whole.
    w.resize(w.minimumSizeHint());
    QVERIFY(w.size().width() >= w.minimumSizeHint().width());
    QApplication::processEvents();
    for (QLineEdit* box : {w.txtDelimiter, w.txtFieldDelimiter, w.txtTextQualifier}) {
        const int text = box->fontMetrics().horizontalAdvance(QStringLiteral("CHR$(13) & CHR$(10)"));
        QVERIFY2(box->width() >= text + 8, qPrintable(QString::number(box->width())));
    }
}

void TestDialogsOptions::renameAndRemoveGroups() {
    Host h;
    frmOptions w;
    ShowGroup(w, QStringLiteral("Query Files"));
    w.cboName->lineEdit()->setText(QStringLiteral("Queries"));
    w.cboName_Change(QStringLiteral("Queries"));
    w.cboName_Enter();
    QCOMPARE(Global::Connections[4].Name, QStringLiteral("Queries"));
    QCOMPARE(w.cboName->itemText(4), QStringLiteral("Queries"));
    QCOMPARE(w.cboName->currentIndex(), 4);
    // A name still being typed goes to the group it was typed for, even when
    // another row is chosen next.
    w.cboName_Change(QStringLiteral("Tabs"));
    w.cboName->setCurrentIndex(2);
    QCOMPARE(Global::Connections[4].Name, QStringLiteral("Tabs"));
    QCOMPARE(Global::Connections[2].Name, QStringLiteral("Tab Delimited"));
    QCOMPARE(w.cboName->itemText(4), QStringLiteral("Tabs"));
    w.cmdRemove->click();
    QCOMPARE(Names(Global::Connections),
             (QStringList{"Flat Files", "CSV", "Index Files", "Tabs"}));
    QCOMPARE(w.cboName->currentIndex(), 0);
    QCOMPARE(w.SelectedGroup, 1);
    // The removed group's extension is free for another group.
    h.prompt.QueueInput(QStringLiteral("tab"));
    w.cmdAddExt->click();
    QCOMPARE(Global::Connections[0].Extensions, QStringLiteral("*.dat; *.TAB"));
}

void TestDialogsOptions::lookAndFeelEditsTheSettings() {
    Host h;
    Global::TempFolderPath = QStringLiteral("/tmp/x");
    Global::CreateFormatFileDuringSave = true;
    frmOptions w;
    QCOMPARE(w.txtTempFolderPath->text(), QStringLiteral("/tmp/x"));
    QVERIFY(w.chkCreateFormatFileDuringSave->isChecked());
    w.chkPromptToSaveChanges->click();
    QVERIFY(Global::PromptToSaveConfigurationChanges);
    w.txtSecondaryConnectionAndIndexingPath->setText(QStringLiteral("$APPPATH/idx"));
    QCOMPARE(Global::SecondaryConnectionAndIndexingPath, QStringLiteral("$APPPATH/idx"));
    QVERIFY(!w.GroupsChanged);
    w.chkStoreConnectionAndIndexingFilesInDataPath->click();
    QVERIFY(Global::StoreConnectionAndIndexingFilesInDataPath);
    QVERIFY(w.GroupsChanged);
}

// Closing the window (done()) rebuilds the type lists and registers the
// groups with the desktop, only after a change to the groups.
void TestDialogsOptions::closingRebuildsOnlyAfterAGroupChange() {
    Host h;
    const QString entry = h.dir.filePath(QStringLiteral("xdg/applications/velmor_dravik-groups.desktop"));
    // An unsorted list shows whether closing rebuilt it.
    Global::MergeFileTypes();
    const QStringList before = Names(Global::AllFileTypes);
    {
        frmOptions w;
        ShowGroup(w, QStringLiteral("CSV"));
        w.reject();
    }
    QCOMPARE(Names(Global::AllFileTypes), before);
    QVERIFY(!QFileInfo::exists(entry));
    frmOptions w;
    ShowGroup(w, QStringLiteral("CSV"));
    w.cboName_Change(QStringLiteral("Comma"));
    h.prompt.QueueInput(QStringLiteral("cma"));
    w.cmdAddExt->click();
    w.accept();
    QCOMPARE(Global::Connections[1].Name, QStringLiteral("Comma"));
    QCOMPARE(Names(Global::AllFileTypes),
             (QStringList{"All Files", "Comma", "DBase III", "Flat Files", "Index Files",
                          "Query Files", "Tab Delimited"}));
    QFile registered(entry);
    QVERIFY(registered.open(QIODevice::ReadOnly));
    QVERIFY(registered.readAll().contains("MimeType=application/x-velmor-group-comma;"));
}

QTEST_MAIN(TestDialogsOptions)
#include "tst_dialogs_options.moc"
