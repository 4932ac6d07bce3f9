// Typed fields in the engine: a copybook imported as the layout of an EBCDIC
// file, values decoded, Find comparing numbers, and the types kept in the
// connection file (which stays as before for text fields).
#include <QTemporaryDir>
#include <QtTest>

#include "components/data/engine_testfiles.h"
#include "data/connectionfile.h"
#include "data/convert_typed.h"
#include "data/converter.h"
#include "data/copybookfields.h"
#include "data/file.h"
#include "data/filesplit.h"

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

// An open file read as EBCDIC records of 17 bytes with the copybook's layout.
bool LayOutTyped(File& file) {
    file.SetDatabaseType("Flat EBCDIC");
    file.GetConnection().SetIsDelimited(false);
    file.GetConnection().SetIsFixed(true);
    file.GetConnection().SetRecordLength(17);
    std::string error;
    std::vector<std::string> notes;
    return ImportCopybook(kCopybook, {}, file.GetFields(), error, notes);
}

// The file of Data with the copybook's layout saved as its connection.
bool WriteTypedFile(const QString& path, const QByteArray& data) {
    if (!WriteBytes(path, data)) return false;
    File file;
    return file.Open(path.toStdString()) && LayOutTyped(file) && file.SaveConnection("", false);
}

QStringList ShownValues(const File& file) {
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
    void converterWritesValues_data();
    void converterWritesValues();
    void decodingAheadKeepsOrder();
};

void CopybookEngineTest::typedFieldsDecodeFindAndPersist() {
    QTemporaryDir dir;
    const QString path = dir.filePath("cust.ebc");
    QVERIFY(WriteBytes(path, Data()));
    {
        File file;
        QVERIFY(file.Open(path.toStdString()));
        QVERIFY(LayOutTyped(file));
        QCOMPARE(file.RecordCount(), 2);
        file.MoveTo(2);
        QCOMPARE(ShownValues(file), (QStringList{"BJ\u00D6RN ", "99.99", "-2", "-0.5"}));
        RecordNo position = 0;
        QCOMPARE(file.Find("BALANCE", "-1234.5", position), 1);
        position = 0;
        QCOMPARE(file.Find("ZONE-AMT", "-.5", position), 2);
        position = 0;
        QCOMPARE(file.Find("VISITS", "3.0", position), 1);
        QVERIFY(file.SaveConnection("", false));
        // A copybook that is none leaves the layout as it was.
        std::string error;
        std::vector<std::string> notes;
        QVERIFY(!ImportCopybook("       01 R.\n       05 A PIC Q.\n", {}, file.GetFields(), error, notes));
        QVERIFY(QString::fromStdString(error).startsWith("line 2, column 17: "));
        QCOMPARE(file.GetFields().Count(), 4);
    }
    File again;
    QVERIFY(again.Open(path.toStdString()));
    again.MoveTo(1);
    QCOMPARE(ShownValues(again), (QStringList{"ANNA  ", "-1234.50", "3", "12.3"}));
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
    for (const char* name : {"/a/CUST.CPY", "x.cob", "x.Cbl"}) QVERIFY(IsCopybookName(name));
    for (const char* name : {"x.cpy/y", "x.VelmorBasic"}) QVERIFY(!IsCopybookName(name));
}

void CopybookEngineTest::converterWritesValues_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QByteArray>("expected");  // after the header of a dBase table
    // The third record's BALANCE has a bad digit nibble: shown as such, blank in dBase.
    QTest::newRow("csv") << "out.csv"
                         << QByteArray("ANNA,-1234.50,3,12.3\r\nBJ\xD6RN,99.99,-2,-0.5\r\n"
                                       "CARL,?01A3450C,0,0.0\r\n");
    QTest::newRow("fixed, numbers right-aligned") << "out.txt"
        << QByteArray("ANNA   -1234.50     3       12.3\r\nBJ\xD6RN     99.99    -2       -0.5\r\n"
                      "CARL  ?01A3450C     0        0.0\r\n");
    QTest::newRow("dbase, numeric fields") << "out.dbf"
        << QByteArray(" ANNA -1234.50 312.3 BJ\xD6RN   99.99-2-0.5 CARL          0 0.0\x1A");
}

void CopybookEngineTest::converterWritesValues() {
    QFETCH(QString, target);
    QFETCH(QByteArray, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("cust.ebc");
    QVERIFY(WriteTypedFile(path, Data() + QByteArray::fromHex("C3C1D9D34040" "01A3450C" "0000" "4EF0F0F0F0")));
    Converter converter;
    converter.SetIsFixed(target.endsWith(".txt"));
    converter.SetIsDelimited(!target.endsWith(".txt"));
    converter.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
    converter.SetFieldDelimiterRepresentation("CHR$(44)");
    converter.SetTextQualifierRepresentation("CHR$(34)");
    QVERIFY(converter.Convert(path.toStdString(), dir.filePath(target).toStdString()));
    QByteArray written = ReadBytes(dir.filePath(target));
    if (target.endsWith(".dbf")) {
        // Header: 32 bytes, 4 descriptors, terminator. Types and decimals.
        QCOMPARE(written.size(), 32 + 4 * 32 + 1 + expected.size());
        QByteArray types, decimals;
        for (int i = 0; i < 4; ++i) {
            types += written[32 + 32 * i + 11];
            decimals += char('0' + written[32 + 32 * i + 17]);
        }
        QCOMPARE(types, QByteArray("CNNN"));
        QCOMPARE(decimals, QByteArray("0201"));
        written = written.mid(32 + 4 * 32 + 1);
    }
    QCOMPARE(written, expected);
}

// Decoding a block ahead on a second thread hands out the records in the
// order, and with the values, of one thread.
void CopybookEngineTest::decodingAheadKeepsOrder() {
    QTemporaryDir dir;
    const QString path = dir.filePath("many.ebc");
    QByteArray data;
    for (int i = 0; i < 70000; ++i) data += Data().mid((i % 2) * 17, 17);
    QVERIFY(WriteBytes(path, data));
    SplitPolicy& policy = TwoThreadSplitting();
    const SplitPolicy saved = policy;
    policy.smallest = 1;
    File file;
    QVERIFY(WriteTypedFile(path, data) && file.Open(path.toStdString()));
    std::string joined[2];
    for (int threads : {1, 2}) {
        TypedStream stream(path.toStdString(), 0, 17, 70000,
                           TypedRecords::ForFields(file.GetFields(), 17, true));
        stream.SetThreads(threads);
        QVERIFY(stream.Rewind());
        RecordNo n = 0;
        while (const Values* v = stream.Next()) {
            ++n;
            joined[threads - 1].append((*v)[1]).push_back(';');
        }
        QCOMPARE(n, 70000);
    }
    QCOMPARE(joined[1], joined[0]);
    QVERIFY(joined[0].rfind("-1234.50;99.99;-1234.50;", 0) == 0);
    // Delimited blocks written by the decoding threads: the same records,
    // text trimmed, a value holding a delimiter qualified, or refused
    // (with its record number) when there is no qualifier.
    struct Case {
        DelimitedFormat format;
        std::string pair;  // the two records
        RecordNo unwritable;
    };
    const Case cases[] = {
        {{"\r\n", ",", "\""}, "ANNA,-1234.50,3,12.3\r\nBJ\xD6RN,99.99,-2,-0.5\r\n", 0},
        {{"\n", "N", "'"}, "'ANNA'N-1234.50N3N12.3\n'BJ\xD6RN'N99.99N-2N-0.5\n", 0},
        {{"\n", ".", ""}, "", 1},
    };
    for (const Case& c : cases) {
        for (int threads : {1, 2}) {
            TypedStream stream(path.toStdString(), 0, 17, 70000,
                               TypedRecords::ForFields(file.GetFields(), 17, true));
            stream.SetThreads(threads);
            stream.SetDelimited(&c.format, true);
            QVERIFY(stream.Rewind());
            std::string text;
            std::string_view block;
            RecordNo records = 0, n = 0;
            while (stream.NextDelimited(block, records)) {
                text.append(block);
                n += records;
            }
            QCOMPARE(stream.Unwritable(), c.unwritable);
            QCOMPARE(n, c.unwritable > 0 ? 0 : 70000);
            std::string expected;
            for (int i = 0; c.unwritable == 0 && i < 35000; ++i) expected += c.pair;
            QVERIFY(text == expected);
        }
    }
    policy = saved;
}

QTEST_GUILESS_MAIN(CopybookEngineTest)
#include "tst_copybook_engine.moc"
