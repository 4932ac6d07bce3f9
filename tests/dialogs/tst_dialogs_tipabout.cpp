// The tip of the day and the about box.
#include <QCheckBox>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "app/userprompt.h"
#include "dialogs/frmAbout.h"
#include "dialogs/frmTip.h"

using velmor::frmAbout;
using velmor::frmTip;

namespace {
void WriteTips(const QString& folder, const QByteArray& text) {
    QFile f(folder + QStringLiteral("/TIPOFDAY.TXT"));
    if (f.open(QIODevice::WriteOnly)) f.write(text);
}
}  // namespace

class TestDialogsTipAbout : public QObject {
    Q_OBJECT
private slots:
    void missingFileExplainsItself();
    void everyLineIsATip_data();
    void everyLineIsATip();
    void nextTipPicksAmongAllLines();
    void shippedTipsFileIsReadable();
    void aboutNamesTheProgramAndVersion();
    void aboutLinkOpensTheBrowser();
    void aboutShowsTheProgramIcon();
};

void TestDialogsTipAbout::missingFileExplainsItself() {
    QTemporaryDir dir;
    velmor::Global::SetProgramFolder(dir.path());
    frmTip tip;
    QCOMPARE(tip.windowTitle(), QStringLiteral("Tip of the Day"));
    QVERIFY(tip.chkLoadTipsAtStartup->isChecked());
    QCOMPARE(tip.chkLoadTipsAtStartup->text(), QStringLiteral("&Show Tips at Startup"));
    const QString expected = QStringLiteral(
        "That the TIPOFDAY.TXT file was not found? \n\nCreate a text file named TIPOFDAY.TXT using "
        "NotePad with 1 tip per line. Then place it in the same directory as the application. ");
    QCOMPARE(tip.lblTipText->text(), expected);
    tip.cmdNextTip_Click();
    QCOMPARE(tip.lblTipText->text(), expected);
    QVERIFY(!tip.LoadTips(QString()));
}

void TestDialogsTipAbout::everyLineIsATip_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("tips");
    QTest::newRow("one line") << QByteArray("Only this one.\r\n") << QStringList{"Only this one."};
    QTest::newRow("empty lines and blanks kept") << QByteArray("first\r\n\r\n  third  \nfourth")
                                                 << QStringList{"first", "", "  third  ", "fourth"};
    QTest::newRow("each line in its own encoding")
        << QByteArray("Caf\xc3\xa9\r\nGar\xe7on \x80\r\n")
        << QStringList{QString::fromUtf8("Caf\xc3\xa9"),
                       QString::fromUtf8("Gar\xc3\xa7on \xe2\x82\xac")};
    QTest::newRow("markup is shown as written")
        << QByteArray("<b>x</b> &amp; y") << QStringList{"<b>x</b> &amp; y"};
}

void TestDialogsTipAbout::everyLineIsATip() {
    QFETCH(QByteArray, file);
    QFETCH(QStringList, tips);
    QTemporaryDir dir;
    velmor::Global::SetProgramFolder(dir.path());
    WriteTips(dir.path(), file);
    frmTip tip;
    QCOMPARE(tip.Tips(), tips);
    if (tips.size() != 1) return;
    for (int i = 0; i < 10; ++i) {
        tip.cmdNextTip_Click();
        QCOMPARE(tip.CurrentTip(), 1);
        QCOMPARE(tip.lblTipText->text(), tips[0]);
        QCOMPARE(tip.lblTipText->textFormat(), Qt::PlainText);
    }
}

void TestDialogsTipAbout::nextTipPicksAmongAllLines() {
    QTemporaryDir dir;
    velmor::Global::SetProgramFolder(dir.path());
    WriteTips(dir.path(), "a\nb\nc\n");
    frmTip tip;
    QSet<QString> seen;
    for (int i = 0; i < 200; ++i) {
        tip.cmdNextTip_Click();
        QVERIFY(tip.CurrentTip() >= 1 && tip.CurrentTip() <= 3);
        seen.insert(tip.lblTipText->text());
    }
    QCOMPARE(seen, (QSet<QString>{"a", "b", "c"}));
}

void TestDialogsTipAbout::shippedTipsFileIsReadable() {
    frmTip tip;
    QVERIFY(tip.LoadTips(QStringLiteral(VELMOR_TEST_DATA "/../../dialogs/TIPOFDAY.TXT")));
    QVERIFY(tip.Tips().size() >= 5);
    for (const QString& t : tip.Tips()) QVERIFY(!t.trimmed().isEmpty());
}

void TestDialogsTipAbout::aboutNamesTheProgramAndVersion() {
    frmAbout about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Velmor_Dravik"));
    QCOMPARE(about.lblTitle->text(), QStringLiteral("Velmor_Dravik"));
    QVERIFY(QRegularExpression(QStringLiteral("^Version \\d+\\.\\d+\\.\\d+$"))
                .match(about.lblVersion->text())
                .hasMatch());
    QVERIFY(!about.lblDescription->text().isEmpty());
}

void TestDialogsTipAbout::aboutLinkOpensTheBrowser() {
    velmor::ScriptedUserPrompt prompt;
    velmor::SetPrompt(&prompt);
    frmAbout about;
    about.SetLinkHot(true);
    QVERIFY(about.lblLink->styleSheet().contains(QStringLiteral("#FF00FF")));
    about.SetLinkHot(false);
    QVERIFY(about.lblLink->styleSheet().contains(QStringLiteral("#0000FF")));
    prompt.SetLaunchResult(false);  // a browser that does not start changes nothing
    about.lblLink_Click();
    QCOMPARE(prompt.Questions().size(), size_t(1));
    QCOMPARE(prompt.Questions()[0].kind, velmor::ScriptedUserPrompt::Asked::Kind::Url);
    QCOMPARE(prompt.Questions()[0].text, frmAbout::MakerAddress());
    velmor::SetPrompt(nullptr);
}

void TestDialogsTipAbout::aboutShowsTheProgramIcon() {
    frmAbout about;
    const QImage shipped(QStringLiteral(VELMOR_TEST_DATA
                                        "/../../desktop/icons/hicolor/48x48/apps/velmor_dravik.png"));
    QVERIFY(!shipped.isNull());
    const auto premultiplied = QImage::Format_ARGB32_Premultiplied;
    QCOMPARE(about.picIcon->pixmap().toImage().convertToFormat(premultiplied),
             shipped.convertToFormat(premultiplied));
    QVERIFY(!about.windowIcon().isNull());
}

QTEST_MAIN(TestDialogsTipAbout)
#include "tst_dialogs_tipabout.moc"
