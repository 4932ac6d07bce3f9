// The representation composer: its table, the order in which picked
// characters are joined, and what it hands back to its caller.
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include "app/global.h"
#include "editors/frmStringRepresentation.h"
#include "editors/representationtable.h"

using namespace velmor;
using velmor::editors::frmStringRepresentation;

class EditorsComposerTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void tableHasEveryCode_data();
    void tableHasEveryCode();
    void pickedCharactersJoinInAscendingOrder_data();
    void pickedCharactersJoinInAscendingOrder();
    void sharedTextGoesInAndComesBack();
};

void EditorsComposerTest::init() {
    Global::StringRepresentation.clear();
}

void EditorsComposerTest::tableHasEveryCode_data() {
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("row");
    QTest::newRow("null shows code 1") << 0 << QString("0\t0\t") + QChar(1) + "\tNull";
    QTest::newRow("tab shows code 1") << 9 << QString("9\t9\t") + QChar(1) + "\tTab";
    QTest::newRow("line feed") << 10 << QString("A\t10\t") + QChar(10) + "\tLine Feed";
    QTest::newRow("carriage return") << 13 << QString("D\t13\t") + QChar(13) + "\tCarriage Return";
    QTest::newRow("space") << 32 << QString("20\t32\t \tSpace");
    QTest::newRow("quotation") << 34 << QString("22\t34\t\"\tQuotation");
    QTest::newRow("comma") << 44 << QString("2C\t44\t,\tComma");
    QTest::newRow("plain letter") << 65 << QString("41\t65\tA");
    QTest::newRow("upper half") << 255 << QString("FF\t255\t") + QChar(0xFF);
    QTest::newRow("euro sign of Windows-1252") << 128 << QString("80\t128\t") + QChar(0x20AC);
    QTest::newRow("last of the 1252 row") << 159 << QString("9F\t159\t") + QChar(0x0178);
    QTest::newRow("undefined in 1252") << 129 << QString("81\t129\t") + QChar(1);
}

void EditorsComposerTest::tableHasEveryCode() {
    QFETCH(int, code);
    QFETCH(QString, row);
    frmStringRepresentation form;
    QCOMPARE(form.lstCharacters->count(), 256);
    QCOMPARE(form.lstCharacters->item(code)->text(), row);
    QCOMPARE(form.lstCharacters->item(code)->data(Qt::UserRole).toInt(), code);
    QCOMPARE(form.windowTitle(), QString("String Representation"));
}

void EditorsComposerTest::pickedCharactersJoinInAscendingOrder_data() {
    QTest::addColumn<bool>("replace");
    QTest::addColumn<QString>("before");
    QTest::addColumn<QList<int>>("picked");
    QTest::addColumn<QString>("after");
    QTest::newRow("clicked 13 then 10")
        << false << "" << QList<int>{13, 10} << "CHR$(10) & CHR$(13)";
    QTest::newRow("appended to a term")
        << false << "CHR$(13)" << QList<int>{10} << "CHR$(13) & CHR$(10)";
    QTest::newRow("trimmed before the separator")
        << false << "  CHR$(9)  " << QList<int>{44} << "CHR$(9) & CHR$(44)";
    QTest::newRow("blanks only hold no term") << false << "   " << QList<int>{44} << "CHR$(44)";
    QTest::newRow("null and the top code")
        << false << "" << QList<int>{255, 0} << "CHR$(0) & CHR$(255)";
    QTest::newRow("nothing picked keeps the text")
        << false << "  CHR$(9) " << QList<int>{} << "  CHR$(9) ";
    QTest::newRow("replace takes the picked only")
        << true << "CHR$(13)" << QList<int>{44, 34} << "CHR$(34) & CHR$(44)";
    QTest::newRow("replace with nothing picked empties")
        << true << "CHR$(13) & CHR$(10)" << QList<int>{} << "";
}

void EditorsComposerTest::pickedCharactersJoinInAscendingOrder() {
    QFETCH(bool, replace);
    QFETCH(QString, before);
    QFETCH(QList<int>, picked);
    QFETCH(QString, after);
    frmStringRepresentation form;
    form.txtStringRepresentation->setText(before);
    for (int code : picked) form.lstCharacters->item(code)->setSelected(true);
    replace ? form.cmdreplace_Click() : form.cmdAdd_Click();
    QCOMPARE(form.txtStringRepresentation->text(), after);
    QCOMPARE(Global::StringRepresentation, after);
    QVERIFY(form.lstCharacters->selectedItems().isEmpty());
    if (replace) return;
    form.cmdAdd_Click();  // nothing picked any more: nothing added
    QCOMPARE(form.txtStringRepresentation->text(), after);
}

void EditorsComposerTest::sharedTextGoesInAndComesBack() {
    Global::StringRepresentation = "CHR$(13) & CHR$(10)";
    frmStringRepresentation form;
    form.show();
    QCOMPARE(form.txtStringRepresentation->text(), QString("CHR$(13) & CHR$(10)"));
    form.txtStringRepresentation->setText("anything at all & more");
    form.cmddone_Click();
    QCOMPARE(Global::StringRepresentation, QString("anything at all & more"));
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

QTEST_MAIN(EditorsComposerTest)
#include "tst_editors_composer.moc"
