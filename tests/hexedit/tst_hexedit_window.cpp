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
    // "starting byte row,column" of the view.
    QString Cursor() const {
        return QString("%1 %2,%3")
            .arg(view->StartingByte())
            .arg(view->mCursor.row)
            .arg(view->mCursor.column);
    }
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
    // Find/Replace of the hex lists (or typed text) as the dialog's button does it.
    void Replace(const QString& findText, const QString& replaceText, bool hex = true) {
        frmHexViewFind& find = Find();
        (hex ? find.OptHex : find.OptCHR)->setChecked(true);
        find.txtFind->setText(findText);
        find.txtReplace->setText(replaceText);
        find.cmdFind_Click();
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
        QCOMPARE(view->lblStatus->text(), QString("Position: 65    Ascii: 49"));
        QCOMPARE(view->focusWidget(), view->txtHex);
        viewer->mDrawer->ClearLog();
        QTest::keyClicks(view->txtHex, "39");  // two digits write a byte and move on
        QCOMPARE(view->txtCHR->text(), QString("0"));
        QCOMPARE(view->lblStatus->text().left(13), QString("Position: 66 "));
        // The viewer behind draws the record again with the new byte.
        const QList<QByteArray> drawn = viewertest::DrawnFor(*viewer, 3);
        QCOMPARE(drawn.value(drawn.size() - 1).left(6), QByteArray("900003"));
        QFile file(data);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll().mid(64, 6), QByteArray("900003"));
        QCOMPARE(viewer->File().GetFields().Count(), 5);
        QCOMPARE(viewer->File().RecordNumber(), 3);
    }

    void shortAndEmptyFilesOpen() {
        for (const QByteArray& content : {QByteArray(), QByteArray("\x01yz")}) {
            Fixture f(content, 0);
            QCOMPARE(f.Status(),
                     QString("Position: 1    Ascii: %1").arg(content.isEmpty() ? 32 : 1));
            QVERIFY(f.prompt.Questions().empty());
            // A control code shows blank in the pane but raw in the edit box.
            if (!content.isEmpty()) QCOMPARE(f.view->txtCHR->text(), QString(QChar(1)));
            QTest::keyClick(f.view->txtHex, Qt::Key_PageDown);
            QTest::keyClick(f.view->txtHex, Qt::Key_Down);
            QCOMPARE(f.Cursor(), QString("1 2,1"));
            f.Place(16, 16);
            QTest::keyClicks(f.view->txtHex, "7A");
            QCOMPARE(f.Content(), content);  // never grows
        }
    }

    // A character typed in the character pane is its byte in the file's
    // encoding; one that needs more than a byte is refused, and nothing is
    // written past the end.
    void characterPane() {
        Fixture f(Counting(10));
        const auto type = [&f](int column, const QString& text) {
            f.Place(1, column);
            f.view->txtCHR->setFocus();
            QTest::sendKeyEvent(QTest::Press, f.view->txtCHR, Qt::Key_unknown, text, {});
        };
        type(11, "q");
        type(10, "q");
        type(1, "\u20AC");
        f.host.encoding = viewer::DisplayEncoding::Utf8;
        type(2, "\u00E9");
        QCOMPARE(f.Content(), QByteArray("\x80"
                                         "BCDEFGHIq"));
        QCOMPARE(f.Messages(), QStringList{"|\"\u00E9\" takes more than one byte in the file's "
                                           "encoding; type its bytes in the hex pane."});
    }

    void characterAtRow13Scrolls() {
        Fixture f(Counting(1000));
        f.Place(13, 16);
        QTest::keyClick(f.view->txtCHR, 'z');
        QCOMPARE(f.Cursor(), QString("17 13,1"));
        f.Place(13, 16);  // the hex box there writes and stays
        QTest::keyClicks(f.view->txtHex, "30");
        QCOMPARE(f.Cursor(), QString("17 13,16"));
        QCOMPARE(f.Content().mid(207, 17), 'z' + Counting(1000).mid(208, 15) + '0');
    }

    // Whatever the mouse did on the box, the next two digits typed are the
    // byte of the cell it shows, and nothing is asked.
    void mouseOnTheHexBox() {
        Fixture f(Counting(20));
        QTest::keyClick(f.view->txtHex, '7');
        const QPoint secondDigit(f.view->txtHex->width() * 3 / 4, f.view->txtHex->height() / 2);
        QTest::mouseClick(f.view->txtHex, Qt::LeftButton, {}, secondDigit);
        QTest::keyClicks(f.view->txtHex, "42");
        QCOMPARE(f.Content().left(3), QByteArray("BBC"));
        QCOMPARE(f.Cursor(), QString("1 1,2"));
        QVERIFY(f.prompt.Questions().empty());
        QCOMPARE(f.view->txtHex->selectedText().size(), 1);
    }

    // Typing into a read-only file, or replacing in it, asks first; No
    // leaves file and mode alone.
    void readOnly() {
        const struct {
            bool yes, replace;
            char first;
            int mode;
        } rows[] = {{false, false, 'a', 0444}, {true, false, 'B', 0644}, {false, true, 'a', 0444}};
        for (const auto& r : rows) {
            Fixture f("a\r\nb\r\n");
            const QByteArray path = QByteArray::fromStdString(f.host.path);
            QVERIFY(chmod(path.constData(), 0444) == 0);
            f.prompt.QueueAnswer(r.yes ? UserPrompt::Answer::Yes : UserPrompt::Answer::No);
            if (r.replace)
                f.Replace("0D 0A", "0A");
            else
                QTest::keyClicks(f.view->txtHex, "42");
            QCOMPARE(f.Content().at(0), r.first);
            QCOMPARE(f.Content().size(), 6);
            struct stat info {};
            stat(path.constData(), &info);
            QCOMPARE(int(info.st_mode & 07777), r.mode);
            QCOMPARE(f.Messages(), QStringList{kReadOnly});
            QCOMPARE(f.prompt.Questions().front().buttons, UserPrompt::Buttons::YesNo);
        }
    }

    void scrollBarAndClick() {
        Fixture f(Counting(20000));
        QCOMPARE(f.view->VScroll1->maximum(), 5000);
        f.view->VScroll1->setValue(2500);
        QCOMPARE(f.view->StartingByte(), std::int64_t(10000));
        QCOMPARE(f.Status().left(16), QString("Position: 10000 "));
        // A click picks the cell under the mouse.
        f.view->VScroll1->setValue(0);
        const double cell = 0.25 * f.view->logicalDpiX();
        f.view->pctHex_MouseDown(QPointF(2.5 * cell, 15.5 * 0.25 * f.view->logicalDpiY()));
        QCOMPARE(f.Cursor(), QString("1 16,3"));
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
        find.txtReplace->setText("0A");
        QCOMPARE(find.cmdFind->text(), QString("&Replace"));
        find.txtReplace->clear();
        find.OptCHR->setChecked(true);
        find.txtFind->setText("AB");
        find.cmdFind_Click();
        QCOMPARE(find.LastMatch, std::int64_t(0));  // case-sensitive
    }

    // Find/Replace on "a\r\nb\r\n" or the row's bytes: a refused list
    // changes nothing; typed characters become the bytes of the file's
    // own encoding, and one it cannot hold refuses the whole operation.
    void replace() {
        using E = viewer::DisplayEncoding;
        const E cp1252 = E::Windows1252, latin1 = E::Latin1, utf8 = E::Utf8;
        const QByteArray ab("a\r\nb\r\n");
        const struct {
            const char* tag;
            E encoding;
            QByteArray content;
            bool hex;
            QString find, replace;
            QByteArray after;
            int reloads;
            QString message;
        } rows[] = {
            {"shape", cp1252, ab, true, "0D0A 0A", "", ab, 0, "|The Hex List is invalid"},
            {"not a byte", cp1252, ab, true, "0D0A", "41", ab, 0,
             "|\"0D0A\" in the hex list is not a byte value (00 to FF)."},
            {"replacement not a byte", cp1252, ab, true, "61", "3338", ab, 0,
             "|\"3338\" in the hex list is not a byte value (00 to FF)."},
            {"empty find", cp1252, ab, true, "", "41", ab, 0,
             "|Enter the bytes to find before replacing them."},
            {"same length", cp1252, ab, true, "0D 0A", "2C 2C", "a,,b,,", 0, ""},
            {"longer", cp1252, ab, false, "\r", "<CR>", "a<CR>\nb<CR>\n", 1, ""},
            {"shorter", cp1252, ab, true, "0D 0A", "0A", "a\nb\n", 1, ""},
            {"euro in Windows-1252", cp1252, "1,what\x80?", false, "\u20AC", "E", "1,whatE?", 0,
             ""},
            {"e acute in Windows-1252", cp1252, "caf\xE9?", false, "\u00E9", "e", "cafe?", 0, ""},
            {"A umlaut in UTF-8", utf8, "\xC3\x84?", false, "\u00C4", "\u00E4", "\xC3\xA4?", 0, ""},
            {"CJK refused in Windows-1252", cp1252, "a?b", false, "\u4E2D", "E", "a?b", 0,
             "|\"\u4E2D\" cannot be written in the file's encoding, Windows-1252."},
            {"euro refused in Latin-1", latin1, "a?b", false, "?", "\u20AC", "a?b", 0,
             "|\"\u20AC\" cannot be written in the file's encoding, Latin-1."},
        };
        for (const auto& r : rows) {
            Fixture f(r.content);
            f.host.encoding = r.encoding;
            f.Replace(r.find, r.replace, r.hex);
            QVERIFY2(f.Content() == r.after, r.tag);
            QCOMPARE(f.host.reloads, r.reloads);
            QCOMPARE(f.Messages().join("/"), r.message);
            QCOMPARE(QDir(f.dir.path()).entryList(QDir::Files), QStringList{"data.bin"});
            QCOMPARE(f.view->txtHex->text(), QString::number(uchar(r.after.at(0)), 16).toUpper());
        }
    }

    // A cancel in place stops between chunks: the first chunk stays
    // replaced, the rest of the file is as it was, and the count is told.
    void cancelledReplacementSaysHowMany() {
        QByteArray line(98, 'x');
        line += "\r\n";
        const QByteArray content = line.repeated(int(2 * data::kByteChunk / 100));
        Fixture f(content);
        viewer::ProgressGate::cancelForTests = [] { return true; };
        f.Replace("0D 0A", "2C 2C");
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
};

QTEST_MAIN(tst_hexedit_window)
#include "tst_hexedit_window.moc"
