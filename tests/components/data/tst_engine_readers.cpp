// The same expectations for every kind of record division: fixed-length,
// delimited and dBase files holding the same records; and the layout of
// fields itself. (Adding, splitting and the boxes kept in step: through the
// field editor, tst_editors_fields.)
#include <QTemporaryDir>
#include <QtTest>

#include "data/fields.h"
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

// "NAME:start-end" for every field, in index order.
QString Layout(const Fields& fields) {
    QStringList parts;
    for (int i = 1; i <= fields.Count(); ++i) {
        const Field* f = fields.Item(i);
        if (f->EndingPosition() != f->StartingPosition() + f->Length() - 1 || f->Index() != i)
            parts << QStringLiteral("inconsistent");
        parts << QStringLiteral("%1:%2-%3")
                     .arg(QString::fromStdString(f->Name()))
                     .arg(f->StartingPosition())
                     .arg(f->EndingPosition());
    }
    return parts.join(' ');
}

void AddAll(Fields& fields, const QList<QPair<QString, int>>& items) {
    for (auto& [name, length] : items) fields.Add(name.toStdString(), length);
}

}  // namespace

class TestEngineReaders : public QObject {
    Q_OBJECT

private slots:
    void layoutAndValues_data() { AddReaders(); }
    void layoutAndValues();
    void findEveryMatch_data() { AddReaders(); }
    void findEveryMatch();

    void itemByIndexAndName() {
        Fields fields;
        AddAll(fields, {{"Name", 5}, {"City", 4}});
        QVERIFY(fields.Item(0) == nullptr);
        QVERIFY(fields.Item(3) == nullptr);
        QCOMPARE(fields.Item("CITY"), fields.Item(2));
        QCOMPARE(fields.IndexOf("name"), 1);
        QVERIFY(fields.Exists("nAmE"));
        QVERIFY(!fields.Exists("Zip"));
        QVERIFY(fields.Item("Zip") == nullptr);
        QCOMPARE(fields.Item(1)->Value(), std::string());  // no file behind the layout
        fields.Insert(99, "END", 1);  // past the last: at the end
        QCOMPARE(Layout(fields), QString("Name:1-5 City:6-9 END:10-10"));
    }

    void deleteClosesTheGap_data() {
        QTest::addColumn<int>("deleted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first") << 1 << "B:1-3 C:4-7 D:10-10";
        QTest::newRow("middle") << 2 << "A:1-5 C:6-9 D:12-12";
        QTest::newRow("last") << 4 << "A:1-5 B:6-8 C:9-12";
    }

    void deleteClosesTheGap() {
        QFETCH(int, deleted);
        QFETCH(QString, expected);
        Fields fields;
        AddAll(fields, {{"A", 5}, {"B", 3}, {"C", 4}});
        fields.Add("D", 1, "", 15);  // a gap before D is kept
        // The field editor's delete: each following field shifts to its predecessor.
        for (int i = deleted; i < fields.Count(); ++i) fields.Item(i + 1)->ShiftTo(*fields.Item(i));
        QVERIFY(fields.Remove(deleted));
        QCOMPARE(Layout(fields), expected);
        QVERIFY(!fields.Remove(0));
        QVERIFY(!fields.Remove(fields.Count() + 1));
    }

    void sortAndLastField() {
        Fields fields;
        QCOMPARE(fields.LastField(), 0);
        fields.Add("C", 2, "", 20);
        fields.Add("A", 30, "", 1);
        fields.Add("B", 2, "", 5);
        QCOMPARE(fields.LastField(), 2);
        fields.Sort();
        QCOMPARE(Layout(fields), QString("A:1-30 B:5-6 C:20-21"));
        QCOMPARE(fields.LastField(), 1);
    }

    void copyFromAndHook() {
        Fields source, target;
        AddAll(source, {{"X", 2}, {"Y", 3}});
        int changes = 0;
        target.SetChangeHook([&] { ++changes; });
        target.Add("old", 1);
        target.CopyFrom(source);
        QCOMPARE(Layout(target), QString("X:1-2 Y:3-5"));
        QVERIFY(changes >= 2);
        int before = changes;
        target.Item(1)->SetName("X");  // unchanged value: no notification
        QCOMPARE(changes, before);
        target.Item(1)->SetName("Q");
        QCOMPARE(changes, before + 1);
        QCOMPARE(source.Item(1)->Name(), std::string("X"));
    }
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
