// velmor-data run as a program: every command on small files of every kind,
// conversions read back, and failures reported on stderr with an exit status
// while the data stays untouched.
#include <sys/stat.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "engine_testfiles.h"

using enginetest::DbaseTable;
using enginetest::Iconv;
using enginetest::ReadBytes;
using enginetest::WriteBytes;

namespace {

// The program is built into the same bin folder as the tests.
QString Program() {
    const QDir here(QCoreApplication::applicationDirPath());
    for (const char* candidate : {"velmor-data", "../bin/velmor-data", "../../bin/velmor-data"}) {
        if (QFile::exists(here.filePath(candidate))) return here.filePath(candidate);
    }
    return {};
}

struct Result {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

Result Run(const QStringList& args) {
    QProcess p;
    p.start(Program(), args);
    Result r;
    if (!p.waitForFinished(20000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

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
            {"deleted.dbf", DeletedDbase()}};
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
        QVERIFY2(!Program().isEmpty(), "build the velmor-data target first");
        // The user's own profiles must not decide what these tests read.
        qputenv("VELMOR_CONFIG", dir_.filePath("config").toLocal8Bit());
        for (const auto& input : Inputs())
            QVERIFY(WriteBytes(dir_.filePath(input.first), input.second));
        QCOMPARE(::mkfifo(QFile::encodeName(dir_.filePath("pipe.csv")).constData(), 0600), 0);
    }

    void commands_data() {
        using Lines = QList<QStringList>;
        QTest::addColumn<Lines>("commands");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("count: names are no record")
            << Lines{{"count", "@/people.csv"}} << QByteArray("3\n");
        QTest::newRow("count: delimited without names")
            << Lines{{"count", "@/people.csv", "--delimited", "--record-delimiter",
                      "CHR$(13) & CHR$(10)"}}
            << QByteArray("4\n");
        QTest::newRow("count: delimited with names")
            << Lines{{"count", "@/people.csv", "--delimited", "--header"}} << QByteArray("3\n");
        QTest::newRow("count: fixed, last record partial")
            << Lines{{"count", "@/people.csv", "--fixed", "--record-length", "10"}}
            << QByteArray::number((kCsv.size() + 9) / 10) + "\n";
        QTest::newRow("count: fixed after an offset")
            << Lines{{"count", "@/people.csv", "--fixed", "--record-length", "10", "--byte-offset",
                      QString::number(kCsv.size() - 5)}}
            << QByteArray("1\n");
        QTest::newRow("records: all") << Lines{{"records", "@/people.csv"}} << kPeople;
        QTest::newRow("records: from and count")
            << Lines{{"records", "@/people.csv", "--from", "2", "--count", "1"}}
            << QByteArray("[\"2\",\"M\xC3\xBCller\"]\n");
        QTest::newRow("records: past the end")
            << Lines{{"records", "@/people.csv", "--from", "9"}} << QByteArray();
        QTest::newRow("records: count zero")
            << Lines{{"records", "@/people.csv", "--count", "0"}} << QByteArray();
        QTest::newRow("records: names as a record")
            << Lines{{"records", "@/people.csv", "--delimited", "--count", "1"}}
            << QByteArray("[\"id\",\"name\"]\n");
        QTest::newRow("records: ragged rows split with --delimited")
            << Lines{{"records", "@/ragged.csv", "--delimited"}}
            << QByteArray(
                   "[\"a\",\"b\",\"c\",\"\"]\n[\"1\",\"2\",\"\",\"\"]\n[\"3\",\"4\",\"5\",\"6\"]"
                   "\n");
        QTest::newRow("records: fixed without a layout")
            << Lines{{"records", "@/plain.dat", "--fixed", "--record-length", "4"}}
            << QByteArray("[\"ABCD\"]\n[\"EFGH\"]\n[\"\xC3\xA9\"]\n");
        QTest::newRow("records: EBCDIC")
            << Lines{{"records", "@/mainframe.dat", "--fixed", "--record-length", "2", "--ebcdic"}}
            << QByteArray("[\"AB\"]\n[\"12\"]\n");
        QTest::newRow("records: deleted dBase records left out")
            << Lines{{"records", "@/deleted.dbf"}}
            << QByteArray("[\"ann  \",\"31 \"]\n[\"cy   \",\"7  \"]\n");
        QTest::newRow("records: deleted dBase records kept")
            << Lines{{"records", "@/deleted.dbf", "--keep-deleted", "--from", "2"}}
            << QByteArray("[\"bob  \",\"42 \"]\n[\"cy   \",\"7  \"]\n");
        QTest::newRow("format file: fields, records, find")
            << Lines{{"fields", "@/layout.dat", "--fixed", "--record-length", "7"},
                     {"records", "@/layout.dat", "--fixed", "--record-length", "7"},
                     {"find", "@/layout.dat", "NAME", " bob ", "--fixed", "--record-length", "7"}}
            << QByteArray("num\t1\t2\nname\t3\t5\n[\"01\",\"Ann  \"]\n[\"02\",\"Bob  \"]\n2\n");
        QTest::newRow("fields: delimited, widest values")
            << Lines{{"fields", "@/people.csv"}} << QByteArray("id\t1\t2\nname\t3\t8\n");
        QTest::newRow("byte-order mark is no part of a name")
            << Lines{{"fields", "@/bom.csv"}, {"find", "@/bom.csv", "name", "foo"}}
            << QByteArray("name\t1\t4\nage\t5\t3\n1\n");
        QTest::newRow("byte-order mark is not converted")
            << Lines{{"convert", "@/bomdata.txt", "@/bomdata.fix", "--fixed"},
                     {"records", "@/bomdata.fix"}}
            << QByteArray("[\"1\",\"2\"]\n[\"3\",\"4\"]\n");
        QTest::newRow("Field1 of a file without a layout")
            << Lines{{"fields", "@/lines.txt"}, {"find", "@/lines.txt", "Field1", "EF"}}
            << QByteArray("Field1\t1\t5\n2\n");
        QTest::newRow("find: case ignored")
            << Lines{{"find", "@/people.csv", "name", "LEE"}} << QByteArray("1\n");
        QTest::newRow("find: several")
            << Lines{{"find", "@/people.csv", "name", "E"}} << QByteArray("1\n2\n");
        QTest::newRow("find: none")
            << Lines{{"find", "@/people.csv", "name", "nobody"}} << QByteArray();
        QTest::newRow("find: phrase starting with a dash")
            << Lines{{"find", "@/people.csv", "name", "--", "-x"}} << QByteArray();
        QTest::newRow("find: UTF-8 phrase in Latin-1 and UTF-8 data")
            << Lines{{"find", "@/mixed.csv", "name", "M\xC3\x9CLLER"}} << QByteArray("1\n");
        QTest::newRow("find: UTF-8 phrase, lower case")
            << Lines{{"find", "@/mixed.csv", "name", "m\xC3\xBCller"}} << QByteArray("1\n3\n");
        QTest::newRow("convert: fixed and back")
            << Lines{{"convert", "@/people.csv", "@/people.txt", "--fixed"},
                     {"convert", "@/people.txt", "@/back.csv", "--delimited", "--field-delimiter",
                      "CHR$(59)", "--header"},
                     {"records", "@/back.csv"}}
            << kPeople;
        QTest::newRow("convert: fixed with names reopens with names")
            << Lines{{"convert", "@/people.csv", "@/named.txt", "--fixed", "--header"},
                     {"count", "@/named.txt"},
                     {"records", "@/named.txt", "--count", "1"}}
            << QByteArray("3\n[\"1 \",\"Lee, Bo \"]\n");
        QTest::newRow("convert: dBase")
            << Lines{{"convert", "@/people.csv", "@/people.dbf"}, {"count", "@/people.dbf"}}
            << QByteArray("3\n");
        QTest::newRow("convert: deleted dBase records left out")
            << Lines{{"convert", "@/deleted.dbf", "@/live.csv"}, {"count", "@/live.csv"}}
            << QByteArray("2\n");
        QTest::newRow("convert: deleted dBase records kept")
            << Lines{{"convert", "@/deleted.dbf", "@/all.csv", "--keep-deleted"},
                     {"count", "@/all.csv"}}
            << QByteArray("3\n");
        QTest::newRow("convert: dBase to dBase keeps the mark")
            << Lines{{"convert", "@/deleted.dbf", "@/copy.dbf"},
                     {"count", "@/copy.dbf"},
                     {"records", "@/copy.dbf"}}
            << QByteArray("3\n[\"ann\",\"31\"]\n[\"cy \",\"7 \"]\n");
    }
    void commands() {
        QFETCH(QList<QStringList>, commands);
        QFETCH(QByteArray, expected);
        QByteArray out;
        for (const QStringList& command : commands) {
            Result r = Run(Expand(command));
            QVERIFY2(r.status == 0 && r.err.isEmpty(), r.err.constData());
            out += r.out;
        }
        QCOMPARE(out, expected);
    }

    void failures_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing file")
            << QStringList{"count", "/no/such/file.csv"} << 1 << "/no/such/file.csv";
        QTest::newRow("unknown command") << QStringList{"tally", "x"} << 2 << "tally";
        QTest::newRow("no command") << QStringList{} << 2 << "No command";
        QTest::newRow("fixed without length")
            << QStringList{"count", "x", "--fixed"} << 2 << "--record-length";
        QTest::newRow("zero length") << QStringList{"count", "x", "--fixed", "--record-length", "0"}
                                     << 2 << "--record-length";
        QTest::newRow("both divisions")
            << QStringList{"count", "x", "--fixed", "--delimited", "--record-length", "3"} << 2
            << "either";
        QTest::newRow("bad representation")
            << QStringList{"count", "x", "--delimited", "--qualifier", "CHR$(256)"} << 2
            << "CHR$(256)";
        QTest::newRow("unknown field")
            << QStringList{"find", "@/people.csv", "nope", "x"} << 1 << "nope";
        QTest::newRow("convert onto itself")
            << QStringList{"convert", "@/people.csv", "@/people.csv", "--fixed"} << 1 << "source";
        QTest::newRow("missing argument")
            << QStringList{"find", "@/people.csv", "name"} << 2 << "find";
        QTest::newRow("bad number")
            << QStringList{"records", "@/people.csv", "--from", "two"} << 2 << "two";
        QTest::newRow("count past the last record number")
            << QStringList{"records", "@/people.csv", "--from",
                           "3",       "--count",      "9223372036854775807"}
            << 2 << "--count";
        QTest::newRow("keep-deleted with count")
            << QStringList{"count", "@/deleted.dbf", "--keep-deleted"} << 2 << "--keep-deleted";
        QTest::newRow("convert from a pipe")
            << QStringList{"convert", "@/pipe.csv", "@/x.csv"} << 1 << "not a regular file";
        QTest::newRow("convert from a folder")
            << QStringList{"convert", "@/", "@/x.csv"} << 1 << "folder";
        QTest::newRow("records of a device")
            << QStringList{"records", "/dev/null"} << 1 << "/dev/null";
    }
    void failures() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        Result r = Run(Expand(args));
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(QString::fromUtf8(r.err).contains(message), r.err.constData());
        QCOMPARE(ReadBytes(dir_.filePath("people.csv")), kCsv);
        QVERIFY(!QFile::exists(dir_.filePath("x.csv")));
    }

    // Every printable EBCDIC byte against the C library's code page 037.
    void ebcdicMatchesCodePage037() {
        QByteArray bytes;
        for (int b = 0x40; b <= 0xFF; ++b) {
            if (b != 0x7F) bytes += static_cast<char>(b);  // 0x7F is the quotation mark
        }
        const QByteArray utf8 = Iconv(bytes, "IBM037", "UTF-8");
        QVERIFY(!utf8.isEmpty());
        const QString path = dir_.filePath("all.ebc");
        QVERIFY(WriteBytes(path, bytes));
        Result r = Run({"records", path, "--fixed", "--record-length",
                        QString::number(bytes.size()), "--ebcdic"});
        QCOMPARE(r.status, 0);
        QByteArray escaped = utf8;
        escaped.replace("\\", "\\\\");
        QCOMPARE(r.out, "[\"" + escaped + "\"]\n");
    }

    // A file cut short by another program while records reads it.
    void fileCutWhileRead() {
        const QString path = dir_.filePath("shrinking.dat");
        QVERIFY(WriteBytes(path, QByteArray(8 << 20, 'x')));
        QProcess p;
        p.start(Program(), {"records", path, "--fixed", "--record-length", "100"});
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
        Result r = Run(QStringList{"fields", dir_.filePath("semi.dat")} + options);
        QFile::remove(dir_.filePath("config/UserConnections.txt"));
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.out.split('\t').value(0), firstName);
    }

    void help() {
        Result r = Run({"--help"});
        QCOMPARE(r.status, 0);
        QVERIFY(r.out.contains("velmor-data count FILE"));
        QVERIFY(r.out.contains("--keep-deleted"));
    }
};

QTEST_GUILESS_MAIN(VelmorDataCliTest)
#include "tst_velmor_data_cli.moc"
