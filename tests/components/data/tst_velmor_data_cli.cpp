// velmor-data run as a program: every command, the division options, UTF-8
// and JSON output, and failures reported on stderr with an exit status.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

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
    if (!p.waitForFinished(60000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

// Each output line parsed as a JSON array of strings.
QList<QStringList> JsonLines(const QByteArray& out) {
    QList<QStringList> rows;
    for (const QByteArray& line : out.split('\n')) {
        if (line.isEmpty()) continue;
        QJsonParseError error{};
        QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isArray()) return {{"<bad json>"}};
        QStringList row;
        for (const QJsonValue& v : doc.array()) row << v.toString();
        rows << row;
    }
    return rows;
}

const QByteArray kCsv = "id,name\r\n1,\"Lee, Bo\"\r\n2,M\xfcller\r\n3,\"say \"\"hi\"\"\"\r\n";

}  // namespace

class VelmorDataCliTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir dir_;
    QString csv_;

private slots:
    void initTestCase() {
        QVERIFY2(!Program().isEmpty(), "build the velmor-data target first");
        // The user's own profiles must not decide what these tests read.
        qputenv("VELMOR_CONFIG", dir_.filePath("config").toLocal8Bit());
        csv_ = dir_.filePath("people.csv");
        WriteBytes(csv_, kCsv);
    }

    void counts_data() {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("detected, names not counted")
            << QStringList{"count", "people.csv"} << QByteArray("3\n");
        QTest::newRow("delimited without names")
            << QStringList{"count", "people.csv", "--delimited", "--record-delimiter",
                           "CHR$(13) & CHR$(10)"}
            << QByteArray("4\n");
        QTest::newRow("delimited with names")
            << QStringList{"count", "people.csv", "--delimited", "--header"} << QByteArray("3\n");
        QTest::newRow("fixed, last record partial")
            << QStringList{"count", "people.csv", "--fixed", "--record-length", "10"}
            << QByteArray(QByteArray::number((kCsv.size() + 9) / 10) + "\n");
        QTest::newRow("fixed after an offset") << QStringList{"count",
                                                              "people.csv",
                                                              "--fixed",
                                                              "--record-length",
                                                              "10",
                                                              "--byte-offset",
                                                              QString::number(kCsv.size() - 5)}
                                               << QByteArray("1\n");
    }
    void counts() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, expected);
        args[1] = dir_.filePath(args[1]);
        Result r = Run(args);
        QCOMPARE(r.err, QByteArray());
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, expected);
    }

    void records_data() {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<QList<QStringList>>("expected");
        const QString mueller = QString::fromUtf8("Müller");
        QTest::newRow("all") << QStringList{}
                             << QList<QStringList>{
                                    {"1", "Lee, Bo"}, {"2", mueller}, {"3", "say \"hi\""}};
        QTest::newRow("from and count")
            << QStringList{"--from", "2", "--count", "1"} << QList<QStringList>{{"2", mueller}};
        QTest::newRow("past the end") << QStringList{"--from", "9"} << QList<QStringList>{};
        QTest::newRow("count zero") << QStringList{"--count", "0"} << QList<QStringList>{};
        QTest::newRow("names as a record")
            << QStringList{"--delimited", "--count", "1"} << QList<QStringList>{{"id", "name"}};
    }
    void records() {
        QFETCH(QStringList, options);
        QFETCH(QList<QStringList>, expected);
        Result r = Run(QStringList{"records", csv_} + options);
        QCOMPARE(r.status, 0);
        QCOMPARE(JsonLines(r.out), expected);
    }

    void fixedWithoutLayoutShowsWholeRecords() {
        const QString path = dir_.filePath("plain.dat");
        WriteBytes(path, "ABCDEFGH\xe9");
        Result r = Run({"records", path, "--fixed", "--record-length", "4"});
        QCOMPARE(r.status, 0);
        QCOMPARE(JsonLines(r.out),
                 (QList<QStringList>{{"ABCD"}, {"EFGH"}, {QString::fromUtf8("é")}}));
    }

    void fixedTakesFieldsFromTheFormatFile() {
        const QString path = dir_.filePath("layout.dat");
        WriteBytes(path, "01Ann  02Bob  ");
        WriteBytes(dir_.filePath("layout.fmt"), "num, 2\r\nname, 5\r\n");
        Result fields = Run({"fields", path, "--fixed", "--record-length", "7"});
        QCOMPARE(fields.status, 0);
        QCOMPARE(fields.out, QByteArray("num\t1\t2\nname\t3\t5\n"));
        Result r = Run({"records", path, "--fixed", "--record-length", "7"});
        QCOMPARE(JsonLines(r.out), (QList<QStringList>{{"01", "Ann  "}, {"02", "Bob  "}}));
        Result found = Run({"find", path, "NAME", " bob ", "--fixed", "--record-length", "7"});
        QCOMPARE(found.out, QByteArray("2\n"));
    }

    void ebcdicIsTranslated() {
        const QString path = dir_.filePath("mainframe.dat");
        WriteBytes(path, "\xC1\xC2\xF1\xF2");  // "AB12" in code page 037
        Result r = Run({"records", path, "--fixed", "--record-length", "2", "--ebcdic"});
        QCOMPARE(r.status, 0);
        QCOMPARE(JsonLines(r.out), (QList<QStringList>{{"AB"}, {"12"}}));
    }

    void fieldsOfADelimitedFile() {
        Result r = Run({"fields", csv_});
        QCOMPARE(r.status, 0);
        const QList<QByteArray> lines = r.out.trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY(lines[0].startsWith("id\t1\t"));
        QVERIFY(lines[1].startsWith("name\t"));
    }

    void findsEveryMatch_data() {
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("phrase");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("case ignored") << "name"
                                      << "LEE" << QByteArray("1\n");
        QTest::newRow("several") << "name"
                                 << "E" << QByteArray("1\n2\n");
        QTest::newRow("none") << "name"
                              << "nobody" << QByteArray();
        QTest::newRow("phrase starting with a dash") << "name"
                                                     << "-x" << QByteArray();
    }
    void findsEveryMatch() {
        QFETCH(QString, field);
        QFETCH(QString, phrase);
        QFETCH(QByteArray, expected);
        Result r = Run({"find", csv_, field, "--", phrase});
        QCOMPARE(r.status, 0);
        QCOMPARE(r.out, expected);
    }

    void convertsAndReadsBack() {
        const QString fixed = dir_.filePath("people.txt");
        Result c = Run({"convert", csv_, fixed, "--fixed"});
        QCOMPARE(c.err, QByteArray());
        QCOMPARE(c.status, 0);
        Result back = Run({"convert", fixed, dir_.filePath("back.csv"), "--delimited",
                           "--field-delimiter", "CHR$(59)", "--header"});
        QCOMPARE(back.status, 0);
        Result r = Run({"records", dir_.filePath("back.csv")});
        QCOMPARE(JsonLines(r.out), JsonLines(Run({"records", csv_}).out));
        Result dbf = Run({"convert", csv_, dir_.filePath("people.dbf")});
        QCOMPARE(dbf.status, 0);
        QCOMPARE(Run({"count", dir_.filePath("people.dbf")}).out, QByteArray("3\n"));
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
        QTest::newRow("unknown field") << QStringList{"find", "@csv", "nope", "x"} << 1 << "nope";
        QTest::newRow("convert onto itself")
            << QStringList{"convert", "@csv", "@csv", "--fixed"} << 1 << "source";
        QTest::newRow("missing argument") << QStringList{"find", "@csv", "name"} << 2 << "find";
        QTest::newRow("bad number")
            << QStringList{"records", "@csv", "--from", "two"} << 2 << "two";
    }
    void failures() {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, message);
        args.replaceInStrings("@csv", csv_);
        const QByteArray before = kCsv;
        Result r = Run(args);
        QCOMPARE(r.status, status);
        QCOMPARE(r.out, QByteArray());
        QVERIFY2(QString::fromUtf8(r.err).contains(message), r.err.constData());
        QFile f(csv_);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
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
        QVERIFY(r.out.contains("--record-delimiter REP"));
    }
};

QTEST_GUILESS_MAIN(VelmorDataCliTest)
#include "tst_velmor_data_cli.moc"
