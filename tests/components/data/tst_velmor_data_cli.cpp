// velmor-data run as a program: every command on small files of every kind,
// conversions read back, and failures reported on stderr with an exit status
// while the data stays untouched.
#include <sys/stat.h>

#include <QTemporaryDir>
#include <QtTest>

#include "engine_testfiles.h"

using enginetest::CliResult;
using enginetest::DbaseTable;
using enginetest::ReadBytes;
using enginetest::RunVelmorData;
using enginetest::VelmorData;
using enginetest::WriteBytes;

namespace {

const QByteArray kCsv = "id,name\r\n1,\"Lee, Bo\"\r\n2,M\xfcller\r\n3,\"say \"\"hi\"\"\"\r\n";
const QByteArray kPeople =
    "[\"1\",\"Lee, Bo\"]\n[\"2\",\"M\xC3\xBCller\"]\n[\"3\",\"say \\\"hi\\\"\"]\n";

QByteArray DeletedDbase() {
    QByteArray table =
        DbaseTable({{"NAME", 5}, {"AGE", 3}}, {{"ann", "31"}, {"bob", "42"}, {"cy", "7"}});
    table[32 + 64 + 1 + 9] = '*';  // bob is deleted
    return table;
}

// The inputs a row names as "@/name".
QList<QPair<QString, QByteArray>> Inputs() {
    return {{"people.csv", kCsv},
            {"ragged.csv", "a,b,c\r\n1,2\r\n3,4,5,6\r\n"},
            {"bom.csv", "\xEF\xBB\xBFname,age\r\nfoo,1\r\nbar,2\r\n"},
            {"bomdata.txt",
             "\xEF\xBB\xBF"
             "1,2\r\n3,4\r\n"},
            {"mixed.csv", "id,name\r\n1,M\xFCller\r\n2,Mueller\r\n3,M\xC3\xBCller\r\n"},
            {"plain.dat", "ABCDEFGH\xe9"},
            {"lines.txt", "abc\r\ndef\r\n"},
            {"layout.dat", "01Ann  02Bob  "},
            {"layout.fmt", "num, 2\r\nname, 5\r\n"},
            {"mainframe.dat", "\xC1\xC2\xF1\xF2"},  // "AB12" in code page 037
            {"deleted.dbf", DeletedDbase()},
            {"cut.dbf", DeletedDbase().left(97 + 9 + 4)},
            {"noprofiles.txt", "  IsFixed=True\r\nEnd\r\n"}};
}

}  // namespace

class VelmorDataCliTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;

    QStringList Expand(QStringList args) const {
        return args.replaceInStrings("@/", dir_.path() + "/");
    }

private slots:
    void initTestCase() {
        QVERIFY2(!VelmorData().isEmpty(), "build the velmor-data target first");
        // The user's own profiles must not decide what these tests read.
        qputenv("VELMOR_CONFIG", dir_.filePath("config").toLocal8Bit());
        qputenv("XDG_DATA_HOME", dir_.filePath("xdg").toLocal8Bit());
        qputenv("XDG_CACHE_HOME", dir_.filePath("xdg").toLocal8Bit());
        for (const auto& input : Inputs())
            QVERIFY(WriteBytes(dir_.filePath(input.first), input.second));
        QCOMPARE(::mkfifo(QFile::encodeName(dir_.filePath("pipe.csv")).constData(), 0600), 0);
    }

    void commands_data() {
        using Lines = QList<QStringList>;
        QTest::addColumn<Lines>("commands");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char* name, const Lines& commands, const QByteArray& expected) {
            QTest::newRow(name) << commands << expected;
        };
        row("count: names are no record", {{"count", "@/people.csv"}}, "3\n");
        row("count: delimited without names",
            {{"count", "@/people.csv", "--delimited", "--record-delimiter", "CHR$(13) & CHR$(10)"}},
            "4\n");
        row("count: delimited with names", {{"count", "@/people.csv", "--delimited", "--header"}},
            "3\n");
        row("count: fixed after an offset",
            {{"count", "@/people.csv", "--fixed", "--record-length", "10", "--byte-offset",
              QString::number(kCsv.size() - 5)}},
            "1\n");
        row("records: all", {{"records", "@/people.csv"}}, kPeople);
        row("records: from and count", {{"records", "@/people.csv", "--from", "2", "--count", "1"}},
            "[\"2\",\"M\xC3\xBCller\"]\n");
        row("records: past the end", {{"records", "@/people.csv", "--from", "9"}}, "");
        row("records: count zero", {{"records", "@/people.csv", "--count", "0"}}, "");
        row("records: names as a record",
            {{"records", "@/people.csv", "--delimited", "--count", "1"}}, "[\"id\",\"name\"]\n");
        row("records: ragged rows split with --delimited",
            {{"records", "@/ragged.csv", "--delimited"}},
            QByteArray(
                "[\"a\",\"b\",\"c\",\"\"]\n[\"1\",\"2\",\"\",\"\"]\n[\"3\",\"4\",\"5\",\"6\"]"
                "\n"));
        row("records: fixed without a layout",
            {{"records", "@/plain.dat", "--fixed", "--record-length", "4"}},
            "[\"ABCD\"]\n[\"EFGH\"]\n[\"\xC3\xA9\"]\n");
        row("records: EBCDIC",
            {{"records", "@/mainframe.dat", "--fixed", "--record-length", "2", "--ebcdic"}},
            "[\"AB\"]\n[\"12\"]\n");
        row("records: deleted dBase records left out", {{"records", "@/deleted.dbf"}},
            "[\"ann  \",\"31 \"]\n[\"cy   \",\"7  \"]\n");
        row("records: deleted dBase records kept",
            {{"records", "@/deleted.dbf", "--keep-deleted", "--from", "2"}},
            "[\"bob  \",\"42 \"]\n[\"cy   \",\"7  \"]\n");
        row("format file: fields, records, find",
            {{"fields", "@/layout.dat", "--fixed", "--record-length", "7"},
             {"records", "@/layout.dat", "--fixed", "--record-length", "7"},
             {"find", "@/layout.dat", "NAME", " bob ", "--fixed", "--record-length", "7"}},
            "num\t1\t2\nname\t3\t5\n[\"01\",\"Ann  \"]\n[\"02\",\"Bob  \"]\n2\n");
        row("fields: delimited, widest values", {{"fields", "@/people.csv"}},
            "id\t1\t2\nname\t3\t8\n");
        row("byte-order mark is no part of a name",
            {{"fields", "@/bom.csv"}, {"find", "@/bom.csv", "name", "foo"}},
            "name\t1\t4\nage\t5\t3\n1\n");
        row("byte-order mark is not converted",
            {{"convert", "@/bomdata.txt", "@/bomdata.fix", "--fixed"},
             {"records", "@/bomdata.fix"}},
            "[\"1\",\"2\"]\n[\"3\",\"4\"]\n");
        row("Field1 of a file without a layout",
            {{"fields", "@/lines.txt"}, {"find", "@/lines.txt", "Field1", "EF"}},
            "Field1\t1\t5\n2\n");
        row("find: several, case ignored", {{"find", "@/people.csv", "name", "E"}}, "1\n2\n");
        row("find: none", {{"find", "@/people.csv", "name", "nobody"}}, "");
        row("find: phrase starting with a dash", {{"find", "@/people.csv", "name", "--", "-x"}},
            QByteArray());
        row("find: UTF-8 phrase in Latin-1 and UTF-8 data, case ignored",
            {{"find", "@/mixed.csv", "name", "M\xC3\x9CLLER"}}, "1\n3\n");
        row("convert: fixed and back",
            {{"convert", "@/people.csv", "@/people.txt", "--fixed"},
             {"convert", "@/people.txt", "@/back.csv", "--delimited", "--field-delimiter",
              "CHR$(59)", "--header"},
             {"records", "@/back.csv"}},
            kPeople);
        row("convert: fixed with names reopens with names",
            {{"convert", "@/people.csv", "@/named.txt", "--fixed", "--header"},
             {"count", "@/named.txt"},
             {"records", "@/named.txt", "--count", "1"}},
            "3\n[\"1 \",\"Lee, Bo \"]\n");
        row("convert: dBase",
            {{"convert", "@/people.csv", "@/people.dbf"}, {"count", "@/people.dbf"}}, "3\n");
        row("convert: deleted dBase records left out",
            {{"convert", "@/deleted.dbf", "@/live.csv"}, {"count", "@/live.csv"}}, "2\n");
        row("convert: deleted dBase records kept",
            {{"convert", "@/deleted.dbf", "@/all.csv", "--keep-deleted"}, {"count", "@/all.csv"}},
            "3\n");
        row("convert: dBase to dBase keeps the mark",
            {{"convert", "@/deleted.dbf", "@/copy.dbf"},
             {"count", "@/copy.dbf"},
             {"records", "@/copy.dbf"}},
            "3\n[\"ann\",\"31\"]\n[\"cy \",\"7 \"]\n");
    }
    void commands() {
        QFETCH(QList<QStringList>, commands);
        QFETCH(QByteArray, expected);
        QByteArray out;
        for (const QStringList& command : commands) {
            CliResult r = RunVelmorData(Expand(command));
            QVERIFY2(r.status == 0 && r.err.isEmpty(), r.err.constData());
            out += r.out;
        }
        QCOMPARE(out, expected);
    }

    void failures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        auto row = [](const char* name, const QString& line, int status, const char* message) {
            QTest::newRow(name) << line.split(' ', Qt::SkipEmptyParts) << status << message;
        };
        row("missing file", "count /no/such/file.csv", 1, "/no/such/file.csv");
        row("convert a missing file", "convert @/none.csv @/x.csv", 1, "none.csv");
        row("unknown command", "tally x", 2, "tally");
        row("no command", "", 2, "No command");
        row("fixed without length", "count x --fixed", 2, "--record-length");
        row("zero length", "count x --fixed --record-length 0", 2, "--record-length");
        row("both divisions", "count x --fixed --delimited --record-length 3", 2, "either");
        row("bad representation", "count x --delimited --qualifier CHR$(256)", 2, "CHR$(256)");
        row("unknown field", "find @/people.csv nope x", 1, "nope");
        row("convert onto itself", "convert @/people.csv @/people.csv --fixed", 1, "source");
        row("missing argument", "find @/people.csv name", 2, "find");
        row("bad number", "records @/people.csv --from two", 2, "two");
        row("count past the last record number",
            "records @/people.csv --from 3 --count 9223372036854775807", 2, "--count");
        row("keep-deleted with count", "count @/deleted.dbf --keep-deleted", 2, "--keep-deleted");
        row("convert from a pipe", "convert @/pipe.csv @/x.csv", 1, "not a regular file");
        row("convert from a folder", "convert @/ @/x.csv", 1, "folder");
        row("records of a device", "records /dev/null", 1, "/dev/null");
        row("records of a dBase table cut short", "records @/cut.dbf", 1, "cut short");
        row("a profile file without profiles", "fields @/people.csv --profiles @/noprofiles.txt", 1,
            "cannot be read");
        row("connection: two fields of one name",
            "connection @/people.csv --fixed --record-length 4 --field A:1:2 --field A:3:2", 1,
            "Field Name: 'A' already exists.");
        row("connection: a delimiter the wizard cannot read",
            "connection @/people.csv --delimited --field-delimiter CHR$(x)", 1,
            "Field Seperator \"CHR$(x)\" cannot be read.");
        row("connection: a field without its length", "connection @/people.csv --field A:1", 2,
            "NAME:START:LENGTH");
    }
    void failures() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        CliResult r = RunVelmorData(Expand(args));
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(QString::fromUtf8(r.err).contains(message), r.err.constData());
        QCOMPARE(ReadBytes(dir_.filePath("people.csv")), kCsv);
        QVERIFY(!QFile::exists(dir_.filePath("x.csv")));
    }

    // A file cut short by another program while records reads it.
    void fileCutWhileRead() {
        const QString path = dir_.filePath("shrinking.dat");
        QVERIFY(WriteBytes(path, QByteArray(8 << 20, 'x')));
        QProcess p;
        p.start(VelmorData(), {"records", path, "--fixed", "--record-length", "100"});
        QVERIFY(p.waitForReadyRead(20000));  // it has the file open and prints
        QVERIFY(QFile::resize(path, 1 << 20));
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 1);
        QVERIFY(p.readAllStandardError().contains("changed while it was read"));
    }

    void readsThroughFileTypes_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("userFile");
        QTest::addColumn<QByteArray>("firstName");
        // A ".dat" file is a flat file to the built-in types, so its lines
        // are whole records, as the program shows them.
        QTest::newRow("built-in types") << QStringList{} << false << QByteArray("Field1");
        QTest::newRow("the user's profiles") << QStringList{} << true << QByteArray("a");
        QTest::newRow("detection alone")
            << QStringList{"--no-profiles"} << false << QByteArray("a");
        QTest::newRow("a profile file")
            << QStringList{"--profiles", "semicolons.txt"} << false << QByteArray("a");
    }
    void readsThroughFileTypes() {
        QFETCH(QStringList, options);
        QFETCH(bool, userFile);
        QFETCH(QByteArray, firstName);
        const QByteArray profiles =
            "Begin Semicolons\r\n  Extensions=*.dat\r\n  IsDelimited=True\r\n"
            "  FieldDelimiterRepresentation=CHR$(59)\r\n"
            "  FirstRecordContainsFieldNames=True\r\nEnd\r\n";
        WriteBytes(dir_.filePath("semi.dat"), "a;b\n1;2\n3;4\n");
        WriteBytes(dir_.filePath("semicolons.txt"), profiles);
        QDir(dir_.path()).mkpath("config");
        QFile::remove(dir_.filePath("config/UserConnections.txt"));
        if (userFile) WriteBytes(dir_.filePath("config/UserConnections.txt"), profiles);
        if (options.size() == 2) options[1] = dir_.filePath(options[1]);
        CliResult r = RunVelmorData(QStringList{"fields", dir_.filePath("semi.dat")} + options);
        QFile::remove(dir_.filePath("config/UserConnections.txt"));
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out.split('\t').value(0), firstName);
    }

    // Saved where the program keeps it, then read by every command; without
    // options it says where the connection in force came from.
    void connection() {
        const QString data = dir_.filePath("acct.txt");
        QVERIFY(WriteBytes(data, "AAAA111111BBBB222222"));
        CliResult r = RunVelmorData({"connection", data});
        QVERIFY2(r.out.startsWith("Source: detection\n"), r.out.constData());
        r = RunVelmorData({"connection", data, "--fixed", "--record-length", "10", "--field",
                           "F1:1:4", "--field", "C\xC3\x93" "D:5:6"});
        QVERIFY2(r.status == 0, r.err.constData());
        QVERIFY(r.out.contains("Field=5,6,C\xC3\x93" "D\n"));
        const QByteArray source = "Source: connection file " + dir_.filePath("xdg/Velmor/Connections/").toUtf8();
        QVERIFY2(r.out.startsWith(source), r.out.constData());
        QCOMPARE(RunVelmorData({"connection", data}).out, r.out);
        QCOMPARE(RunVelmorData({"records", data}).out, "[\"AAAA\",\"111111\"]\n[\"BBBB\",\"222222\"]\n");
        QCOMPARE(RunVelmorData({"codes", data, "C\xC3\x93" "D"}).out, "111111 1      \r\n222222 1      \r\n");
        QVERIFY(WriteBytes(dir_.filePath("typed.csv"), "a,b\r\n"));
        r = RunVelmorData({"connection", dir_.filePath("typed.csv")});
        QVERIFY2(r.out.startsWith("Source: file type CSV\n"), r.out.constData());
        QVERIFY(!QFile::exists(data + ".vdc"));
    }
};

QTEST_GUILESS_MAIN(VelmorDataCliTest)
#include "tst_velmor_data_cli.moc"
