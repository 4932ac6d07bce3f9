// The same expectations for every kind of record division: fixed-length,
// delimited and dBase files holding the same records.
#include <QTemporaryDir>
#include <QtTest>

#include "data/file.h"
#include "engine_testfiles.h"

using namespace velmor::data;
using namespace enginetest;

namespace {

enum class Reader { Fixed, Delimited, Dbase };

const QStringList kNames{"CODE", "CITY", "AMOUNT"};
const QList<int> kWidths{6, 12, 8};

QList<QStringList> Rows(int count) {
    QList<QStringList> rows;
    for (int i = 1; i <= count; ++i) {
        QString city =
            i % 97 == 0 ? QStringLiteral("Needle Town") : QStringLiteral("City%1").arg(i % 13);
        rows << QStringList{QStringLiteral("C%1").arg(i), city, QString::number(i * 7)};
    }
    return rows;
}

// Writes the rows as a file of that kind and opens it the way a user would:
// the fixed file through its format file, the others by their own content.
QString Make(Reader reader, const QString& folder, const QList<QStringList>& rows) {
    QByteArray bytes;
    QString path;
    switch (reader) {
        case Reader::Fixed: {
            path = folder + "/records.dat";
            for (auto& row : rows) {
                for (int i = 0; i < 3; ++i)
                    bytes += row[i].toLatin1().leftJustified(kWidths[i], ' ', true);
                bytes += "\r\n";
            }
            WriteBytes(folder + "/records.fmt", "CODE, 6\r\nCITY, 12\r\nAMOUNT, 8\r\n");
            break;
        }
        case Reader::Delimited: {
            path = folder + "/records.csv";
            bytes = "CODE,CITY,AMOUNT\r\n";
            for (auto& row : rows) bytes += row.join(',').toLatin1() + "\r\n";
            break;
        }
        case Reader::Dbase: {
            path = folder + "/records.dbf";
            bytes = DbaseTable({{"CODE", 6}, {"CITY", 12}, {"AMOUNT", 8}}, rows);
            break;
        }
    }
    WriteBytes(path, bytes);
    return path;
}

void AddReaders() {
    QTest::addColumn<int>("reader");
    QTest::newRow("fixed") << static_cast<int>(Reader::Fixed);
    QTest::newRow("delimited") << static_cast<int>(Reader::Delimited);
    QTest::newRow("dbase") << static_cast<int>(Reader::Dbase);
}

QStringList Values(const File& file) {
    QStringList values;
    for (int i = 1; i <= file.GetFields().Count(); ++i)
        values << Str(file.GetFields().Item(i)->Value()).trimmed();
    return values;
}

}  // namespace

class TestEngineReaders : public QObject {
    Q_OBJECT

private slots:
    void layoutAndValues_data() { AddReaders(); }
    void layoutAndValues();
    void findEveryMatch_data() { AddReaders(); }
    void findEveryMatch();
};

void TestEngineReaders::layoutAndValues() {
    QFETCH(int, reader);
    QTemporaryDir dir;
    auto rows = Rows(40);
    File file;
    ErrorLog errors;
    errors.Attach(file);
    int established = 0;
    file.OnConnectionEstablished = [&] { ++established; };
    QVERIFY(file.Open(Make(static_cast<Reader>(reader), dir.path(), rows).toStdString()));
    QCOMPARE(established, 1);
    QVERIFY(file.Connected());
    QCOMPARE(errors.messages, QStringList());
    const Fields& fields = file.GetFields();
    QCOMPARE(fields.Count(), 3);
    for (int i = 1; i <= 3; ++i) QCOMPARE(Str(fields.Item(i)->Name()), kNames[i - 1]);
    file.MoveLast();
    QCOMPARE(file.RecordCount(), 40);
    QCOMPARE(file.RecordNumber(), 40);
    for (int r : {1, 2, 17, 40, 3}) {
        file.MoveTo(r);
        QVERIFY(!file.AtEnd());
        QCOMPARE(file.RecordNumber(), r);
        QCOMPARE(Values(file), rows[r - 1]);
        QCOMPARE(Str(file.FieldValue(2)).trimmed(), rows[r - 1][1]);
    }
    QVERIFY(file.GetConnection().RecordLength() > 0);
    file.MoveTo(41);
    QVERIFY(file.AtEnd());
    QCOMPARE(file.RecordText(), std::string());
    QCOMPARE(file.GetBytes(1, 5), std::string());
    file.MoveTo(40);
    QVERIFY(!file.AtEnd());
    QVERIFY(file.RecordStartByte() > 0);
    std::string text = file.RecordText();
    QCOMPARE(file.GetBytes(1, 1000), text);
    QCOMPARE(file.GetBytes(2, 3), text.substr(1, 3));
    QCOMPARE(file.GetBytes(static_cast<FilePos>(text.size()) + 1, 5), std::string());
    file.MoveTo(0);
    QCOMPARE(file.RecordNumber(), 0);
    QCOMPARE(Values(file), QStringList({"", "", ""}));
    file.CloseFile();
    QVERIFY(!file.Connected());
    QCOMPARE(file.RecordCount(), 0);
    QCOMPARE(file.PathAndName(), std::string());
}

void TestEngineReaders::findEveryMatch() {
    // Enough records that the search reads the file in several pieces.
    QFETCH(int, reader);
    QTemporaryDir dir;
    const int count = 60000;
    const QList<QStringList> rows = Rows(count);
    File file;
    ErrorLog errors;
    errors.Attach(file);
    QVERIFY(file.Open(Make(static_cast<Reader>(reader), dir.path(), rows).toStdString()));
    QList<RecordNo> found, expected;
    for (RecordNo r = 97; r <= count; r += 97) expected << r;
    RecordNo position = 0;
    file.MoveTo(5);
    while (RecordNo r = file.Find("city", "  nEEDLE ", position)) {
        QCOMPARE(position, r);
        QCOMPARE(file.RecordNumber(), 5);  // a search never moves the current record
        found << r;
    }
    QCOMPARE(Values(file), rows[4]);
    QCOMPARE(found, expected);
    position = 0;
    QCOMPARE(file.Find("CODE", "c59999", position), 59999);
    position = 0;  // held by other fields only, all through the file
    QCOMPARE(file.Find("CITY", "c5999", position), 0);
    QCOMPARE(position, 0);
    QCOMPARE(file.Find("AMOUNT", "419993", position), 59999);
    QVERIFY(errors.messages.isEmpty());
    QCOMPARE(file.Find("NoSuchField", "x", position), 0);
    QCOMPARE(errors.messages.size(), 1);
    file.MoveLast();
    QCOMPARE(file.RecordCount(), count);
}

QTEST_GUILESS_MAIN(TestEngineReaders)
#include "tst_engine_readers.moc"
