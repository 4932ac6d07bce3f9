// Opening, connection files, index files, EBCDIC, dBase headers and the
// engine's events.
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <limits>

#include "data/ebcdic.h"
#include "data/file.h"
#include "engine_testfiles.h"

using namespace velmor::data;
using namespace enginetest;

namespace {

QByteArray BigCsv(int records, int wideAt = -1) {
    QByteArray out = "ID,NAME,NOTE\r\n";
    for (int i = 1; i <= records; ++i) {
        out += QByteArray::number(i) + ",\"Name, " + QByteArray::number(i % 100) + "\",";
        out += i == wideAt ? QByteArray(300, 'w') : QByteArray("n");
        out += "\r\n";
    }
    return out;
}

void AddCsvProfile(File& file) {
    Connection& csv = file.GetFileTypes().Add("CSV");
    csv.SetExtensions("*.csv");
    csv.SetIsDelimited(true);
    csv.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
    csv.SetFieldDelimiterRepresentation("CHR$(44)");
    csv.SetTextQualifierRepresentation("CHR$(34)");
    csv.SetFirstRecordContainsFieldNames(true);
}

}  // namespace

class TestEngineFile : public QObject {
    Q_OBJECT

private slots:
    void missingFileIsReported();
    void detection_data();
    void detection();
    void profileFillsWhatItLeavesOut();
    void fixedLengthZeroGetsDetected();
    void laterZeroLengthMeansNoRecords();
    void connectionFileRoundTrip();
    void savesAreByteIdentical();
    void connectionFileFolders();
    void connectionFileBeatsFormatFile();
    void badRepresentationIsReported();
    void countingGrowsAndCancels();
    void widthsGrowWhileCounting();
    void indexIsReusedAndInvalidated();
    void ebcdicIsTranslated();
    void dbaseHeaders_data();
    void dbaseHeaders();
    void fixedPartialLastRecord();
    void reopeningAfterReset();
    void absurdNumbersAreHarmless();
    void garbageKeepsTheLayoutSmall();
    void cancelledCountStaysConsistent();
    void damagedIndexFileIsIgnored();
};

void TestEngineFile::missingFileIsReported() {
    QTemporaryDir dir;
    File file;
    ErrorLog errors;
    errors.Attach(file);
    QVERIFY(!file.Open((dir.path() + "/none.csv").toStdString()));
    QCOMPARE(errors.messages.size(), 1);
    QVERIFY(errors.messages[0].contains("none.csv"));
    QVERIFY(!file.Connected());
    QVERIFY(!file.Open(dir.path().toStdString()));  // a folder is no data file
    QCOMPARE(errors.messages.size(), 2);
    WriteBytes(dir.path() + "/ok.txt", "a,b\r\n1,2\r\n");
    QVERIFY(file.Open((dir.path() + "/ok.txt").toStdString()));
    QCOMPARE(file.RecordCount(), 1);
}

void TestEngineFile::detection_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("fixed");
    QTest::addColumn<QString>("recordDelimiter");
    QTest::addColumn<QString>("fieldDelimiter");
    QTest::addColumn<bool>("header");
    QTest::addColumn<int>("recordLength");
    QTest::newRow("csv with header")
        << QByteArray("id,name\r\n1,\"a, b\"\r\n2,c\r\n3,d\r\n") << false << "CHR$(13) & CHR$(10)"
        << "CHR$(44)" << true << 0;
    QTest::newRow("tab, lf, no header")
        << QByteArray("a\tb\tc\nd\te\tf\ng\th\ti\n") << false << "CHR$(10)"
        << "CHR$(9)" << false << 0;
    QTest::newRow("semicolon, cr") << QByteArray("x;y\r1;2\r3;4\r") << false << "CHR$(13)"
                                   << "CHR$(59)" << true << 0;
    QTest::newRow("pipe") << QByteArray("A|B|C\r\n1|2|3\r\n4|5|6\r\n") << false
                          << "CHR$(13) & CHR$(10)"
                          << "CHR$(124)" << true << 0;
    QTest::newRow("fixed lines") << QByteArray("ABCD 123\r\nEFGH 456\r\nIJKL 789\r\n") << true << ""
                                 << "" << false << 10;
    QTest::newRow("no line ends") << QByteArray(200, 'x') << true << ""
                                  << "" << false << 80;
    QTest::newRow("binary") << QByteArray("\x01\x02\x00\x00\x05\x06\x00\x00", 8) << true << ""
                            << "" << false << 8;
}

void TestEngineFile::detection() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, fixed);
    QFETCH(QString, recordDelimiter);
    QFETCH(QString, fieldDelimiter);
    QFETCH(bool, header);
    QFETCH(int, recordLength);
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/sample.xyz", bytes);
    File file;
    int established = 0;
    file.OnConnectionEstablished = [&] { ++established; };
    QVERIFY(file.Open((dir.path() + "/sample.xyz").toStdString()));
    file.LaunchConnectionWizard();
    QCOMPARE(established, 2);
    const Connection& c = file.GetConnection();
    QCOMPARE(c.IsFixed(), fixed);
    QCOMPARE(c.IsDelimited(), !fixed);
    QCOMPARE(file.FixedLayout(), fixed);
    if (fixed) {
        QCOMPARE(c.RecordLength(), recordLength);
        QCOMPARE(file.DatabaseType(), std::string("Flat ASCII"));
        QCOMPARE(c.AuxiliaryText(), std::string());
    } else {
        QCOMPARE(Str(c.RecordDelimiterRepresentation()), recordDelimiter);
        QCOMPARE(Str(c.FieldDelimiterRepresentation()), fieldDelimiter);
        QCOMPARE(Str(c.TextQualifierRepresentation()), QString("CHR$(34)"));
        QCOMPARE(c.FirstRecordContainsFieldNames(), header);
        QVERIFY(!c.AuxiliaryText().empty());  // fields are named from values, not split at spaces
    }
}

void TestEngineFile::profileFillsWhatItLeavesOut() {
    // The CSV profile says CR LF, the file uses LF; an "Index Files" profile
    // names no delimiters at all.
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/unix.csv", "a,b\n1,2\n3,4\n");
    WriteBytes(dir.path() + "/list.custindex", "k|v\nx|1\ny|2\n");
    File file;
    AddCsvProfile(file);
    Connection& index = file.GetFileTypes().Add("Index Files");
    index.SetExtensions("*.*index");
    index.SetIsDelimited(true);
    QVERIFY(file.Open((dir.path() + "/unix.csv").toStdString()));
    QCOMPARE(file.GetConnection().RecordDelimiterRepresentation(), std::string("CHR$(10)"));
    QCOMPARE(file.RecordCount(), 2);
    file.MoveTo(2);
    QCOMPARE(file.GetFields().Item("b")->Value(), std::string("4"));
    QVERIFY(file.Open((dir.path() + "/list.custindex").toStdString()));
    QCOMPARE(file.GetConnection().FieldDelimiterRepresentation(), std::string("CHR$(124)"));
    QCOMPARE(file.GetFields().Count(), 2);
}

void TestEngineFile::fixedLengthZeroGetsDetected() {
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/cards.dat", "ROW1 AAAA\r\nROW2 BBBB\r\nROW3 CCCC\r\n");
    File file;
    Connection& flat = file.GetFileTypes().Add("Flat Files");
    flat.SetExtensions("*.dat");
    flat.SetIsFixed(true);
    QVERIFY(file.Open((dir.path() + "/cards.dat").toStdString()));
    QCOMPARE(file.GetConnection().RecordLength(), 11);
    QCOMPARE(file.RecordCount(), 3);
    file.MoveTo(3);
    QCOMPARE(file.GetBytes(6, 4), std::string("CCCC"));
}

void TestEngineFile::laterZeroLengthMeansNoRecords() {
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/cards.dat", "ROW1\r\nROW2\r\n");
    File file;
    ErrorLog errors;
    errors.Attach(file);
    QVERIFY(file.Open((dir.path() + "/cards.dat").toStdString()));
    for (FilePos length : {FilePos{0}, FilePos{-3}}) {
        file.GetConnection().SetRecordLength(length);
        QCOMPARE(file.RecordCount(), 0);
        file.MoveTo(1);
        QVERIFY(file.AtEnd());
    }
    QVERIFY(errors.messages.isEmpty());
    file.GetConnection().SetRecordLength(3);
    QCOMPARE(file.RecordCount(), 4);
}

void TestEngineFile::connectionFileRoundTrip() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/people.txt";
    WriteBytes(data, "SMITH  PARIS 0012\r\nDOE    ROME  0007\r\n");
    {
        File file;
        QVERIFY(file.Open(data.toStdString()));
        Connection& c = file.GetConnection();
        c.SetIsFixed(true);
        c.SetIsDelimited(false);
        c.SetRecordLength(19);
        file.GetFields().Clear();
        file.GetFields().Add("NAME", 7);
        file.GetFields().Add("CITY", 6);
        file.GetFields().Add("NUMBER, PADDED", 4);
        file.SetShowFieldNames(true);
        QVERIFY(file.SaveConnection("", true));
        QCOMPARE(Str(file.ConnectionPathAndName()), data + ".vdc");
    }
    QCOMPARE(ReadBytes(dir.path() + "/people.fmt"),
             QByteArray("NAME, 7\r\nCITY, 6\r\nNUMBER, PADDED, 4\r\n"));
    File again;
    QVERIFY(again.Open(data.toStdString()));
    QVERIFY(again.ShowFieldNames());
    QCOMPARE(again.GetConnection().RecordLength(), 19);
    QCOMPARE(again.GetFields().Count(), 3);
    QCOMPARE(again.GetFields().Item(3)->Name(), std::string("NUMBER, PADDED"));
    QCOMPARE(again.GetFields().Item(3)->StartingPosition(), 14);
    again.MoveTo(2);
    QCOMPARE(again.GetFields().Item("city")->Value(), std::string("ROME  "));
    QCOMPARE(again.GetConnection().AuxiliaryText(), std::string("Connection file"));
}

void TestEngineFile::savesAreByteIdentical() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/list.csv";
    WriteBytes(data, BigCsv(50));
    File file;
    AddCsvProfile(file);
    QVERIFY(file.Open(data.toStdString()));
    const std::string first = dir.path().toStdString() + "/one.vdc";
    const std::string second = dir.path().toStdString() + "/two.vdc";
    QVERIFY(file.SaveConnection(first, false));
    file.MoveLast();  // counting widens nothing stored for a delimited file
    QVERIFY(file.SaveConnection(second, false));
    QCOMPARE(ReadBytes(QString::fromStdString(second)), ReadBytes(QString::fromStdString(first)));
    file.GetFields().Item(2)->SetName("Renamed");
    QVERIFY(file.SaveConnection(second, false));
    QVERIFY(ReadBytes(QString::fromStdString(second)) != ReadBytes(QString::fromStdString(first)));
    const QStringList lines =
        QString::fromLatin1(ReadBytes(QString::fromStdString(second))).split("\r\n");
    QVERIFY(lines.contains("Field=Renamed"));
    QVERIFY(lines.contains("FieldDelimiterRepresentation=CHR$(44)"));
    QVERIFY(!QFileInfo::exists(QString::fromStdString(second) + ".tmp"));
}

void TestEngineFile::connectionFileFolders() {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir("data");
    QDir(dir.path()).mkdir("settings");
    const QString data = dir.path() + "/data/x.csv";
    WriteBytes(data, "a,b\r\n1,2\r\n");
    File file;
    file.SetSecondaryConnectionAndIndexingPath((dir.path() + "/settings").toStdString());
    file.SetStoreConnectionAndIndexingFilesInDataPath("False");
    QVERIFY(file.Open(data.toStdString()));
    QVERIFY(Str(file.ConnectionPathAndName()).startsWith(dir.path() + "/settings/x.csv."));
    file.SetStoreConnectionAndIndexingFilesInDataPath("True");
    QCOMPARE(Str(file.ConnectionPathAndName()), dir.path() + "/data/x.csv.vdc");
    QCOMPARE(Str(file.FilePath()), dir.path() + "/data/");
    QCOMPARE(Str(file.FileTitle()), QString("x"));
    QCOMPARE(Str(file.FileExtension()), QString("csv"));
    file.CloseFile();
    QCOMPARE(file.ConnectionPathAndName(), std::string());
}

void TestEngineFile::connectionFileBeatsFormatFile() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/rec.dat";
    WriteBytes(data, "AAABBBBCC\r\nDDDEEEEFF\r\n");
    WriteBytes(dir.path() + "/rec.fmt", "ONE, 3\r\nTWO, 4\r\n");
    File file;
    QVERIFY(file.Open(data.toStdString()));
    QCOMPARE(file.GetFields().Count(), 2);
    QCOMPARE(file.GetConnection().AuxiliaryText(), std::string("Format file"));
    file.MoveTo(2);
    QCOMPARE(file.GetFields().Item("TWO")->Value(), std::string("EEEE"));
    file.GetFields().Item(1)->SetName("FIRST");
    QVERIFY(file.SaveConnection("", false));
    file.CloseFile();
    QVERIFY(file.Open(data.toStdString()));
    QCOMPARE(file.GetFields().Item(1)->Name(), std::string("FIRST"));
    // A damaged connection file is reported and the file still opens.
    WriteBytes(data + ".vdc", "garbage\r\n");
    ErrorLog errors;
    errors.Attach(file);
    file.CloseFile();
    QVERIFY(file.Open(data.toStdString()));
    QCOMPARE(errors.messages.size(), 1);
    QCOMPARE(file.GetFields().Item(1)->Name(), std::string("ONE"));
}

void TestEngineFile::badRepresentationIsReported() {
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/d.csv", "a,b\r\n1,2\r\n");
    File file;
    ErrorLog errors;
    errors.Attach(file);
    QVERIFY(file.Open((dir.path() + "/d.csv").toStdString()));
    QCOMPARE(file.RecordCount(), 1);
    file.GetConnection().SetFieldDelimiterRepresentation("CHR$(44");
    QCOMPARE(errors.messages.size(), 1);
    QVERIFY(errors.messages[0].contains("CHR$(44"));
    QCOMPARE(file.RecordCount(), 0);
    file.MoveTo(1);
    QVERIFY(file.AtEnd());
    file.GetConnection().SetFieldDelimiterRepresentation("CHR$(44)");
    QCOMPARE(file.RecordCount(), 1);
    QCOMPARE(errors.messages.size(), 1);
}

void TestEngineFile::countingGrowsAndCancels() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/big.csv";
    const int records = 60000;
    WriteBytes(data, BigCsv(records));
    File file;
    AddCsvProfile(file);
    QVERIFY(file.Open(data.toStdString()));
    QVERIFY(!file.FixedLayout());
    RecordNo early = file.RecordCount();
    QVERIFY(early > 0 && early < records);
    file.MoveTo(early + 5000);
    QCOMPARE(file.RecordNumber(), early + 5000);
    QVERIFY(file.RecordCount() >= early + 5000);
    QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(early + 5000));
    int calls = 0;
    file.OnProgress = [&](std::int64_t done, std::int64_t total) {
        ++calls;
        return done < total && false;
    };
    file.MoveLast();  // cancelled at the first report (if any): the count stays usable
    RecordNo partial = file.RecordCount();
    QVERIFY(partial >= early + 5000 && partial <= records);
    file.MoveTo(partial);
    QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(partial));
    file.OnProgress = {};
    file.MoveLast();
    QCOMPARE(file.RecordCount(), records);
    QCOMPARE(file.RecordNumber(), records);
    file.MoveTo(records + 1);
    QVERIFY(file.AtEnd());
    for (RecordNo r :
         {RecordNo{1}, RecordNo{64}, RecordNo{65}, RecordNo{records}, RecordNo{12345}}) {
        file.MoveTo(r);
        QCOMPARE(file.GetFields().Item(1)->Value(), std::to_string(r));
        QCOMPARE(file.GetFields().Item(2)->Value(), "Name, " + std::to_string(r % 100));
    }
}

void TestEngineFile::widthsGrowWhileCounting() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/wide.csv";
    WriteBytes(data, BigCsv(5000, 4000));
    File file;
    AddCsvProfile(file);
    QVERIFY(file.Open(data.toStdString()));
    QCOMPARE(file.GetFields().Item("NOTE")->Length(), 4);
    FilePos before = file.GetConnection().RecordLength();
    int updated = 0;
    file.OnRecordUpdated = [&] { ++updated; };
    file.MoveLast();
    QCOMPARE(updated, 1);
    const Field* note = file.GetFields().Item("NOTE");
    QCOMPARE(note->Length(), 300);
    QVERIFY(file.GetConnection().RecordLength() > before);
    QVERIFY(file.GetConnection().RecordLength() >= note->EndingPosition());
    QCOMPARE(note->StartingPosition(), file.GetFields().Item(2)->EndingPosition() + 1);
}

void TestEngineFile::indexIsReusedAndInvalidated() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/indexed.csv";
    const int records = 70000;  // over a megabyte: worth an index file
    WriteBytes(data, BigCsv(records));
    {
        File file;
        AddCsvProfile(file);
        QVERIFY(file.Open(data.toStdString()));
        file.MoveLast();
    }
    QVERIFY(QFileInfo::exists(data + ".vdi"));
    QVERIFY(QFileInfo(data + ".vdi").size() <= records);  // at most a byte per record
    {
        File file;
        AddCsvProfile(file);
        QVERIFY(file.Open(data.toStdString()));
        QCOMPARE(file.RecordCount(), records);  // at once, from the index
        file.MoveTo(54321);
        QCOMPARE(file.GetFields().Item(1)->Value(), std::string("54321"));
    }
    // Changing the file (size and time) makes the index stale.
    WriteBytes(data, BigCsv(records + 10));
    File file;
    AddCsvProfile(file);
    QVERIFY(file.Open(data.toStdString()));
    QVERIFY(file.RecordCount() < records);
    file.MoveLast();
    QCOMPARE(file.RecordCount(), records + 10);
    // The header record is only skipped: the same index serves both ways.
    file.GetConnection().SetFirstRecordContainsFieldNames(false);
    QCOMPARE(file.RecordCount(), records + 11);
    // Another division of the same file does not take the index.
    file.GetConnection().SetByteOffset(3);
    QVERIFY(file.RecordCount() < records);
}

void TestEngineFile::ebcdicIsTranslated() {
    QTemporaryDir dir;
    QByteArray latin = "HELLO W\xF6rld 1234ABCDEFGH wide 5678";
    QByteArray bytes;
    for (char c : latin)
        bytes += static_cast<char>(ebcdic::FromLatin1(static_cast<unsigned char>(c)));
    const QString data = dir.path() + "/host.ebc";
    WriteBytes(data, bytes);
    File file;
    QVERIFY(file.Open(data.toStdString()));
    Connection& c = file.GetConnection();
    c.SetIsDelimited(false);
    c.SetIsFixed(true);
    c.SetRecordLength(17);
    file.SetDatabaseType("Flat EBCDIC");
    file.GetFields().Clear();
    file.GetFields().Add("WORD", 5);
    file.GetFields().Add("REST", 12);
    QCOMPARE(file.RecordCount(), 2);
    file.MoveTo(1);
    QCOMPARE(Str(file.RecordText()), QString::fromLatin1(latin.left(17)));
    QCOMPARE(file.GetBytes(7, 5), std::string("W\xF6rld"));
    QCOMPARE(file.GetFields().Item("WORD")->Value(), std::string("HELLO"));
    RecordNo position = 0;
    QCOMPARE(file.Find("REST", "WIDE", position), 2);
    position = 0;
    QCOMPARE(file.Find("REST", "w\xD6rld", position), 1);
    QCOMPARE(ReadBytes(data), bytes);  // the file itself never changes
}

void TestEngineFile::dbaseHeaders_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("records");
    QTest::addColumn<bool>("error");
    const QList<QPair<QByteArray, int>> columns{{"NAME", 5}, {"AGE", 3}};
    const QList<QStringList> rows{{"ann", "31"}, {"bob", "42"}, {"cy", "7"}};
    QTest::newRow("sound") << DbaseTable(columns, rows) << 3 << false;
    QTest::newRow("no end marker") << DbaseTable(columns, rows, -1, false) << 3 << false;
    QTest::newRow("count beyond the file") << DbaseTable(columns, rows, 1000) << 3 << false;
    QTest::newRow("count below the file") << DbaseTable(columns, rows, 2) << 2 << false;
    QByteArray truncated = DbaseTable(columns, rows);
    truncated.chop(6);
    QTest::newRow("cut last record") << truncated << 3 << false;
    QByteArray longHeader = DbaseTable(columns, rows);
    longHeader[8] = static_cast<char>(0xFF);
    longHeader[9] = static_cast<char>(0x7F);
    QTest::newRow("header longer than file") << longHeader << 0 << true;
    QByteArray zeroLength = DbaseTable(columns, rows);
    zeroLength[10] = 0;
    zeroLength[11] = 0;
    QTest::newRow("record length zero") << zeroLength << 0 << true;
    QByteArray small = DbaseTable(columns, rows);
    small[10] = 4;
    QTest::newRow("fields wider than record") << small << 0 << true;
    QTest::newRow("shorter than a header") << QByteArray("\x03\x01", 2) << 0 << true;
}

void TestEngineFile::dbaseHeaders() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, records);
    QFETCH(bool, error);
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/t.dbf", bytes);
    File file;
    ErrorLog errors;
    errors.Attach(file);
    QVERIFY(file.Open((dir.path() + "/t.dbf").toStdString()));
    QCOMPARE(errors.messages.size(), error ? 1 : 0);
    if (error) QVERIFY(errors.messages[0].contains("dBase"));
    QCOMPARE(file.RecordCount(), records);
    if (records == 0) return;
    QCOMPARE(file.DatabaseType(), std::string("DBase III"));
    QCOMPARE(file.GetConnection().ByteOffset(), 32 + 64 + 1);
    QCOMPARE(file.GetConnection().RecordLength(), 9);
    QCOMPARE(file.GetFields().Item("AGE")->StartingPosition(), 7);
    file.MoveTo(2);
    QCOMPARE(file.GetFields().Item("NAME")->Value(), std::string("bob  "));
    QCOMPARE(file.RecordText(), std::string(" bob  42 "));
}

void TestEngineFile::fixedPartialLastRecord() {
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/p.bin", QByteArray("0123456789AB"));
    File file;
    QVERIFY(file.Open((dir.path() + "/p.bin").toStdString()));
    Connection& c = file.GetConnection();
    c.SetIsFixed(true);
    c.SetIsDelimited(false);
    c.SetRecordLength(5);
    QCOMPARE(file.RecordCount(), 3);
    file.MoveTo(3);
    QCOMPARE(file.RecordText(), std::string("AB"));
    QCOMPARE(file.RecordStartByte(), 11);
    c.SetByteOffset(2);
    QCOMPARE(file.RecordCount(), 2);
    file.MoveTo(1);
    QCOMPARE(file.RecordText(), std::string("23456"));
    c.SetByteOffset(50);
    QCOMPARE(file.RecordCount(), 0);
}

void TestEngineFile::reopeningAfterReset() {
    // The connection wizard's way to start over on one tab: reset the
    // connection and open the same file again.
    QTemporaryDir dir;
    const QString data = dir.path() + "/sales.csv";
    WriteBytes(data, "REGION,TOTAL\r\nNorth,12\r\nSouth,7\r\nEast,30\r\n");
    File file;
    AddCsvProfile(file);
    QVERIFY(file.Open(data.toStdString()));
    QVERIFY(file.SaveConnection("", false));  // a saved delimited connection must not come back
    Connection& c = file.GetConnection();
    c.Reset();
    QVERIFY(!c.IsFixed() && !c.IsDelimited());
    QCOMPARE(file.RecordCount(), 0);
    QVERIFY(file.Open(file.PathAndName()));
    QVERIFY(c.IsFixed());
    QCOMPARE(c.RecordLength(), 9);  // the most common line length and its line end
    QCOMPARE(file.GetFields().Count(), 0);
    QVERIFY(file.RecordCount() > 0);
    c.SetIsFixed(false);
    c.SetIsDelimited(true);
    QCOMPARE(c.FieldDelimiterRepresentation(), std::string("CHR$(44)"));
    QCOMPARE(c.RecordDelimiterRepresentation(), std::string("CHR$(13) & CHR$(10)"));
    QVERIFY(c.FirstRecordContainsFieldNames());
    QCOMPARE(file.RecordCount(), 3);
    QCOMPARE(file.GetFields().Item(2)->Name(), std::string("TOTAL"));
    // With a division in force, opening the same file again keeps it.
    c.SetFieldDelimiterRepresentation("CHR$(59)");
    QVERIFY(file.Open(file.PathAndName()));
    QCOMPARE(c.FieldDelimiterRepresentation(), std::string("CHR$(59)"));
    // Another file (or the same after closing) starts from its connection file.
    file.CloseFile();
    QVERIFY(file.Open(data.toStdString()));
    QCOMPARE(c.FieldDelimiterRepresentation(), std::string("CHR$(44)"));
}

void TestEngineFile::absurdNumbersAreHarmless() {
    // Number boxes saturate at the limits of 64 bits; nothing may overflow.
    QTemporaryDir dir;
    WriteBytes(dir.path() + "/n.dat", "ABCDEFGHIJ\r\nKLMNOPQRST\r\n");
    File file;
    ErrorLog errors;
    errors.Attach(file);
    QVERIFY(file.Open((dir.path() + "/n.dat").toStdString()));
    const FilePos huge = std::numeric_limits<FilePos>::max();
    const FilePos tiny = std::numeric_limits<FilePos>::min();
    Connection& c = file.GetConnection();
    c.SetRecordLength(huge);
    QCOMPARE(file.RecordCount(), 1);
    file.MoveTo(1);
    QCOMPARE(file.RecordText().size(), size_t{24});
    QCOMPARE(file.GetBytes(tiny, huge), std::string());
    QCOMPARE(file.GetBytes(-2, 5), std::string("AB"));
    QCOMPARE(file.GetBytes(3, huge), std::string("CDEFGHIJ\r\nKLMNOPQRST\r\n"));
    Field& f = file.GetFields().Add("F", huge, "", huge);
    QCOMPARE(f.Value(), std::string());
    f.SetStartingPosition(tiny);
    f.SetEndingPosition(huge);
    QCOMPARE(f.EndingPosition(), f.StartingPosition() + f.Length() - 1);
    f.SetStartingPosition(1);
    f.SetLength(huge);
    RecordNo position = 0;
    QCOMPARE(file.Find("F", "klm", position), 1);
    c.SetByteOffset(huge);
    QCOMPARE(file.RecordCount(), 0);
    c.SetByteOffset(tiny);
    QCOMPARE(file.RecordCount(), 1);
    QVERIFY(errors.messages.isEmpty());
}

void TestEngineFile::garbageKeepsTheLayoutSmall() {
    QTemporaryDir dir;
    QByteArray garbage(300000, ',');
    garbage += "\r\n1,2\r\n";
    WriteBytes(dir.path() + "/g.csv", garbage);
    File file;
    AddCsvProfile(file);
    QVERIFY(file.Open((dir.path() + "/g.csv").toStdString()));
    QVERIFY(file.GetFields().Count() <= 4096);
    file.MoveLast();
    QCOMPARE(file.RecordCount(), 1);
    QCOMPARE(file.GetFields().Item(1)->Value(), std::string("1"));
}

void TestEngineFile::cancelledCountStaysConsistent() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/long.csv";
    const int records = 300000;  // several progress steps
    WriteBytes(data, BigCsv(records));
    File file;
    AddCsvProfile(file);
    QVERIFY(file.Open(data.toStdString()));
    QList<std::int64_t> reports;
    file.OnProgress = [&](std::int64_t done, std::int64_t total) {
        reports << done;
        return done < total / 3;
    };
    file.MoveLast();
    QVERIFY(!reports.isEmpty());
    RecordNo partial = file.RecordCount();
    QVERIFY(partial > 1000 && partial < records);
    QCOMPARE(file.RecordNumber(), partial);
    QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(partial));
    file.MoveTo(partial + 1);  // counting simply goes on from there
    QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(partial + 1));
    file.OnProgress = {};
    file.MoveLast();
    QCOMPARE(file.RecordCount(), records);
}

void TestEngineFile::damagedIndexFileIsIgnored() {
    QTemporaryDir dir;
    const QString data = dir.path() + "/d.csv";
    const int records = 70000;
    WriteBytes(data, BigCsv(records));
    {
        File file;
        AddCsvProfile(file);
        QVERIFY(file.Open(data.toStdString()));
        file.MoveLast();
    }
    QByteArray index = ReadBytes(data + ".vdi");
    QVERIFY(!index.isEmpty());
    const QDateTime time = QFileInfo(data).lastModified();
    for (const QByteArray& damaged :
         {QByteArray("garbage"), index.left(index.size() / 2),
          index.left(8) + QByteArray(index.size() - 8, '\xFF'),
          index.left(index.size() / 2) + QByteArray(index.size() - index.size() / 2, '\x01')}) {
        WriteBytes(data + ".vdi", damaged);
        File file;
        AddCsvProfile(file);
        ErrorLog errors;
        errors.Attach(file);
        QVERIFY(file.Open(data.toStdString()));
        file.MoveTo(40000);
        QCOMPARE(file.GetFields().Item("ID")->Value(), std::string("40000"));
        file.MoveLast();
        QCOMPARE(file.RecordCount(), records);
        QVERIFY(errors.messages.isEmpty());
        QCOMPARE(QFileInfo(data).lastModified(), time);
    }
}

QTEST_GUILESS_MAIN(TestEngineFile)
#include "tst_engine_file.moc"
