// Typed fields in the engine: a copybook imported as the layout of an EBCDIC
// file, values decoded, Find comparing numbers, and the types kept in the
// connection file (which stays as before for text fields).
#include <QTemporaryDir>
#include <QtTest>

#include "components/data/engine_testfiles.h"
#include "data/connectionfile.h"
#include "data/copybookfields.h"
#include "data/file.h"

using namespace velmor::data;
using namespace enginetest;

namespace {

const char* const kCopybook =
    "       01 CUST-REC.\n"
    "          05 CUST-NAME      PIC X(6).\n"
    "          05 BALANCE        PIC S9(5)V99 COMP-3.\n"
    "          05 VISITS         PIC S9(4) COMP.\n"
    "          05 ZONE-AMT       PIC S9(3)V9 SIGN LEADING SEPARATE.\n";

// Two 17-byte records: ANNA -1234.50 3 +12.3, BJÖRN 99.99 -2 -0.5 (code page 037).
QByteArray Data() {
    return QByteArray::fromHex("C1D5D5C14040" "0123450D" "0003" "4EF0F1F2F3"
                               "C2D1ECD9D540" "0009999C" "FFFE" "60F0F0F0F5");
}

QStringList Values(const File& file) {
    QStringList values;
    for (int i = 1; i <= file.GetFields().Count(); ++i)
        values << QString::fromLatin1(file.FieldValue(i).c_str());
    return values;
}

}  // namespace

class CopybookEngineTest : public QObject {
    Q_OBJECT
private slots:
    void typedFieldsDecodeFindAndPersist();
    void connectionFileTypes_data();
    void connectionFileTypes();
    void copybookNames();
};

void CopybookEngineTest::typedFieldsDecodeFindAndPersist() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cust.ebc");
    QVERIFY(WriteBytes(path, Data()));
    {
        File file;
        QVERIFY(file.Open(path.toStdString()));
        file.SetDatabaseType("Flat EBCDIC");
        file.GetConnection().SetIsDelimited(false);
        file.GetConnection().SetIsFixed(true);
        file.GetConnection().SetRecordLength(17);
        std::string error;
        std::vector<std::string> notes;
        QVERIFY(ImportCopybook(kCopybook, {}, file.GetFields(), error, notes));
        QCOMPARE(file.RecordCount(), 2);
        file.MoveTo(2);
        QCOMPARE(Values(file), (QStringList{"BJ\u00D6RN ", "99.99", "-2", "-0.5"}));
        RecordNo position = 0;
        QCOMPARE(file.Find("BALANCE", "-1234.5", position), 1);
        position = 0;
        QCOMPARE(file.Find("ZONE-AMT", "-.5", position), 2);
        position = 0;
        QCOMPARE(file.Find("VISITS", "3.0", position), 1);
        QVERIFY(file.SaveConnection("", false));
        // A copybook that is none leaves the layout as it was.
        QVERIFY(!ImportCopybook("       01 R.\n       05 A PIC Q.\n", {}, file.GetFields(), error, notes));
        QCOMPARE(QString::fromStdString(error),
                 QString("line 2, column 17: expected a picture character (X A 9 S V P Z * + - CR DB B 0 / . , $), found 'Q'"));
        QCOMPARE(file.GetFields().Count(), 4);
    }
    File again;
    QVERIFY(again.Open(path.toStdString()));
    again.MoveTo(1);
    QCOMPARE(Values(again), (QStringList{"ANNA  ", "-1234.50", "3", "12.3"}));
    QCOMPARE(again.GetFields().Item(2)->Format().type, velmor::copybook::FieldType::Packed);
}

void CopybookEngineTest::connectionFileTypes_data() {
    QTest::addColumn<QString>("typeLine");  // appended to a two-field connection file
    QTest::addColumn<QString>("expected");  // the second field's type, or "!" and the error
    QTest::newRow("none") << "" << "";
    QTest::newRow("packed") << "FieldType=2,PIC S9(5)V99 COMP-3" << "PIC S9(5)V99 COMP-3";
    QTest::newRow("leading separate") << "FieldType=2,PIC S9(3) SIGN LEADING SEPARATE"
                                      << "PIC S9(3) SIGN LEADING SEPARATE";
    QTest::newRow("float") << "FieldType=2,COMP-2" << "COMP-2";
    QTest::newRow("index out of range") << "FieldType=3,COMP-2"
                                        << "!the field type line \"FieldType=3,COMP-2\" is damaged";
    QTest::newRow("not a picture") << "FieldType=2,PIC Q"
                                   << "!the field type line \"FieldType=2,PIC Q\" is damaged";
}

void CopybookEngineTest::connectionFileTypes() {
    QFETCH(QString, typeLine);
    QFETCH(QString, expected);
    Connection connection;
    connection.SetIsFixed(true);
    connection.SetRecordLength(10);
    Fields fields;
    fields.Add("A", 6);
    fields.Add("B", 4);
    const std::string plain = FormatConnectionFile(connection, fields, false);
    QVERIFY(plain.find("FieldType") == std::string::npos);  // as written before types existed
    ConnectionFileContent content;
    std::string error;
    const bool ok = ParseConnectionFile(plain + typeLine.toStdString() + "\r\n", content, error);
    if (expected.startsWith('!')) {
        QVERIFY(!ok);
        QCOMPARE(QString::fromStdString(error), expected.mid(1));
        return;
    }
    QVERIFY2(ok, error.c_str());
    QCOMPARE(QString::fromStdString(content.fields.at(1).type), expected);
    if (expected.isEmpty()) return;
    // Written back: the same line.
    velmor::copybook::FieldFormat format;
    QVERIFY(velmor::copybook::FormatFromClauses(content.fields.at(1).type, format, error));
    fields.Item(2)->SetFormat(format);
    QCOMPARE(QString::fromStdString(FormatConnectionFile(connection, fields, false)),
             QString::fromStdString(plain) + typeLine + "\r\n");
}

void CopybookEngineTest::copybookNames() {
    QVERIFY(IsCopybookName("/a/CUST.CPY"));
    QVERIFY(IsCopybookName("x.cob"));
    QVERIFY(IsCopybookName("x.Cbl"));
    QVERIFY(!IsCopybookName("x.cpy/y"));
    QVERIFY(!IsCopybookName("x.VelmorBasic"));
}

QTEST_GUILESS_MAIN(CopybookEngineTest)
#include "tst_copybook_engine.moc"
