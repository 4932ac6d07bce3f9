// The record search window on the orders sample: its field list, Find First
// and Find Next with their messages, Enter in the search text, and its
// place on the viewer's menu.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>

#include "viewer/frmFind2.h"
#include "viewer_testhost.h"

using velmor::frmFind2;
using Asked = velmor::ScriptedUserPrompt::Asked;

namespace {

struct Search {
    viewertest::Host host;
    std::unique_ptr<velmor::frmFileView> viewer;
    frmFind2* window = nullptr;

    Search() {
        const QString data = host.Copy(QStringLiteral("orders.dat"));
        host.Copy(QStringLiteral("orders.fmt"));
        viewer = host.Window(data);
        velmor::RegisterSearchWindow(*viewer);
        viewer->mnufindrecord->trigger();
        window = viewer->findChild<frmFind2*>();
    }
    QStringList Messages() const {
        QStringList out;
        for (const Asked& a : host.prompt.Questions()) out << a.title + "|" + a.text;
        return out;
    }
    void Look(const QString& field, const QString& phrase) {
        window->lstFields->setCurrentRow(
            window->lstFields->row(window->lstFields->findItems(field, Qt::MatchExactly).value(0)));
        window->txtSearchPhrase->setText(phrase);
    }
    qint64 Record() const { return viewer->File().RecordNumber(); }
    // Find First, then Find Next for each further record expected.
    QList<qint64> Visit(qsizetype count) {
        QList<qint64> seen;
        window->cmdFind_Click();
        seen << Record();
        while (seen.size() < count) {
            window->cmdFindNext_Click();
            seen << Record();
        }
        return seen;
    }
};

}  // namespace

class tst_viewer_search : public QObject {
    Q_OBJECT

private slots:
    void opensWithTheFields() {
        Search s;
        QVERIFY(s.viewer->mnufindrecord->isEnabled());
        QVERIFY(s.window != nullptr && s.window->isVisible());
        QCOMPARE(s.window->lstFields->count(), 5);
        QCOMPARE(s.window->lstFields->item(2)->text(), QString("CUSTID"));
        QCOMPARE(s.window->lstFields->item(2)->data(Qt::UserRole).toInt(), 3);
        // With no field selected the buttons do nothing.
        s.window->txtSearchPhrase->setText("CAN");
        s.window->cmdFind_Click();
        s.window->cmdFindNext_Click();
        QVERIFY(s.host.prompt.Questions().empty());
        QCOMPARE(s.Record(), 1);
        // The selection is kept by position across a refresh.
        s.window->lstFields->setCurrentRow(4);
        s.window->RefreshFields();
        QCOMPARE(s.window->lstFields->currentRow(), 4);
    }

    void matchOnTheShownRecordIsNoMore() {
        Search s;
        s.Look("ORDERNO", "100060");
        s.window->cmdFind_Click();
        QCOMPARE(s.Record(), 60);
        s.window->mPosition = 59;  // the next search meets record 60 again
        s.window->cmdFindNext_Click();
        QCOMPARE(s.Messages(), QStringList{"Find Next Record|There are no more records to find."});
        QCOMPARE(s.Record(), 60);
    }

    // Another program taking the focus hides the window, and the viewer's
    // return brings it back. Clicking the viewer hides it and leaves the
    // viewer the keyboard; it is not brought back until asked for again.
    void hidesWithTheViewer() {
        Search s;
        QApplication::setActiveWindow(s.window);
        QApplication::setActiveWindow(nullptr);
        QVERIFY(s.window->isHidden());
        QApplication::setActiveWindow(s.viewer.get());
        QVERIFY(s.window->isVisible());
        QApplication::setActiveWindow(s.window);
        QApplication::setActiveWindow(s.viewer.get());
        QVERIFY(s.window->isHidden());
        QCOMPARE(QApplication::activeWindow(), s.viewer.get());
        QApplication::setActiveWindow(nullptr);
        QApplication::setActiveWindow(s.viewer.get());
        QVERIFY(s.window->isHidden());
        QCOMPARE(QApplication::activeWindow(), s.viewer.get());
        s.viewer->mnufindrecord->trigger();
        QVERIFY(s.window->isVisible());
    }

    void enterRunsFindFirstThenEachEnterFindsNext() {
        Search s;
        s.Look("STATUS", "CAN");
        s.viewer->MoveTo(10);
        s.window->mPosition = 20;  // Find Next would go on from here
        QTest::keyClick(s.window->txtSearchPhrase, Qt::Key_Return);
        QList<qint64> records{s.Record()};
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(s.window->focusWidget(), s.window->cmdFindNext);
            QTest::keyClick(s.window->focusWidget(), Qt::Key_Return);
            records << s.Record();
        }
        QCOMPARE(records, (QList<qint64>{3, 6, 7}));
    }

    // The phrase is looked for as the file holds its text, case ignored
    // beyond ASCII too; what the file's encoding cannot hold is refused.
    void findsText_data() {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("phrase");
        QTest::addColumn<QList<qint64>>("records");  // after Find First, then each Find Next
        QTest::addColumn<QStringList>("messages");
        const QByteArray utf8 =
            "id,name\r\n1,\xC3\x89\x63ole\r\n2,\xC3\xA9\x63ole\r\n"
            "3,M\xC3\xBCller\r\n4,10 \xE2\x82\xAC\r\n5,why?\r\n";
        const QByteArray cp1252 =
            "id,name\r\n1,\xC9\x63ole\r\n2,\xE9\x63ole\r\n"
            "3,M\xFCller\r\n4,10 \x80\r\n5,why?\r\n";
        const QStringList none{"Find Next Record|There are no more records to find."};
        QTest::newRow("nothing found")
            << utf8 << "xyz" << QList<qint64>{1, 1} << QStringList{"Not Found|No records found."} + none;
        QTest::newRow("UTF-8, lower case")
            << utf8 << "\u00E9cole" << QList<qint64>{1, 2, 2} << none;
        QTest::newRow("UTF-8, upper case")
            << utf8 << "M\u00DCLLER" << QList<qint64>{3} << QStringList{};
        QTest::newRow("UTF-8, euro") << utf8 << "\u20AC" << QList<qint64>{4} << QStringList{};
        QTest::newRow("Windows-1252, upper case")
            << cp1252 << "\u00C9COLE" << QList<qint64>{1, 2} << QStringList{};
        QTest::newRow("Windows-1252, euro")
            << cp1252 << "\u20AC" << QList<qint64>{4} << QStringList{};
        QTest::newRow("Windows-1252, CJK refused")
            << cp1252 << "\u4E2D" << QList<qint64>{1}
            << QStringList{
                   "Search|\"\u4E2D\" cannot be written in the file's encoding, "
                   "Windows-1252."};
    }
    void findsText() {
        QFETCH(QByteArray, content);
        QFETCH(QString, phrase);
        QFETCH(QList<qint64>, records);
        Search s;
        s.viewer->AddFile(s.host.Write("names.csv", content));
        s.window->RefreshFields();
        s.Look("name", phrase);
        QCOMPARE(s.Visit(records.size()), records);
        QTEST(s.Messages(), "messages");
    }
};

QTEST_MAIN(tst_viewer_search)
#include "tst_viewer_search.moc"
