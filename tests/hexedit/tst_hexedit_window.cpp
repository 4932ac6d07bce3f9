// The hex view and its find/replace dialog driven offscreen through their
// handlers and keys, on small files in a scratch folder; every question
// is answered by a script and every file checked byte for byte.
#include <sys/stat.h>

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include "app/userprompt.h"
#include "data/bytesearch.h"
#include "hexedit/frmHexView.h"
#include "hexedit/frmHexViewFind.h"
#include "hexedit/hexviewhost.h"
#include "hexedit/hexwindows.h"
#include "viewer/frmFileView.h"
#include "viewer/progressgate.h"
#include "viewer/viewer_testhost.h"

using namespace velmor;
using namespace velmor::hexedit;
using Asked = ScriptedUserPrompt::Asked;

namespace {

struct FakeHost : HexViewHost {
    std::string path;
    std::int64_t recordStart = 1;
    int refreshes = 0;
    int reloads = 0;
    std::string PathAndName() override { return path; }
    std::int64_t FileLength() override { return QFileInfo(QString::fromStdString(path)).size(); }
    std::int64_t RecordStartByte() override { return recordStart; }
    void RefreshView() override { ++refreshes; }
    void ReloadFile() override { ++reloads; }
    viewer::DisplayEncoding encoding = viewer::DisplayEncoding::Windows1252;
    viewer::DisplayEncoding TextEncoding() override { return encoding; }
};

struct Fixture {
    QTemporaryDir dir;
    ScriptedUserPrompt prompt;
    FakeHost host;
    std::unique_ptr<frmHexView> view;

    explicit Fixture(const QByteArray& content, std::int64_t recordStart = 1) {
        SetPrompt(&prompt);
        frmFileView::ShowModal = [](QDialog& d) { d.show(); };
        host.path = dir.filePath("data.bin").toStdString();
        Write(content);
        host.recordStart = recordStart;
        view = std::make_unique<frmHexView>(host);
        view->Form_Load();
        view->show();
    }
    ~Fixture() { SetPrompt(nullptr); }
    void Write(const QByteArray& content) {
        QFile f(QString::fromStdString(host.path));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    QByteArray Content() const {
        QFile f(QString::fromStdString(host.path));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    QString Status() const { return view->lblStatus->text(); }
    QStringList Messages() const {
        QStringList out;
        for (const Asked& a : prompt.Questions()) out << a.title + "|" + a.text;
        return out;
    }
    void Place(int row, int column) { view->PlaceTextBox(row, column); }
    frmHexViewFind& Find() {
        view->mnuFind_Click();
        return *view->findChild<frmHexViewFind*>();
    }
};

QByteArray Counting(int size) {
    QByteArray b;
    for (int i = 0; i < size; ++i) b.append(static_cast<char>('A' + i % 26));
    return b;
}

const QString kReadOnly =
    "Read Only File|The file cannot be altered because it has been marked as a 'Read Only' "
    "file.  Would you like to attempt to alter this setting and continue with the edit?";

}  // namespace

class tst_hexedit_window : public QObject {
    Q_OBJECT

private slots:
    void opensFromTheViewerMenu() {
        viewertest::Host h;
        const QString data = h.Copy(QStringLiteral("orders.dat"));
        h.Copy(QStringLiteral("orders.fmt"));
        auto viewer = h.Window(data);
        QVERIFY(!viewer->mnuhexeditor->isEnabled());
        RegisterHexWindows(*viewer);
        QVERIFY(viewer->mnuhexeditor->isEnabled());
        viewer->MoveTo(3);
        viewer->mnuhexeditor->trigger();
        QCOMPARE(h.modal, QStringList{"frmHexView"});
        auto* view = viewer->findChild<frmHexView*>();
        QCOMPARE(view->StartingByte(), std::int64_t(2 * 32 + 1));  // 30 bytes and CR LF a record
        QCOMPARE(view->txtHex->text(), QString("31"));
        viewer->mDrawer->ClearLog();
        QTest::keyClicks(view->txtHex, "39");
        // The viewer behind draws the record again with the new byte.
        const QList<QByteArray> drawn = viewertest::DrawnFor(*viewer, 3);
        QCOMPARE(drawn.value(drawn.size() - 1).left(6), QByteArray("900003"));
        QFile file(data);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().mid(64, 6), QByteArray("900003"));
        QCOMPARE(viewer->File().GetFields().Count(), 5);
        QCOMPARE(viewer->File().RecordNumber(), 3);
    }

    void opensOnTheCurrentRecord() {
        Fixture f(Counting(1000), 301);
        QCOMPARE(f.view->StartingByte(), std::int64_t(301));
        QCOMPARE(f.Status(), QString("Position: 301    Ascii: %1").arg(int('A' + 300 % 26)));
        QCOMPARE(f.view->focusWidget(), f.view->txtHex);
        // Two digits typed straight away write a byte and move on.
        QTest::keyClicks(f.view->txtHex, "41");
        QCOMPARE(f.Content().at(300), 'A');
        QCOMPARE(f.Content().size(), 1000);
        QCOMPARE(f.view->txtCHR->text(), QString(QChar('A' + 301 % 26)));
        QCOMPARE(f.Status().left(14), QString("Position: 302 "));
        QCOMPARE(f.host.refreshes, 1);
    }

    void shortAndEmptyFilesOpen_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("status");
        QTest::newRow("empty") << QByteArray() << "Position: 1    Ascii: 32";
        QTest::newRow("3 bytes") << QByteArray("\x01yz") << "Position: 1    Ascii: 1";
    }
    void shortAndEmptyFilesOpen() {
        QFETCH(QByteArray, content);
        Fixture f(content, 0);
        QTEST(f.Status(), "status");
        QVERIFY(f.prompt.Questions().empty());
        // A control code shows blank in the pane but raw in the edit box.
        if (!content.isEmpty()) QCOMPARE(f.view->txtCHR->text(), QString(QChar(1)));
        QTest::keyClick(f.view->txtHex, Qt::Key_PageDown);
        QTest::keyClick(f.view->txtHex, Qt::Key_Down);
        QCOMPARE(f.view->StartingByte(), std::int64_t(1));
        f.Place(16, 16);
        QTest::keyClicks(f.view->txtHex, "7A");
        QCOMPARE(f.Content(), content);  // never grows
    }

    void writesAtTheEdges_data() {
        QTest::addColumn<int>("row");
        QTest::addColumn<int>("column");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("last byte") << 1 << 10 << QByteArray("ABCDEFGHIq");
        QTest::newRow("one past the end") << 1 << 11 << QByteArray("ABCDEFGHIJ");
    }
    void writesAtTheEdges() {
        QFETCH(int, row);
        QFETCH(int, column);
        Fixture f(Counting(10));
        f.Place(row, column);
        f.view->txtCHR->setFocus();
        QTest::keyClick(f.view->txtCHR, 'q');
        QTEST(f.Content(), "after");
    }

    // A character typed in the character pane is its byte in the file's
    // encoding; one that needs more than a byte is refused.
    void characterPaneTypesTheFileEncoding() {
        Fixture f(Counting(10));
        f.view->txtCHR->setFocus();
        QTest::sendKeyEvent(QTest::Press, f.view->txtCHR, Qt::Key_unknown, QString("\u20AC"), {});
        f.host.encoding = viewer::DisplayEncoding::Utf8;
        QTest::sendKeyEvent(QTest::Press, f.view->txtCHR, Qt::Key_unknown, QString("\u00E9"), {});
        QCOMPARE(f.Content(), "\x80" + Counting(10).mid(1));
        QCOMPARE(f.Messages(), QStringList{"|\"\u00E9\" takes more than one byte in the file's "
                                           "encoding; type its bytes in the hex pane."});
    }

    void characterAtRow13Scrolls() {
        Fixture f(Counting(1000));
        f.Place(13, 16);
        QTest::keyClick(f.view->txtCHR, 'z');
        QCOMPARE(f.Content().at(207), 'z');
        QCOMPARE(f.view->StartingByte(), std::int64_t(17));
        QCOMPARE(f.view->mCursor.row * 100 + f.view->mCursor.column, 1301);
        // The hex box at (13, 16) writes and stays.
        f.Place(13, 16);
        QTest::keyClicks(f.view->txtHex, "30");
        QCOMPARE(f.Content().at(16 + 207), '0');
        QCOMPARE(f.view->mCursor.row * 100 + f.view->mCursor.column, 1316);
        QCOMPARE(f.view->StartingByte(), std::int64_t(17));
    }

    // Whatever the mouse did on the box, the next two digits typed are the
    // byte of the cell it shows; other keys write nothing and say nothing.
    // '~' clicks the box's second digit; the rest is typed.
    void mouseAndStrayKeys_data() {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QByteArray>("start");
        QTest::addColumn<int>("column");
        QTest::newRow("click on the second digit first") << "~42" << QByteArray("BBC") << 2;
        QTest::newRow("one digit, a click, two digits") << "7~42" << QByteArray("BBC") << 2;
        QTest::newRow("arrow codes as characters") << "%&'(4G" << QByteArray("ABC") << 1;
    }
    void mouseAndStrayKeys() {
        QFETCH(QString, script);
        Fixture f(Counting(20));
        const QPoint secondDigit(f.view->txtHex->width() * 3 / 4, f.view->txtHex->height() / 2);
        for (QChar c : script) {
            if (c == '~')
                QTest::mouseClick(f.view->txtHex, Qt::LeftButton, {}, secondDigit);
            else
                QTest::keyClick(f.view->txtHex, c.toLatin1());
        }
        QTEST(f.Content().left(3), "start");
        QTEST(f.view->mCursor.column, "column");
        QVERIFY(f.prompt.Questions().empty());
        QCOMPARE(f.view->txtHex->selectedText().size(), 1);
    }

    void readOnly_data() {
        QTest::addColumn<bool>("yes");
        QTest::addColumn<char>("first");
        QTest::addColumn<int>("mode");
        QTest::newRow("No") << false << 'A' << 0444;
        QTest::newRow("Yes") << true << 'B' << 0644;
    }
    void readOnly() {
        QFETCH(bool, yes);
        Fixture f(Counting(20));
        const QByteArray path = QByteArray::fromStdString(f.host.path);
        QVERIFY(chmod(path.constData(), 0444) == 0);
        f.prompt.QueueAnswer(yes ? UserPrompt::Answer::Yes : UserPrompt::Answer::No);
        QTest::keyClicks(f.view->txtHex, "42");
        QTEST(f.Content().at(0), "first");
        struct stat info {};
        stat(path.constData(), &info);
        QTEST(int(info.st_mode & 07777), "mode");
        QCOMPARE(f.Messages(), QStringList{kReadOnly});
        QCOMPARE(f.prompt.Questions().front().buttons, UserPrompt::Buttons::YesNo);
    }

    void scrollBarMovesByBytes() {
        Fixture f(Counting(20000));
        QCOMPARE(f.view->VScroll1->maximum(), 5000);
        f.view->VScroll1->setValue(2500);
        QCOMPARE(f.view->StartingByte(), std::int64_t(10000));
        QCOMPARE(f.Status().left(16), QString("Position: 10000 "));
    }

    void clickAndDoubleClick() {
        Fixture f(Counting(300));
        const double cell = 0.25 * f.view->logicalDpiX();
        f.view->pctHex_MouseDown(QPointF(2.5 * cell, 15.5 * 0.25 * f.view->logicalDpiY()));
        QCOMPARE(f.view->mCursor.row * 100 + f.view->mCursor.column, 1603);
        QCOMPARE(f.Status().left(14), QString("Position: 243 "));
    }

    void printForm() {
        Fixture f(Counting(100));
        const QString pdf = f.dir.filePath("form.pdf");
        frmHexView::PrintToPdf = pdf;
        f.prompt.QueuePrinter(true);
        f.view->mnuPrintForm_Click();
        frmHexView::PrintToPdf.clear();
        QVERIFY(QFileInfo(pdf).size() > 0);
        QCOMPARE(f.Messages().last(),
                 QString("|This forms image has been sent to your default printer."));
    }

    void findAndFindNext() {
        Fixture f(QByteArray(500, 'x') + "ab\r\nxyz\r\n" + QByteArray(300, 'y'));
        frmHexViewFind& find = f.Find();
        QCOMPARE(find.cmdFind->text(), QString("&Find"));
        find.txtFind->setText("0D 0A");
        find.cmdFind_Click();
        QCOMPARE(find.LastMatch, std::int64_t(503));
        QCOMPARE(f.view->StartingByte(), std::int64_t(503));
        QCOMPARE(find.cmdFind->text(), QString("Find &Next"));
        find.cmdFind_Click();
        QCOMPARE(find.LastMatch, std::int64_t(508));
        find.cmdFind_Click();  // no more: the view stays, nothing wraps
        QCOMPARE(f.Messages(), QStringList{"Find Results|No Matches Found"});
        QCOMPARE(f.view->StartingByte(), std::int64_t(508));
        QCOMPARE(find.cmdFind->text(), QString("Find &Next"));
        find.txtFind->setText("0A");  // a change starts again from byte 1
        QCOMPARE(find.cmdFind->text(), QString("&Find"));
        find.OptCHR->setChecked(true);
        find.txtFind->setText("AB");
        find.cmdFind_Click();
        QCOMPARE(find.LastMatch, std::int64_t(0));  // case-sensitive
    }

    void refusals_data() {
        QTest::addColumn<QString>("findText");
        QTest::addColumn<QString>("replaceText");
        QTest::addColumn<QString>("message");
        const char* const rows[][4] = {
            {"shape", "0D0A 0A", "", "|The Hex List is invalid"},
            {"not a byte", "0D0A", "41",
             "|\"0D0A\" in the hex list is not a byte value (00 to FF)."},
            {"replacement not a byte", "61", "3338",
             "|\"3338\" in the hex list is not a byte value (00 to FF)."},
            {"empty find", "", "41", "|Enter the bytes to find before replacing them."}};
        for (const auto& r : rows)
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QString(r[3]);
    }
    void refusals() {
        QFETCH(QString, findText);
        QFETCH(QString, replaceText);
        const QByteArray content = "a\r\nb\r\n";
        Fixture f(content);
        frmHexViewFind& find = f.Find();
        find.txtFind->setText(findText);
        find.txtReplace->setText(replaceText);
        find.cmdFind_Click();
        QTEST(f.Messages().join("/"), "message");
        QCOMPARE(f.Content(), content);
        QCOMPARE(find.LastMatch, std::int64_t(0));
    }

    void replace_data() {
        QTest::addColumn<QString>("findText");
        QTest::addColumn<QString>("replaceText");
        QTest::addColumn<bool>("hex");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<int>("reloads");
        QTest::newRow("same length") << "0D 0A"
                                     << "2C 2C" << true << QByteArray("a,,b,,") << 0;
        QTest::newRow("longer") << "\r"
                                << "<CR>" << false << QByteArray("a<CR>\nb<CR>\n") << 1;
        QTest::newRow("shorter") << "0D 0A"
                                 << "0A" << true << QByteArray("a\nb\n") << 1;
    }
    void replace() {
        QFETCH(QString, findText);
        QFETCH(QString, replaceText);
        QFETCH(bool, hex);
        Fixture f("a\r\nb\r\n");
        frmHexViewFind& find = f.Find();
        (hex ? find.OptHex : find.OptCHR)->setChecked(true);
        find.txtFind->setText(findText);
        find.txtReplace->setText(replaceText);
        QCOMPARE(find.cmdFind->text(), QString("&Replace"));
        find.cmdFind_Click();
        QTEST(f.Content(), "after");
        QTEST(f.host.reloads, "reloads");
        QVERIFY(f.prompt.Questions().empty());
        QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"data.bin"});
        QCOMPARE(f.view->txtHex->text(), QString("61"));
    }

    // Typed characters become the bytes of the file's own encoding; one it
    // cannot hold refuses the whole operation.
    void replaceTypedText_data() {
        QTest::addColumn<int>("encoding");  // viewer::DisplayEncoding
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("findText");
        QTest::addColumn<QString>("replaceText");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QString>("message");
        const int cp1252 = int(viewer::DisplayEncoding::Windows1252);
        const int latin1 = int(viewer::DisplayEncoding::Latin1);
        const int utf8 = int(viewer::DisplayEncoding::Utf8);
        QTest::newRow("euro in Windows-1252") << cp1252 << QByteArray("1,what\x80?") << "\u20AC"
                                              << "E" << QByteArray("1,whatE?") << "";
        QTest::newRow("e acute in Windows-1252") << cp1252 << QByteArray("caf\xE9?") << "\u00E9"
                                                 << "e" << QByteArray("cafe?") << "";
        QTest::newRow("A umlaut in UTF-8") << utf8 << QByteArray("\xC3\x84?") << "\u00C4"
                                           << "\u00E4" << QByteArray("\xC3\xA4?") << "";
        QTest::newRow("CJK refused in Windows-1252")
            << cp1252 << QByteArray("a?b") << "\u4E2D"
            << "E" << QByteArray("a?b")
            << "|\"\u4E2D\" cannot be written in the file's encoding, Windows-1252.";
        QTest::newRow("euro refused in Latin-1")
            << latin1 << QByteArray("a?b") << "?"
            << "\u20AC" << QByteArray("a?b")
            << "|\"\u20AC\" cannot be written in the file's encoding, Latin-1.";
    }
    void replaceTypedText() {
        QFETCH(int, encoding);
        QFETCH(QByteArray, content);
        QFETCH(QString, findText);
        QFETCH(QString, replaceText);
        Fixture f(content);
        f.host.encoding = viewer::DisplayEncoding(encoding);
        frmHexViewFind& find = f.Find();
        find.OptCHR->setChecked(true);
        find.txtFind->setText(findText);
        find.txtReplace->setText(replaceText);
        find.cmdFind_Click();
        QTEST(f.Content(), "after");
        QTEST(f.Messages().join("/"), "message");
    }

    // A cancel in place stops between chunks: the first chunk stays
    // replaced, the rest of the file is as it was, and the count is told.
    void cancelledReplacementSaysHowMany() {
        QByteArray line(98, 'x');
        line += "\r\n";
        const QByteArray content = line.repeated(int(2 * data::kByteChunk / 100));
        Fixture f(content);
        frmHexViewFind& find = f.Find();
        find.txtFind->setText("0D 0A");
        find.txtReplace->setText("2C 2C");
        viewer::ProgressGate::cancelForTests = [] { return true; };
        find.cmdFind_Click();
        viewer::ProgressGate::cancelForTests = nullptr;
        // Occurrences wholly inside the first read (a chunk and one byte).
        const qsizetype firstRead = qsizetype(data::kByteChunk) + 1;
        const int done = int(content.left(firstRead).count("\r\n"));
        QCOMPARE(f.Messages(),
                 QStringList{QString("|Replacing was cancelled after %1 occurrences.").arg(done)});
        const QByteArray after = f.Content();
        QCOMPARE(after.left(firstRead).count(",,"), done);
        QCOMPARE(after.mid(firstRead), content.mid(firstRead));
    }

    void replaceAsksAboutReadOnly() {
        Fixture f("a\r\nb\r\n");
        QVERIFY(chmod(f.host.path.c_str(), 0444) == 0);
        frmHexViewFind& find = f.Find();
        find.txtFind->setText("0D 0A");
        find.txtReplace->setText("0A");
        f.prompt.QueueAnswer(UserPrompt::Answer::No);
        find.cmdFind_Click();
        QCOMPARE(f.Content(), QByteArray("a\r\nb\r\n"));
        QCOMPARE(f.Messages(), QStringList{kReadOnly});
    }
};

QTEST_MAIN(tst_hexedit_window)
#include "tst_hexedit_window.moc"
