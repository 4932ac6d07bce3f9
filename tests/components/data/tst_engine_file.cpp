// Opening, connection files, index files, EBCDIC, dBase headers and the
// engine's events.
#include <sys/stat.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <limits>

#include "data/ebcdic.h"
#include "data/file.h"
#include "data/recordindex.h"
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

// A dBase level-7 table: a 68-byte header and 48-byte field descriptors with
// the name in bytes 0-31, the type at 32 and the length at 33.
QByteArray Level7Table(const QList<QPair<QByteArray, int>>& columns,
                       const QList<QStringList>& rows) {
    const QByteArray level3 = DbaseTable(columns, rows);
    const int headerLength = 68 + 48 * static_cast<int>(columns.size()) + 1;
    QByteArray out = level3.left(32) + QByteArray(36, '\0');
    out[0] = static_cast<char>(0x8C);
    out[8] = static_cast<char>(headerLength & 0xFF);
    out[9] = static_cast<char>(headerLength >> 8);
    for (const auto& c : columns) {
        QByteArray d(48, '\0');
        d.replace(0, c.first.size(), c.first);
        d[32] = 'C';
        d[33] = static_cast<char>(c.second);
        out += d;
    }
    return out + level3.mid(32 + 32 * columns.size());
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

// One change of the connection, then the record count and the text of
// record At. A change is "" or key=value pairs joined by ";" (fixed, rl, bo,
// fd); a profile is "CSV" or "EXTENSION:fixed" / "EXTENSION:delimited".
struct Step {
    QString change;
    RecordNo count;
    RecordNo at;
    QByteArray text;
};
using Steps = QList<Step>;

void Apply(File& file, const QString& change) {
    Connection& c = file.GetConnection();
    for (const QString& part : change.split(';', Qt::SkipEmptyParts)) {
        const QString key = part.section('=', 0, 0), value = part.section('=', 1);
        const qlonglong number = value.toLongLong();
        if (key == "fixed") c.SetIsDelimited(false), c.SetIsFixed(true);
        if (key == "rl") c.SetRecordLength(number);
        if (key == "bo") c.SetByteOffset(number);
        if (key == "fd") c.SetFieldDelimiterRepresentation(value.toStdString());
    }
}

void AddProfile(File& file, const QString& profile) {
    if (profile == "CSV") AddCsvProfile(file);
    if (!profile.contains(':')) return;
    Connection& p = file.GetFileTypes().Add(profile.toStdString());
    p.SetExtensions("*." + profile.section(':', 0, 0).toStdString());
    p.SetIsFixed(profile.endsWith(":fixed"));
    p.SetIsDelimited(profile.endsWith(":delimited"));
}

}  // namespace

Q_DECLARE_METATYPE(Step)

class TestEngineFile : public QObject {
    Q_OBJECT

private slots:
    void missingFileIsReported() {
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
        const QString fifo = dir.path() + "/pipe.csv";  // refused at once, never waited on
        QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        QVERIFY(!file.Open(fifo.toStdString()));
        QCOMPARE(errors.messages.size(), 3);
    }

    void detection() {
        const char* crlf = "CHR$(13) & CHR$(10)";
        struct Case {
            const char* name;
            QByteArray bytes;
            int recordLength;  // fixed records; 0 for delimited ones
            const char* recordDelimiter;
            const char* fieldDelimiter;
            bool header;
        } cases[] = {
            {"csv with header", "id,name\r\n1,\"a, b\"\r\n2,c\r\n3,d\r\n", 0, crlf, "CHR$(44)",
             true},
            {"semicolon, cr", "x;y\r1;2\r3;4\r", 0, "CHR$(13)", "CHR$(59)", true},
            {"fixed lines", "ABCD 123\r\nEFGH 456\r\nIJKL 789\r\n", 10, "", "", false},
            {"no line ends", QByteArray(200, 'x'), 80, "", "", false},
            {"binary", QByteArray("\x01\x02\x00\x00\x05\x06\x00\x00", 8), 8, "", "", false},
        };
        for (const Case& k : cases) {
            QTemporaryDir dir;
            WriteBytes(dir.path() + "/sample.xyz", k.bytes);
            File file;
            int established = 0;
            file.OnConnectionEstablished = [&] { ++established; };
            QVERIFY(file.Open((dir.path() + "/sample.xyz").toStdString()));
            file.LaunchConnectionWizard();
            QCOMPARE(established, 2);
            const Connection& c = file.GetConnection();
            const bool fixed = k.recordLength > 0;
            QVERIFY2(
                c.IsFixed() == fixed && c.IsDelimited() == !fixed && file.FixedLayout() == fixed,
                k.name);
            if (fixed) {
                QCOMPARE(c.RecordLength(), k.recordLength);
                QCOMPARE(file.DatabaseType(), std::string("Flat ASCII"));
                QCOMPARE(c.AuxiliaryText(), std::string());
                continue;
            }
            QCOMPARE(c.RecordDelimiterRepresentation(), std::string(k.recordDelimiter));
            QCOMPARE(c.FieldDelimiterRepresentation(), std::string(k.fieldDelimiter));
            QCOMPARE(c.TextQualifierRepresentation(), std::string("CHR$(34)"));
            QCOMPARE(c.FirstRecordContainsFieldNames(), k.header);
            QVERIFY(!c.AuxiliaryText().empty());  // named from values, not split at spaces
        }
    }

    void divisions_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("profile");
        QTest::addColumn<Steps>("steps");
        QTest::addColumn<int>("fields");
        QTest::addColumn<int>("errors");
        const QByteArray cards = "ROW1 AAAA\r\nROW2 BBBB\r\nROW3 CCCC\r\n";
        QTest::newRow("profile without a record length")
            << "cards.dat" << cards << "dat:fixed" << Steps{{"", 3, 3, "ROW3 CCCC\r\n"}} << 0 << 0;
        QTest::newRow("no length, then lengths")
            << "cards.dat" << QByteArray("ROW1\r\nROW2\r\n") << ""
            << Steps{{"rl=0", 0, 1, ""}, {"rl=-3", 0, 1, ""}, {"rl=3", 4, 1, "ROW"}} << 0 << 0;
        QTest::newRow("partial last record, offsets")
            << "p.bin" << QByteArray("0123456789AB") << ""
            << Steps{{"fixed;rl=5", 3, 3, "AB"}, {"bo=2", 2, 1, "23456"}, {"bo=50", 0, 1, ""}} << 0
            << 0;
        QTest::newRow("bad representation, then mended")
            << "d.csv" << QByteArray("a,b\r\n1,2\r\n") << ""
            << Steps{{"", 1, 1, "1,2"}, {"fd=CHR$(44", 0, 1, ""}, {"fd=CHR$(44)", 1, 1, "1,2"}} << 2
            << 1;
        QTest::newRow("profile's line end not in the file")
            << "unix.csv" << QByteArray("a,b\n1,2\n3,4\n") << "CSV" << Steps{{"", 2, 2, "3,4"}} << 2
            << 0;
        QTest::newRow("profile naming no delimiters")
            << "list.custindex" << QByteArray("1|2\n3|4\n5|6\n") << "custindex:delimited"
            << Steps{{"", 3, 3, "5|6"}} << 2 << 0;
        QTest::newRow("garbage keeps the layout small")
            << "g.csv" << QByteArray(300000, ',') + "\r\n1,2\r\n"
            << "CSV" << Steps{{"", 1, 1, "1,2"}} << 4096 << 0;
    }

    void divisions() {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, profile);
        QFETCH(Steps, steps);
        QTemporaryDir dir;
        WriteBytes(dir.filePath(name), bytes);
        File file;
        ErrorLog errors;
        errors.Attach(file);
        AddProfile(file, profile);
        QVERIFY(file.Open(dir.filePath(name).toStdString()));
        for (const Step& step : steps) {
            Apply(file, step.change);
            file.MoveLast();
            QCOMPARE(file.RecordCount(), step.count);
            file.MoveTo(step.at);
            QCOMPARE(QByteArray::fromStdString(file.RecordText()), step.text);
            QCOMPARE(file.AtEnd(), step.text.isEmpty());
        }
        QTEST(file.GetFields().Count(), "fields");
        QTEST(static_cast<int>(errors.messages.size()), "errors");
    }

    void connectionFileRoundTrip() {
        QTemporaryDir dir;
        const QString data = dir.path() + "/people.txt";
        WriteBytes(data, "SMITH  PARIS 0012\r\nDOE    ROME  0007\r\n");
        {
            File file;
            QVERIFY(file.Open(data.toStdString()));
            Apply(file, "fixed;rl=19");
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
        QCOMPARE(again.GetFields().Item(3)->Name(), std::string("NUMBER, PADDED"));
        QCOMPARE(again.GetFields().Item(3)->StartingPosition(), 14);
        again.MoveTo(2);
        QCOMPARE(again.GetFields().Item("city")->Value(), std::string("ROME  "));
        QCOMPARE(again.GetConnection().AuxiliaryText(), std::string("Connection file"));
        again.CloseFile();
        QCOMPARE(again.ConnectionPathAndName(), std::string());
    }

    void savesAreByteIdentical() {
        QTemporaryDir dir;
        const QString data = dir.path() + "/list.csv";
        WriteBytes(data, BigCsv(50));
        File file;
        AddCsvProfile(file);
        QVERIFY(file.Open(data.toStdString()));
        const QString first = dir.filePath("one.vdc"), second = dir.filePath("two.vdc");
        QVERIFY(file.SaveConnection(first.toStdString(), false));
        file.MoveLast();  // counting widens nothing stored for a delimited file
        QVERIFY(file.SaveConnection(second.toStdString(), false));
        QCOMPARE(ReadBytes(second), ReadBytes(first));
        QVERIFY(ReadBytes(first).contains("\r\nFieldDelimiterRepresentation=CHR$(44)\r\n"));
    }

    void connectionFileBeatsFormatFile() {
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

    void countingGrowsAndCancels() {
        QTemporaryDir dir;
        const QString data = dir.path() + "/long.csv";
        const int records = 300000;                 // several progress steps
        WriteBytes(data, BigCsv(records, 250000));  // one wide note near the end
        File file;
        AddCsvProfile(file);
        QVERIFY(file.Open(data.toStdString()));
        QVERIFY(!file.FixedLayout());
        QCOMPARE(file.GetFields().Item("NOTE")->Length(), 4);
        const FilePos before = file.GetConnection().RecordLength();
        int updated = 0;
        file.OnRecordUpdated = [&] { ++updated; };
        const RecordNo early = file.RecordCount();
        QVERIFY(early > 0 && early < records);
        file.MoveTo(early + 5000);  // counted as far as the move needs
        QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(early + 5000));
        QList<std::int64_t> reports;
        file.OnProgress = [&](std::int64_t done, std::int64_t total) {
            reports << done;
            return done < total / 3;
        };
        file.MoveLast();  // cancelled: the count stays usable
        QVERIFY(!reports.isEmpty());
        const RecordNo partial = file.RecordCount();
        QVERIFY(partial > early + 5000 && partial < records);
        QCOMPARE(file.RecordNumber(), partial);
        QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(partial));
        file.MoveTo(partial + 1);  // counting simply goes on from there
        QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(partial + 1));
        const int updatedBefore = updated;
        file.OnProgress = {};
        file.MoveLast();  // the wide note widens the layout: the view is told once
        QCOMPARE(file.RecordCount(), records);
        QCOMPARE(file.RecordNumber(), records);
        QCOMPARE(updated, updatedBefore + 1);
        const Field* note = file.GetFields().Item("NOTE");
        QCOMPARE(note->Length(), 300);
        QVERIFY(file.GetConnection().RecordLength() > before);
        QVERIFY(file.GetConnection().RecordLength() >= note->EndingPosition());
        QCOMPARE(note->StartingPosition(), file.GetFields().Item(2)->EndingPosition() + 1);
        file.MoveTo(records + 1);
        QVERIFY(file.AtEnd());
        for (RecordNo r :
             {RecordNo{1}, RecordNo{64}, RecordNo{65}, RecordNo{records}, RecordNo{12345}}) {
            file.MoveTo(r);
            QCOMPARE(file.GetFields().Item(1)->Value(), std::to_string(r));
            QCOMPARE(file.GetFields().Item(2)->Value(), "Name, " + std::to_string(r % 100));
        }
    }

    void indexIsReusedAndInvalidated() {
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
        const QByteArray index = ReadBytes(data + ".vdi");
        QVERIFY(!index.isEmpty() && index.size() <= records);  // at most a byte per record
        // A damaged indexing file is ignored without a word, and the data file
        // stays untouched.
        const QDateTime stamp = QFileInfo(data).lastModified();
        for (const QByteArray& damaged :
             {QByteArray("garbage"), index.left(8) + QByteArray(index.size() - 8, '\xFF'),
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
            QCOMPARE(QFileInfo(data).lastModified(), stamp);
        }
        File file;
        AddCsvProfile(file);
        QVERIFY(file.Open(data.toStdString()));
        QCOMPARE(file.RecordCount(), records);  // at once, from the index
        file.MoveTo(54321);
        QCOMPARE(file.GetFields().Item(1)->Value(), std::string("54321"));
        // The header record is only skipped: the same index serves both ways.
        file.GetConnection().SetFirstRecordContainsFieldNames(false);
        QCOMPARE(file.RecordCount(), records + 1);
        // Another division of the same file does not take the index.
        file.GetConnection().SetByteOffset(3);
        QVERIFY(file.RecordCount() < records);
        file.CloseFile();
        // Changing the file makes the index stale (each part of its key:
        // indexValidity), also when another file of the same size and time
        // is copied over a counted one (cp -p): two records become one, near the
        // end (a content piece tells) or in the middle, where no content piece is
        // taken (only the change time tells).
        const std::filesystem::path path = data.toStdString();
        const auto time = std::filesystem::last_write_time(path);
        for (bool nearEnd : {true, false}) {
            QByteArray joined = BigCsv(records + 10);
            WriteBytes(data, joined);
            std::filesystem::last_write_time(path, time);
            QVERIFY(file.Open(data.toStdString()));
            file.MoveLast();
            file.CloseFile();
            joined.replace(nearEnd ? joined.lastIndexOf("\r\n", joined.size() - 3)
                                   : joined.indexOf("\r\n", joined.size() / 2),
                           2, "..");
            WriteBytes(data, joined);
            std::filesystem::last_write_time(path, time);
            QVERIFY(file.Open(data.toStdString()));
            file.MoveLast();
            QCOMPARE(file.RecordCount(), records + 9);
            file.CloseFile();
        }
    }

    void indexValidity_data() {
        QTest::addColumn<QString>("change");
        for (const char* change :
             {"", "size", "time", "inode", "change time", "division", "middle content piece",
              "checkpoints out of order", "end past the file", "truncated"})
            QTest::newRow(*change ? change : "unchanged") << QString(change);
    }

    void indexValidity() {
        QFETCH(QString, change);
        QTemporaryDir dir;
        const std::string data = dir.filePath("d.csv").toStdString(), vdi = data + ".vdi";
        // Sparse: a content piece is taken at 64 MiB, past the first and last 64 KiB.
        QVERIFY(WriteBytes(dir.filePath("d.csv"), "x\n"));
        std::filesystem::resize_file(data,
                                     (std::uintmax_t{64} << 20) + (std::uintmax_t{256} << 10));
        DataReader reader;
        std::string error;
        QVERIFY(reader.Open(data, error));
        RecordIndex index;
        index.Reset(0);
        for (FilePos at = 2; at <= 2 * 200; at += 2) index.AddEnd(at);
        IndexKey key = IndexKeyOf(reader, "div");
        QVERIFY(SaveRecordIndex(vdi, key, index));
        QByteArray bytes = ReadBytes(QString::fromStdString(vdi));
        const qsizetype countedEnd = 8 + 6 * 8 + 3 + 8;
        if (change == "size") ++key.fileSize;
        if (change == "time") ++key.fileTime;
        if (change == "inode") ++key.inode;
        if (change == "change time") ++key.changeTime;
        if (change == "division") key.division = "dvi";
        if (change == "middle content piece") {
            std::fstream out(data, std::ios::in | std::ios::out | std::ios::binary);
            out.seekp((std::streamoff{64} << 20) + 100);
            out.put('y');
            out.close();
            DataReader changed;
            QVERIFY(changed.Open(data, error));
            key.content = IndexKeyOf(changed, "div").content;
        }
        if (change == "checkpoints out of order")
            bytes.replace(bytes.size() - 16, 16, bytes.right(8) + bytes.mid(bytes.size() - 16, 8));
        if (change == "end past the file")
            bytes.replace(countedEnd, 8, QByteArray("\xFF\xFF\xFF\xFF\x00\x00\x00\x00", 8));
        if (change == "truncated") bytes.chop(8);
        QVERIFY(WriteBytes(QString::fromStdString(vdi), bytes));
        RecordIndex loaded;
        const bool reused = LoadRecordIndex(vdi, key, loaded) && loaded.Materialize();
        QCOMPARE(reused, change.isEmpty());
        if (reused) QCOMPARE(loaded.checkpoints, index.checkpoints);
    }

    void lastRecordWithoutDelimiter() {
        // Within the first look, past a thousand records, past a megabyte.
        for (int records : {20, 5000, 70000}) {
            QTemporaryDir dir;
            const QString data = dir.path() + "/open.csv";
            WriteBytes(data, BigCsv(records).chopped(2));
            for (int pass = 0; pass < 2; ++pass) {  // counted, then from the indexing file
                File file;
                AddCsvProfile(file);
                QVERIFY(file.Open(data.toStdString()));
                file.MoveLast();
                QCOMPARE(file.RecordCount(), records);
                QCOMPARE(file.GetFields().Item("ID")->Value(), std::to_string(records));
                QCOMPARE(file.GetFields().Item("NOTE")->Value(), std::string("n"));
            }
        }
    }

    void ebcdicIsTranslated() {
        QTemporaryDir dir;
        QByteArray all(256, '\0');
        for (int b = 0; b < 256; ++b) all[b] = static_cast<char>(b);
        const QByteArray latin = "HELLO W\xF6rld 1234ABCDEFGH wide 5678",
                         bytes = Iconv(latin, "ISO-8859-1", "IBM037");
        QCOMPARE(bytes.size(), latin.size());
        const QString data = dir.path() + "/host.ebc";
        WriteBytes(dir.path() + "/all.ebc", all);
        {
            File every;
            QVERIFY(every.Open((dir.path() + "/all.ebc").toStdString()));
            every.SetDatabaseType("Flat EBCDIC");
            every.GetConnection().SetRecordLength(256);
            every.MoveTo(1);
            QCOMPARE(QByteArray::fromStdString(every.RecordText()),
                     Iconv(all, "IBM037", "ISO-8859-1"));
        }
        WriteBytes(data, bytes);
        File file;
        QVERIFY(file.Open(data.toStdString()));
        Apply(file, "fixed;rl=17");
        file.SetDatabaseType("Flat EBCDIC");
        file.GetFields().Clear();
        file.GetFields().Add("WORD", 5);
        file.GetFields().Add("REST", 12);
        QCOMPARE(file.RecordCount(), 2);
        file.MoveTo(1);
        QCOMPARE(Str(file.RecordText()), QString::fromLatin1(latin.left(17)));
        QCOMPARE(file.GetBytes(7, 5), std::string("W\xF6rld"));
        QCOMPARE(file.GetFields().Item("WORD")->Value(), std::string("HELLO"));
        // Typed in Latin-1 or UTF-8; no euro sign in Latin-1.
        for (const auto& [phrase, found] : {std::pair<std::string, RecordNo>{"WIDE", 2},
                                            {"w\xD6rld", 1},
                                            {"W\xC3\x96RLD", 1},
                                            {"w\xE2\x82\xACrld", 0}}) {
            RecordNo position = 0;
            QCOMPARE(file.Find("REST", phrase, position), found);
        }
        QCOMPARE(ReadBytes(data), bytes);  // the file itself never changes
    }

    void dbaseHeaders_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("records");
        QTest::addColumn<bool>("error");
        QTest::addColumn<int>("headerLength");
        QTest::addColumn<QByteArray>("second");
        const QList<QPair<QByteArray, int>> columns{{"NAME", 5}, {"AGE", 3}};
        const QList<QStringList> rows{{"ann", "31"}, {"bob", "42"}, {"cy", "7"}};
        auto row = [](const char* name, const QByteArray& bytes, int records, bool error = false,
                      int headerLength = 97, const QByteArray& second = " bob  42 ") {
            QTest::newRow(name) << bytes << records << error << headerLength << second;
        };
        const auto patched = [&](std::initializer_list<std::pair<int, char>> changes) {
            QByteArray bytes = DbaseTable(columns, rows);
            for (const auto& [at, value] : changes) bytes[at] = value;
            return bytes;
        };
        row("sound", DbaseTable(columns, rows), 3);
        row("level 7", Level7Table(columns, rows), 3, false, 68 + 96 + 1);
        row("deleted record shown as it stands", patched({{97 + 9, '*'}}), 3, false, 97,
            "*bob  42 ");
        row("count beyond the file", DbaseTable(columns, rows, 1000), 3);
        row("count below the file", DbaseTable(columns, rows, 2), 2);
        row("cut last record is reported, not shown", DbaseTable(columns, rows).chopped(6), 2,
            true);
        row("no fields: the deletion flag alone", DbaseTable({}, QList<QStringList>(71)), 71, false,
            33);
        row("header longer than file", patched({{8, '\xFF'}, {9, '\x7F'}}), 0, true);
        row("record length zero", patched({{10, 0}, {11, 0}}), 0, true);
        row("fields wider than record", patched({{10, 4}}), 0, true);
        row("shorter than a header", QByteArray("\x03\x01", 2), 0, true);
    }

    void dbaseHeaders() {
        QFETCH(QByteArray, bytes);
        QFETCH(int, records);
        QFETCH(bool, error);
        QFETCH(int, headerLength);
        QFETCH(QByteArray, second);
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
        QVERIFY(file.DatabaseType().rfind("DBase", 0) == 0);
        QCOMPARE(file.GetConnection().ByteOffset(), headerLength);
        if (file.GetFields().Count() == 0) {
            file.MoveTo(records);
            QCOMPARE(file.RecordText(), std::string(" "));
            return;
        }
        QCOMPARE(file.GetConnection().RecordLength(), 9);
        QCOMPARE(file.GetFields().Item("AGE")->StartingPosition(), 7);
        file.MoveTo(2);
        QCOMPARE(file.GetFields().Item("NAME")->Value(), std::string("bob  "));
        QCOMPARE(QByteArray::fromStdString(file.RecordText()), second);
        QCOMPARE(file.RecordDeleted(), second.startsWith('*'));
        file.MoveTo(1);
        QVERIFY(!file.RecordDeleted());
    }

    void reopeningAfterReset() {
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

    void absurdNumbersAreHarmless() {
        // Number boxes saturate at the limits of 64 bits; nothing may overflow.
        QTemporaryDir dir;
        WriteBytes(dir.path() + "/n.dat", "ABCDEFGHIJ\r\nKLMNOPQRST\r\n");
        File file;
        ErrorLog errors;
        errors.Attach(file);
        QVERIFY(file.Open((dir.path() + "/n.dat").toStdString()));
        const FilePos huge = std::numeric_limits<FilePos>::max(),
                      tiny = std::numeric_limits<FilePos>::min();
        file.GetConnection().SetRecordLength(huge);  // one record of the whole file
        file.GetConnection().SetByteOffset(huge);
        QCOMPARE(file.RecordCount(), 0);
        file.GetConnection().SetByteOffset(tiny);  // taken as no offset
        QCOMPARE(file.RecordCount(), 1);
        file.MoveTo(1);
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
        QVERIFY(errors.messages.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestEngineFile)
#include "tst_engine_file.moc"
