// The main window's file lifecycle: menus, opening, closing, the save
// question, the file watch, engine events and files it cannot divide.
#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QScrollBar>
#include <fstream>

#include "app/pathbytes.h"
#include "util/utilities.h"
#include "viewer/connectionfiles.h"
#include "viewer_testhost.h"

using velmor::frmFileView;
using velmor::UserPrompt;
using Asked = velmor::ScriptedUserPrompt::Asked;

namespace {
QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

QString Connection(frmFileView& w) {
    return QString::fromStdString(w.File().ConnectionPathAndName());
}

/// Another program's write: the bytes appended (or the whole file replaced)
/// and a later modification time.
void TouchFromOutside(const QString& path, const QByteArray& bytes = {},
                      QIODevice::OpenMode mode = QIODevice::Append) {
    QFile f(path);
    if (!f.open(mode | QIODevice::WriteOnly)) return;
    f.write(bytes);
    f.setFileTime(QDateTime::currentDateTime().addSecs(5), QFileDevice::FileModificationTime);
}

// The save question: the connection file there already, the layout changed,
// the question switched on, the answer; then: go on, asked, saved. A
// connection file without a write bit is kept, even for the superuser: the
// user is told, and the window stays open.
struct SaveCase {
    bool existing, change, prompt;
    UserPrompt::Answer answer;
    bool goOn, asked, saved;
    bool readOnly = false;
};

/// Title, then "+" or "-" for: picture shown, bars shown, Tools enabled.
QString State(frmFileView& w) {
    QString out = w.windowTitle() + ' ';
    for (bool on : {!w.pctContainer->isHidden(), !w.HScroll1->isHidden() || !w.VScroll1->isHidden(),
                    w.mnutools->isEnabled()})
        out += on ? '+' : '-';
    return out;
}

int ShownTiles(frmFileView& w) {
    int shown = 0;
    for (int i = 1; i <= 4; ++i) shown += w.ImgS[static_cast<size_t>(i)]->isVisible() ? 1 : 0;
    return shown;
}
}  // namespace

Q_DECLARE_METATYPE(SaveCase)

class TestViewerLifecycle : public QObject {
    Q_OBJECT
private slots:
    void menusWaitForTheirWindows() {
        viewertest::Host h;
        auto w = h.Window();
        // The tip shows only without a command line; the about box on request.
        w->Form_Load(false);
        QVERIFY(h.modal.isEmpty());
        w->Form_Load(true);
        w->mnuabout->trigger();
        QCOMPARE(h.modal, (QStringList{"frmTip", "frmAbout"}));
        QVERIFY(!w->mnutools->isEnabled());
        QVERIFY(!w->mnuSaveDataConnection->isVisible());
        QVERIFY(!w->mnudataconnection->isEnabled());
        QVERIFY(w->mnuLaunchConnectionWizard->isEnabled());
        int opened = 0;
        w->SetWindowOpener(QStringLiteral("mnudataconnection"), [&] { ++opened; });
        QVERIFY(w->mnudataconnection->isEnabled());
        w->mnudataconnection->trigger();
        QCOMPARE(opened, 1);
        // The converter saves the connection before it opens.
        auto file = h.Fixed(QStringLiteral("conv.dat"), 20, 20);
        QVERIFY(w->AddFile(file));
        QVERIFY(w->mnutools->isEnabled());
        w->SetWindowOpener(QStringLiteral("mnuDataConverter"), [&] {
            opened += 10;
            QVERIFY(QFileInfo::exists(Connection(*w)));
        });
        w->mnuDataConverter->trigger();
        QCOMPARE(opened, 11);
        // No sibling program beside this program.
        QVERIFY(w->mnuLaunch->menuAction()->isVisible() == false);
    }

    // A missing file is passed over silently; the last file dropped is
    // opened; the open command asks for a file and saves the connection of
    // the file it replaces; closing saves it too and leaves an empty window.
    void openDropAndClose() {
        viewertest::Host h;
        const QString second = h.Fixed(QStringLiteral("second.dat"), 40, 20);
        velmor::Global::LastPathOpened = h.dir.path();
        auto w = h.Window();
        QVERIFY(!w->AddFile(h.dir.filePath(QStringLiteral("nope.dat"))));
        QVERIFY(h.prompt.Questions().empty());
        QCOMPARE(State(*w), QStringLiteral("Velmor_Dravik ---"));
        w->DropFiles(
            {h.Fixed(QStringLiteral("a.dat"), 10, 20), h.Fixed(QStringLiteral("b.dat"), 12, 20)});
        QCOMPARE(State(*w), QStringLiteral("b.dat +-+"));  // records narrower than the screen
        QCOMPARE(w->File().RecordCount(), 12);
        const QString first = Connection(*w);
        QVERIFY(!QFileInfo::exists(first));
        h.prompt.QueueFile(second);
        w->mnuAddDataFile_Click();
        QVERIFY(QFileInfo::exists(first));
        QCOMPARE(w->windowTitle(), QStringLiteral("second.dat"));
        QCOMPARE(w->File().RecordCount(), 40);
        const auto& q = h.prompt.Questions();
        QCOMPARE(q.size(), size_t(1));
        QCOMPARE(q[0].kind, Asked::Kind::OpenFile);
        QVERIFY(!q[0].filter.isEmpty());
        QCOMPARE(velmor::Global::LastPathOpened,
                 QDir(h.dir.path()).absolutePath() + QLatin1Char('/'));
        h.prompt.QueueFile(QString());  // a cancelled dialog keeps the open file
        w->mnuAddDataFile_Click();
        QCOMPARE(w->windowTitle(), QStringLiteral("second.dat"));
        const QString c = Connection(*w);
        QCOMPARE(State(*w), QStringLiteral("second.dat +++"));
        w->mnuclose_Click();
        QVERIFY(QFileInfo::exists(c));
        QCOMPARE(State(*w), QStringLiteral("Velmor_Dravik ---"));
        viewertest::Key(*w, Qt::Key_Down);  // keys do nothing without a file
        w->Timer1_Timer();
    }

    void connectionFilesCompare_data() {
        QTest::addColumn<QByteArray>("a");
        QTest::addColumn<QByteArray>("b");
        QTest::addColumn<bool>("differ");
        QTest::newRow("same") << QByteArray("x\r\ny\r\n") << QByteArray("x\r\ny\r\n") << false;
        QTest::newRow("case only")
            << QByteArray("Field=Name\r\n") << QByteArray("field=NAME\r\n") << false;
        QTest::newRow("line ends only") << QByteArray("x\r\ny") << QByteArray("x\ny\n") << false;
        QTest::newRow("changed line")
            << QByteArray("x\r\ny\r\n") << QByteArray("x\r\nz\r\n") << true;
        QTest::newRow("lines added at the end")
            << QByteArray("x\r\n") << QByteArray("x\r\nField=NEW\r\n") << true;
        QTest::newRow("lines removed at the end")
            << QByteArray("x\r\ny\r\n") << QByteArray("x\r\n") << true;
    }

    void connectionFilesCompare() {
        QFETCH(QByteArray, a);
        QFETCH(QByteArray, b);
        viewertest::Host h;
        const QString first = h.Write(QStringLiteral("a"), a);
        QTEST(velmor::viewer::ConnectionFilesDiffer(first, h.Write(QStringLiteral("b"), b)),
              "differ");
        QVERIFY(velmor::viewer::ConnectionFilesDiffer(first, h.dir.filePath("missing")));
        QCOMPARE(velmor::viewer::TemporaryConnectionPath(QStringLiteral("/d/orders.dat.vdc")),
                 QStringLiteral("/d/~orders.dat.vdc"));
    }

    void saveQuestion_data() {
        QTest::addColumn<SaveCase>("c");
        const auto yes = UserPrompt::Answer::Yes, no = UserPrompt::Answer::No,
                   cancel = UserPrompt::Answer::Cancel;
        QTest::newRow("unchanged") << SaveCase{true, false, true, yes, true, false, false};
        QTest::newRow("yes") << SaveCase{true, true, true, yes, true, true, true};
        QTest::newRow("no") << SaveCase{true, true, true, no, true, true, false};
        QTest::newRow("cancel") << SaveCase{true, true, true, cancel, false, true, false};
        QTest::newRow("no prompting saves") << SaveCase{true, true, false, no, true, false, true};
        QTest::newRow("new: yes") << SaveCase{false, true, true, yes, true, true, true};
        QTest::newRow("new: no") << SaveCase{false, true, true, no, true, true, false};
        QTest::newRow("new: cancel") << SaveCase{false, true, true, cancel, false, true, false};
        QTest::newRow("read-only kept")
            << SaveCase{true, true, true, yes, false, true, false, true};
    }

    void saveQuestion() {
        QFETCH(SaveCase, c);
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("save.dat"), 10, 20));
        const QString path = Connection(*w);
        if (c.existing) QVERIFY(w->File().SaveConnection("", false));
        const QByteArray before = Read(path);
        if (c.readOnly) QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup));
        velmor::Global::PromptToSaveConfigurationChanges = c.prompt;
        if (c.change) w->File().GetFields().Add("EXTRA", 3);
        h.prompt.QueueAnswer(c.answer);
        QCOMPARE(w->ConfirmSaveConnection(), c.goOn);
        QCOMPARE(h.prompt.Questions().size(), size_t(c.asked ? 1 : 0) + c.readOnly);
        if (c.readOnly)
            QVERIFY2(h.prompt.Questions()[1].text.contains("read-only"),
                     qPrintable(h.prompt.Questions()[1].text));
        if (c.asked) {
            const Asked& q = h.prompt.Questions()[0];
            QCOMPARE(q.text, c.existing
                                 ? QStringLiteral("Would you like to save your changes?")
                                 : QStringLiteral("Would you like to save your data connection "
                                                  "information to save.dat?"));
            QCOMPARE(q.buttons, UserPrompt::Buttons::YesNoCancel);
        }
        QCOMPARE(Read(path).contains("EXTRA"), c.saved);
        if (!c.saved) QCOMPARE(Read(path), before);
        QVERIFY(!QFileInfo::exists(velmor::viewer::TemporaryConnectionPath(path)));
        if (c.readOnly) QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    }

    void cancelledCloseKeepsTheWindowButClosesOthers() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("cancel.dat"), 10, 20));
        QWidget other;
        other.setObjectName(QStringLiteral("frmFind2"));
        other.show();
        w->RegisterWindow(&other);
        velmor::Global::PromptToSaveConfigurationChanges = true;
        h.prompt.QueueAnswer(UserPrompt::Answer::Cancel);
        QVERIFY(!w->close());
        QVERIFY(w->isVisible());
        QVERIFY(!other.isVisible());
        h.prompt.QueueAnswer(UserPrompt::Answer::No);
        QVERIFY(w->close());
    }

    void wizardAsksBeforeDroppingTheLayout() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("wizard.dat"), 10, 20));
        auto& fields = w->File().GetFields();
        for (const char* name : {"A", "B", "C", "D", "E"}) fields.Add(name, 4);
        w->mnuSaveDataConnection_Click();
        const QString c = Connection(*w);
        const QByteArray saved = Read(c);
        QVERIFY(saved.contains("FieldCount=5"));
        velmor::Global::PromptToSaveConfigurationChanges = false;
        // No keeps everything.
        h.prompt.QueueAnswer(UserPrompt::Answer::No);
        w->mnuLaunchConnectionWizard_Click();
        QCOMPARE(h.prompt.Questions().size(), size_t(1));
        QCOMPARE(h.prompt.Questions()[0].buttons, UserPrompt::Buttons::YesNo);
        QCOMPARE(fields.Count(), 5);
        // Yes detects again; the file on disk stays until the user says to save,
        // even with the save question switched off.
        h.prompt.QueueAnswer(UserPrompt::Answer::Yes);
        w->mnuLaunchConnectionWizard_Click();
        QCOMPARE(Read(c), saved);
        h.prompt.QueueAnswer(UserPrompt::Answer::No);
        w->mnuclose_Click();
        QCOMPARE(h.prompt.Questions().size(), size_t(3));
        QCOMPARE(Read(c), saved);
        QVERIFY(!QFileInfo::exists(velmor::viewer::TemporaryConnectionPath(c)));
    }

    // Another program's write is read in, the place and the unsaved layout
    // kept; an unchanged file is not read again.
    void fileWatchKeepsUnsavedLayout_data() {
        QTest::addColumn<QString>("sample");
        QTest::addColumn<QByteArray>("appended");
        QTest::newRow("fixed") << QString() << QByteArray(20, 'z') + "\r\n";
        QTest::newRow("csv") << QStringLiteral("customers.csv") << QByteArray("99,x,y,1,z\r\n");
    }

    void fileWatchKeepsUnsavedLayout() {
        QFETCH(QString, sample);
        QFETCH(QByteArray, appended);
        viewertest::Host h;
        const QString path =
            sample.isEmpty() ? h.Fixed(QStringLiteral("keep.dat"), 50, 20) : h.Copy(sample);
        auto w = h.Window(path);
        w->MoveTo(5);
        auto& fields = w->File().GetFields();
        if (fields.Count() == 0) {
            fields.Add("FIRST", 8);
            fields.Add("SECOND", 12);
        }
        QVERIFY(w->File().SaveConnection("", false));
        const auto count = w->File().RecordCount();
        const auto length = w->File().GetConnection().RecordLength();
        fields.Item(1)->SetName("RENAMED");
        w->mnuFieldNames_Click();
        TouchFromOutside(path, appended);
        w->Timer1_Timer();
        QCOMPARE(w->File().RecordCount(), count + 1);
        QCOMPARE(w->File().RecordNumber(), 5);
        const auto stamp = w->File().FileDateTime();
        w->Timer1_Timer();  // nothing changed: nothing read again
        QCOMPARE(w->File().FileDateTime(), stamp);
        QCOMPARE(w->File().GetFields().Item(1)->Name(), std::string("RENAMED"));
        QVERIFY(w->File().GetConnection().RecordLength() >= length);
        QVERIFY(w->File().ShowFieldNames());
        QVERIFY(w->mnuFieldNames->isChecked());
        QCOMPARE(viewertest::LabelName(w->lblFields.at(1)), QStringLiteral("RENAMED"));
        TouchFromOutside(path, appended);  // the window's own timer sees it
        QTRY_COMPARE_WITH_TIMEOUT(w->File().RecordCount(), count + 2, 5000);
        velmor::Global::PromptToSaveConfigurationChanges = false;
        QVERIFY(w->ConfirmSaveConnection());
        QVERIFY(Read(Connection(*w)).contains("RENAMED"));
        QFile::remove(path);  // a file that disappears is left alone
        w->Timer1_Timer();
        QVERIFY(h.prompt.Questions().empty());
    }

    void gridFollowsTheFile_data() {
        QTest::addColumn<QString>("change");
        QTest::addColumn<bool>("records");
        QTest::addColumn<bool>("open");
        QTest::newRow("an empty file opened next") << "open empty" << false << true;
        QTest::newRow("emptied from outside") << "empty" << false << true;
        QTest::newRow("filled from outside after a key") << "fill" << true << true;
        QTest::newRow("replaced by a folder") << "folder" << false << false;
    }

    void gridFollowsTheFile() {
        QFETCH(QString, change);
        QFETCH(bool, records);
        QFETCH(bool, open);
        viewertest::Host h;
        const QString path = h.Fixed(QStringLiteral("grid.dat"), 50, 20);
        const QString empty = h.Write(QStringLiteral("empty.dat"), {});
        auto w = h.Window(change == "fill" ? empty : path);
        viewertest::Key(*w, Qt::Key_Down);
        if (change == "open empty") {
            QVERIFY(w->AddFile(empty));
        } else if (change == "empty") {
            TouchFromOutside(path, {}, QIODevice::Truncate);
        } else if (change == "fill") {
            QFile::remove(path);
            h.Fixed(QStringLiteral("filler.dat"), 30, 20);
            TouchFromOutside(empty, Read(h.dir.filePath(QStringLiteral("filler.dat"))));
        } else {
            QFile::remove(path);
            QVERIFY(QDir(h.dir.path()).mkdir(QStringLiteral("grid.dat")));
        }
        w->Timer1_Timer();
        QCOMPARE(w->File().RecordCount() > 0, records);
        QCOMPARE(ShownTiles(*w) > 0, records);
        QCOMPARE(w->txtRecord->text().isEmpty(), !records);
        QVERIFY2(State(*w).endsWith(open ? ".dat +-+" : "Velmor_Dravik ---"), qPrintable(State(*w)));
        // Keys and buttons on an empty or closed file do nothing and ask nothing.
        viewertest::Key(*w, Qt::Key_Down);
        w->cmdLastRecord_Click();
        w->txtRecord->setText(QStringLiteral("5"));
        w->txtRecord_KeyPress(Qt::Key_Return);
        QCOMPARE(h.prompt.Questions().size(), size_t(open ? 0 : 1));
    }

    void undividedFileShowsALineInsteadOfRecords() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("undivided.dat"), 100, 20));
        auto& c = w->File().GetConnection();
        c.SetIsFixed(false);
        c.SetIsDelimited(false);
        w->RefreshView();
        QVERIFY(!w->lblNoDivision->isHidden());
        QVERIFY(w->lblNoDivision->text().contains(QStringLiteral("Tools > Data Connection...")));
        for (int i = 1; i <= 4; ++i) QVERIFY(w->ImgS[static_cast<size_t>(i)]->isHidden());
        QVERIFY(w->VScroll1->isHidden());
        w->Form_KeyDown(Qt::Key_Down, Qt::NoModifier);
        w->Form_KeyDown(Qt::Key_End, Qt::NoModifier);
        w->cmdLastRecord_Click();
        QVERIFY(h.prompt.Questions().empty());

        c.SetIsFixed(true);
        c.SetRecordLength(0);
        w->RefreshView();
        QVERIFY(!w->lblNoDivision->isHidden());

        c.SetRecordLength(22);
        w->RefreshView();
        QVERIFY(w->lblNoDivision->isHidden());
        QVERIFY(!w->mDrawer->Log().empty());
        w->Form_KeyDown(Qt::Key_Down, Qt::NoModifier);
        QCOMPARE(w->File().RecordNumber(), 2);
    }

    void engineEvents() {
        viewertest::Host h;
        auto w = h.Window(h.Fixed(QStringLiteral("events.dat"), 100, 20));
        bool cancel = false;
        w->mFile_Error("The file could not be read.", cancel);
        QVERIFY(cancel);
        QVERIFY(w->mEngineError);
        QCOMPARE(h.prompt.Questions().size(), size_t(1));
        QCOMPARE(h.prompt.Questions()[0].text, QStringLiteral("The file could not be read."));
        QCOMPARE(h.prompt.Questions()[0].icon, UserPrompt::Icon::None);
        // The next move clears the flag.
        w->MoveTo(3);
        QVERIFY(!w->mEngineError);

        velmor::data::RecordNo r = 40;
        w->mBusy = true;
        w->mFile_RecordNumberChanged(r);
        QCOMPARE(w->File().RecordNumber(), 3);
        w->mBusy = false;
        w->mFile_RecordNumberChanged(r);
        QCOMPARE(w->File().RecordNumber(), 40);
        w->mFile_RecordUpdated();
        QCOMPARE(w->File().RecordNumber(), 40);
        QVERIFY(!w->mBusy);
    }

    void recordOver16MegabytesIsShown() {
        viewertest::Host h;
        const QString path = h.Write(QStringLiteral("long.txt"),
                                     "a,b\r\n" + QByteArray((16 << 20) + 100, 'x') + "\r\nc,d\r\n");
        auto w = h.Window(path);
        QTRY_VERIFY(!h.prompt.Questions().empty());
        QTRY_VERIFY(ShownTiles(*w) > 0);
        QVERIFY(viewertest::DrawnFor(*w, 2).front().startsWith("xxxx"));
        QVERIFY(!viewertest::DrawnFor(*w, 3).isEmpty());
        QCOMPARE(h.prompt.Questions().size(), size_t(1));
        QVERIFY(h.prompt.Questions()[0].text.contains(QStringLiteral("are shown")));
    }

    void fileNameThatIsNotUtf8() {
        viewertest::Host h;
        const std::string raw = velmor::PathBytes(h.dir.path()) + "/caf\xe9.dat";
        std::ofstream(raw, std::ios::binary) << std::string(22 * 5, 'x');
        auto w = h.Window();
        QVERIFY(w->AddFile(velmor::PathFromBytes(raw)));
        QCOMPARE(w->File().PathAndName(), raw);
        QVERIFY(w->File().RecordCount() > 0);
        w->File().GetFields().Add("A", 3);
        velmor::Global::PromptToSaveConfigurationChanges = false;
        QVERIFY(w->ConfirmSaveConnection());
        QVERIFY(velmor::util::FileExists(w->File().ConnectionPathAndName()));
        QVERIFY(w->ConfirmSaveConnection());  // unchanged now: the scratch copy is gone
        const QString c = velmor::PathFromBytes(w->File().ConnectionPathAndName());
        QVERIFY(!velmor::util::FileExists(
            velmor::PathBytes(velmor::viewer::TemporaryConnectionPath(c))));
    }

    void reopenedDelimitedFileIsDrawn() {
        viewertest::Host h;
        const QString path = h.Copy(QStringLiteral("customers.csv"));
        {
            auto w = h.Window(path);
            w->File().SaveConnection("", false);
        }
        auto w = h.Window(path);
        QVERIFY(w->lblNoDivision->isHidden());
        QVERIFY(w->File().GetConnection().IsDelimited());
        // Each record is drawn whole, padded to the record length.
        const QByteArray first = viewertest::DrawnFor(*w, 1).value(0);
        QVERIFY(first.startsWith("1,\"Kaito Garcia\",Lyon,686.68,"));
        QCOMPARE(first.size(), w->File().GetConnection().RecordLength());
        QVERIFY(first.endsWith(' '));
        QVERIFY(viewertest::DrawnFor(*w, 2).value(0).startsWith(
            "2,\"Dmitri Novak\",Lyon,7813.27,\"moved, new address\""));
    }
};

QTEST_MAIN(TestViewerLifecycle)
#include "tst_viewer_lifecycle.moc"
