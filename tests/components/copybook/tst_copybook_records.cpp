// Record formats read from hand-built bytes: fixed, RDW (both byte orders),
// blocked with BDW, and every kind of damaged length, by the streaming reader
// and by the engine's File (count, MoveTo, the message at the damage); large
// files through the buffers and the index; detection; the connection file.
#include <QTemporaryDir>
#include <QtTest>

#include "copybook/recordformat.h"
#include "data/connectionfile.h"
#include "data/file.h"
#include "data/variablerecords.h"

using namespace velmor::copybook;
using velmor::data::File;

namespace {

QByteArray ReadFileText(const std::string& path) {
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

QString Hex(const std::string& bytes) {
    return bytes.empty() ? QString("-") : QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())).toHex().toUpper();
}

// Opens Path as variable records of Format; Errors gathers what the engine says.
bool OpenVariable(File& file, const QString& path, RecordFormat format, QStringList& errors) {
    file.OnError = [&errors](const std::string& text, bool& cancel) {
        errors << QString::fromStdString(text);
        cancel = true;
    };
    if (!file.Open(path.toStdString())) return false;
    velmor::data::Connection c;
    file.CopyConnectionTo(c);
    c.SetDatabaseTypeName("Flat ASCII");
    c.SetIsDelimited(false);
    c.SetIsFixed(true);
    c.SetByteOffset(0);
    c.SetRecordFormat(format);
    errors.clear();
    if (c.SameSettings(file.GetConnection())) file.Refresh();
    else file.CopyConnectionFrom(c);
    return true;
}

}  // namespace

class CopybookRecordsTest : public QObject {
    Q_OBJECT
private slots:
    void formats_data();
    void formats();
    void largeFiles_data();
    void largeFiles();
    void detection_data();
    void detection();
    void connectionFile();
};

void CopybookRecordsTest::formats_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("expected");  // records in hex, then "!" and the problem
    auto h = [](const char* hex) { return QByteArray::fromHex(hex); };
    QTest::newRow("fixed, short last") << "fixed" << h("C1C2C3C4C5") << "C1C2 C3C4 C5";
    QTest::newRow("rdw") << "rdw" << h("00060000C1C2 00050000C3 00040000") << "C1C2 C3 -";
    QTest::newRow("rdw little-endian") << "rdw-le" << h("06000000C1C2 05000000C3") << "C1C2 C3";
    QTest::newRow("bdw") << "bdw" << h("000F0000 00060000C1C2 00050000C3 000A0000 00060000C4C5")
                         << "C1C2 C3 C4C5";
    QTest::newRow("rdw length below 4")
        << "rdw" << h("00050000C1 00030000C2")
        << "C1 !Record 2 at byte 5: the record length 3 is less than 4; reading stops before it.";
    QTest::newRow("rdw zero length")
        << "rdw" << h("00000000") << "!Record 1 at byte 0: the record length 0 is less than 4; reading stops before it.";
    QTest::newRow("rdw past the end")
        << "rdw" << h("00050000C1 00090000C2C3")
        << "C1 !Record 2 at byte 5: the record length 9 runs past the end of the file (6 bytes left); "
           "reading stops before it.";
    QTest::newRow("rdw spare bytes not zero")
        << "rdw" << h("00050001C1")
        << "!Record 1 at byte 0: the two bytes after the record length 5 are not zero; reading stops before it.";
    QTest::newRow("rdw cut inside the descriptor")
        << "rdw" << h("00050000C1 0005")
        << "C1 !Record 2 at byte 5: the file ends inside a record descriptor word; reading stops before it.";
    QTest::newRow("bdw record past its block")
        << "bdw" << h("00080000 00060000C1C2")
        << "!Record 1 at byte 4: the record length 6 runs past the end of its block; reading stops before it.";
    QTest::newRow("bdw block length below 4")
        << "bdw" << h("00020000") << "!Record 1 at byte 0: the block length 2 is less than 4; reading stops before it.";
    QTest::newRow("bdw empty block") << "bdw" << h("00040000 000A0000 00060000C4C5") << "C4C5";
    QTest::newRow("bdw cut inside its block")
        << "bdw" << h("000F0000 00060000C1C2")
        << "C1C2 !Record 2 at byte 10: the file ends inside a block; reading stops before it.";
}

void CopybookRecordsTest::formats() {
    QFETCH(QString, format);
    QFETCH(QByteArray, bytes);
    QFETCH(QString, expected);
    RecordFormat f;
    QVERIFY(RecordFormatFromName(format.toStdString(), f));
    RecordReader reader;
    reader.OpenBytes(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())), f, 2);
    QStringList seen;
    std::string_view record;
    while (reader.Next(record))
        seen << (record.empty() ? QString("-") : QByteArray(record.data(), static_cast<qsizetype>(record.size())).toHex().toUpper());
    if (!reader.Problem().empty()) seen << "!" + QString::fromStdString(reader.Problem());
    QCOMPARE(seen.join(' '), expected);
    if (f == RecordFormat::Fixed) return;
    // The engine stops at the same record with the same words, and hands out
    // the same records by number.
    QTemporaryDir dir;
    QVERIFY(Write(dir.filePath("v.dat"), bytes));
    File file;
    QStringList errors;
    QVERIFY(OpenVariable(file, dir.filePath("v.dat"), f, errors));
    // With no readable record nothing is shown to ask for one: the damage
    // is told at once, and once only.
    QCOMPARE(errors.size(), reader.RecordNumber() == 0 && !reader.Problem().empty() ? 1 : 0);
    file.MoveLast();
    QCOMPARE(file.RecordCount(), reader.RecordNumber());
    QCOMPARE(errors.size(), reader.Problem().empty() ? 0 : 1);
    if (!reader.Problem().empty()) QVERIFY2(errors.join('|').endsWith(QString::fromStdString(reader.Problem())), qPrintable(errors.join('|')));
    QStringList engine;
    for (int r = 1; r <= file.RecordCount(); ++r) {
        file.MoveTo(r);
        engine << Hex(file.RecordText());
    }
    file.MoveTo(file.RecordCount() + 1);
    QVERIFY(file.AtEnd());
    QCOMPARE(engine, seen.mid(0, engine.size()));
}

void CopybookRecordsTest::largeFiles_data() {
    QTest::addColumn<QString>("format");
    QTest::newRow("rdw") << "rdw";
    QTest::newRow("rdw-le") << "rdw-le";
    QTest::newRow("bdw") << "bdw";
}

void CopybookRecordsTest::largeFiles() {
    // Records of every length from 4 to 3003 bytes cross the buffers many
    // times over and the index's checkpoints (every 64th record); each holds
    // its own number. BDW blocks hold as many records as fit 32000 bytes.
    QFETCH(QString, format);
    RecordFormat f;
    QVERIFY(RecordFormatFromName(format.toStdString(), f));
    QTemporaryDir dir;
    const QString path = dir.filePath("v.dat");
    QByteArray all, block;
    auto word = [&](int length) {
        QByteArray w(4, '\0');
        w[f == RecordFormat::RdwLittleEndian ? 1 : 0] = static_cast<char>(length >> 8);
        w[f == RecordFormat::RdwLittleEndian ? 0 : 1] = static_cast<char>(length & 0xFF);
        return w;
    };
    auto closeBlock = [&] {
        if (!block.isEmpty()) all += word(block.size() + 4) + block;
        block.clear();
    };
    for (int n = 0; n < 3000; ++n) {
        const QByteArray rec = word(4 + n) + QByteArray(n, static_cast<char>(n % 251));
        if (f != RecordFormat::Bdw) {
            all += rec;
            continue;
        }
        if (block.size() + rec.size() > 32000) closeBlock();
        block += rec;
    }
    closeBlock();
    QVERIFY(Write(path, all));
    RecordReader reader;
    std::string error;
    QVERIFY(reader.Open(path.toStdString(), f, 0, 0, error));
    std::string_view record;
    for (int n = 0; n < 3000; ++n) {
        QVERIFY(reader.Next(record));
        QCOMPARE(reader.RecordNumber(), n + 1);
        QCOMPARE(record.size(), static_cast<size_t>(n));
        QVERIFY(record.find_first_not_of(static_cast<char>(n % 251)) == std::string_view::npos);
    }
    QVERIFY(!reader.Next(record));
    QVERIFY(reader.Problem().empty());
    // The engine, forwards, backwards and across checkpoints.
    File file;
    QStringList errors;
    QVERIFY(OpenVariable(file, path, f, errors));
    QCOMPARE(file.GetConnection().RecordLength(), 999);  // the longest of the first 1000
    for (int r : {3000, 1, 65, 64, 129, 2000, 1999, 2001, 3000}) {
        file.MoveTo(r);
        QVERIFY(!file.AtEnd());
        const std::string text = file.RecordText();
        QCOMPARE(text.size(), static_cast<size_t>(r - 1));
        QVERIFY(text.find_first_not_of(static_cast<char>((r - 1) % 251)) == std::string::npos);
    }
    QCOMPARE(file.RecordCount(), 3000);
    QCOMPARE(file.GetConnection().RecordLength(), 2999);
    QVERIFY(errors.isEmpty());
    file.CloseFile();
    // Counting on after the index was saved marks it for saving again, to
    // the end of the file as much as to a record.
    velmor::data::DataReader data;
    QVERIFY(data.Open(path.toStdString(), error));
    velmor::data::VariableRecords records(data, f, 0);
    records.CountTo(100);
    records.Index().changed = false;
    records.CountTo(INT64_MAX);
    QVERIFY(records.Complete() && records.Index().changed);
    // Opened again, the file reuses its index (BDW with its blocks' ends):
    // the whole count is known at once, and the damage after the last record
    // is found and told again. Changed since (same size, other bytes), the
    // index is counted afresh, never trusted.
    QVERIFY(Write(path, all + QByteArray::fromHex("00020000")));
    for (int pass = 0; pass < 3; ++pass) {
        if (pass == 2) QVERIFY(Write(path, all + QByteArray::fromHex("00030000")));
        File again;
        QVERIFY(OpenVariable(again, path, f, errors));
        QCOMPARE(again.RecordCount(), pass == 1 ? 3000 : 1000);
        for (int r : {2001, 1999, 129, 64}) {
            again.MoveTo(r);
            const std::string text = again.RecordText();
            QCOMPARE(text.size(), static_cast<size_t>(r - 1));
            QVERIFY(text.find_first_not_of(static_cast<char>((r - 1) % 251)) == std::string::npos);
        }
        again.MoveLast();
        QCOMPARE(again.RecordCount(), 3000);
        QCOMPARE(errors.size(), 1);
        QVERIFY2(errors[0].contains("Record 3001 at byte"), qPrintable(errors[0]));
    }
}

void CopybookRecordsTest::detection_data() {
    QTest::addColumn<QByteArray>("sample");
    QTest::addColumn<bool>("whole");
    QTest::addColumn<QString>("expected");
    auto h = [](const char* hex) { return QByteArray::fromHex(hex); };
    QTest::newRow("chains to the end") << h("00060000C1C2 00050000C3") << true << "rdw";
    QTest::newRow("little-endian") << h("06000000C1C2 05000000C3") << true << "rdw-le";
    QTest::newRow("blocks") << h("000F0000 00060000C1C2 00050000C3 000A0000 00060000C4C5") << true << "bdw";
    QTest::newRow("runs on past a sample") << h("00060000C1C2 00050000C3 00090000C1") << false << "rdw";
    QTest::newRow("cut in a whole file") << h("00060000C1C2 00050000C3 00090000C1") << true << "fixed";
    QTest::newRow("one record is no chain") << h("00060000C1C2") << true << "fixed";
    QTest::newRow("text") << QByteArray("hello world\nhello world\n") << false << "fixed";
    QTest::newRow("UTF-16 text") << QByteArray("\0h\0e\0l\0l\0o\0\n\0h\0i\0\n", 18) << true << "fixed";
    QTest::newRow("spare bytes set") << h("00060001C1C2 00050000C3") << true << "fixed";
}

void CopybookRecordsTest::detection() {
    QFETCH(QByteArray, sample);
    QFETCH(bool, whole);
    QFETCH(QString, expected);
    QCOMPARE(RecordFormatName(ProposedRecordFormat(sample.toStdString(), whole)), expected);
    if (!whole) return;
    // Opening the file without a connection proposes the same, EBCDIC when its
    // blanks are EBCDIC's; a fixed file type gives way to chaining lengths.
    QTemporaryDir dir;
    for (const char* name : {"s.bin", "s.dat"}) {
        const QString path = dir.filePath(name);
        QVERIFY(Write(path, sample));
        File file;
        velmor::data::Connection& flat = file.GetFileTypes().Add("Flat Files");
        flat.SetExtensions("dat");
        flat.SetIsFixed(true);
        flat.SetRecordLength(80);
        QVERIFY(file.Open(path.toStdString()));
        const bool variable = expected != "fixed";
        QCOMPARE(file.GetConnection().IsVariable(), variable);
        if (variable) QCOMPARE(RecordFormatName(file.GetConnection().RecordFormat()), expected);
    }
}

void CopybookRecordsTest::connectionFile() {
    // A saved variable connection names its format; a fixed one is written
    // without the key, as before it existed.
    QTemporaryDir dir;
    const QString path = dir.filePath("v.dat");
    QVERIFY(Write(path, QByteArray::fromHex("00060000C1C2 00050000C3 00050000C4")));
    {
        File file;
        QStringList errors;
        QVERIFY(OpenVariable(file, path, RecordFormat::RdwLittleEndian, errors));
        file.GetConnection().SetRecordFormat(RecordFormat::Rdw);
        QVERIFY(file.SaveConnection("", false));
        const QString text = QString::fromLatin1(ReadFileText(file.ConnectionPathAndName()));
        QVERIFY2(text.contains("ByteOffset=0\r\nRecordFormat=rdw\r\n"), qPrintable(text));
        file.GetConnection().SetRecordFormat(RecordFormat::Fixed);
        QVERIFY(!QString::fromStdString(velmor::data::FormatConnectionFile(
                    file.GetConnection(), file.GetFields(), false)).contains("RecordFormat"));
    }
    File again;
    QVERIFY(again.Open(path.toStdString()));
    QCOMPARE(again.GetConnection().RecordFormat(), RecordFormat::Rdw);
    velmor::data::ConnectionFileContent content;
    std::string error;
    QVERIFY(!velmor::data::ParseConnectionFile("[Velmor Data Connection]\r\nRecordFormat=vb\r\n", content, error));
}

QTEST_GUILESS_MAIN(CopybookRecordsTest)
#include "tst_copybook_records.moc"
