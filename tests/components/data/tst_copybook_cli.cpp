// velmor-data with --copybook: one EBCDIC file built by hand (text, packed,
// binary, zoned; fixed and RDW), every command's output as the rules give it.
#include <QTemporaryDir>
#include <QtTest>

#include "components/data/engine_testfiles.h"

using namespace enginetest;

namespace {

// CUST-NAME X(6), BALANCE S9(5)V99 COMP-3, VISITS S9(4) COMP, ZONE S9(3)V9,
// two bytes of FILLER: 18 bytes. Names in code page 037.
QByteArray Record(const QByteArray& name37, const char* packed, const char* binary, const char* zoned) {
    return name37 + QByteArray::fromHex(packed) + QByteArray::fromHex(binary) + QByteArray::fromHex(zoned) +
           QByteArray::fromHex("4040");
}

QByteArray Rdw(const QByteArray& record) {
    QByteArray rdw(4, '\0');
    rdw[1] = static_cast<char>(record.size() + 4);
    return rdw + record;
}

const char* const kCopybook =
    "      * customers\n"
    "       01 CUST-REC.\n"
    "          05 CUST-NAME      PIC X(6).\n"
    "          05 BALANCE        PIC S9(5)V99 COMP-3.\n"
    "          05 VISITS         PIC S9(4) COMP.\n"
    "          05 ZONE-AMT       PIC S9(3)V9.\n"
    "          05 FILLER         PIC X(2).\n";

}  // namespace

class CopybookCliTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();
    void convertTargets_data();
    void convertTargets();
    void savedConnection();

private:
    QTemporaryDir dir_;
};

void CopybookCliTest::initTestCase() {
    QVERIFY2(!VelmorData().isEmpty(), "build the velmor-data target first");
    qputenv("VELMOR_CONFIG", dir_.filePath("config").toLocal8Bit());
    const QByteArray a = Record(QByteArray::fromHex("C1D5D5C14040"), "0123450D", "0003", "F0F1F2C3");
    const QByteArray b = Record(QByteArray::fromHex("C2D1ECD9D540"), "0009999C", "FFFE", "F0F0F0D5");  // BJÖRN
    const QByteArray c = Record(QByteArray::fromHex("C3D3C5D6C0C0"), "0A00000C", "0000", "40404040");
    QVERIFY(WriteBytes(dir_.filePath("f.dat"), a + b + c));
    QVERIFY(WriteBytes(dir_.filePath("v.dat"), Rdw(a) + Rdw(b) + Rdw(c)));
    QVERIFY(WriteBytes(dir_.filePath("bad.dat"), Rdw(a) + QByteArray::fromHex("00300000C1")));
    QVERIFY(WriteBytes(dir_.filePath("q.dat"), Record(QByteArray::fromHex("C16B7FC24040"), "0000001C", "0001", "F0F0F0F1")));
    QVERIFY(WriteBytes(dir_.filePath("c.cpy"), kCopybook));
    QVERIFY(WriteBytes(dir_.filePath("wrong.cpy"), "       01 R.\n           05 A PIC 9(3)Q.\n"));
}

void CopybookCliTest::commands_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");  // a part of stderr
    const QString recs = "[\"ANNA  \",\"-1234.50\",\"3\",\"12.3\"]\n"
                         "[\"BJÖRN \",\"99.99\",\"-2\",\"-0.5\"]\n"
                         "[\"CLEO{{\",\"?0A00000C\",\"0\",\"\"]\n";
    QTest::newRow("fields") << QStringList{"fields", "f.dat"} << 0
                            << "CUST-NAME\t1\t6\ttext\nBALANCE\t7\t4\tpacked\nVISITS\t11\t2\tbinary\n"
                               "ZONE-AMT\t13\t4\tzoned\n" << "";
    QTest::newRow("records fixed") << QStringList{"records", "f.dat"} << 0 << recs << "1 value(s) not valid";
    QTest::newRow("records rdw") << QStringList{"records", "v.dat", "--rdw"} << 0 << recs << "";
    QTest::newRow("records from, count") << QStringList{"records", "v.dat", "--rdw", "--from", "2", "--count", "1"}
                                         << 0 << "[\"BJÖRN \",\"99.99\",\"-2\",\"-0.5\"]\n" << "";
    QTest::newRow("count rdw") << QStringList{"count", "v.dat", "--rdw"} << 0 << "3\n" << "";
    QTest::newRow("damaged length")
        << QStringList{"count", "bad.dat", "--rdw"} << 1 << "1\n"
        << "Record 2 at byte 22: the record length 48 runs past the end of the file (5 bytes left)";
    // Without a copybook the engine's own options divide the file.
    QTest::newRow("count rdw, no copybook") << QStringList{"count", "v.dat", "--rdw", "-"} << 0 << "3\n" << "";
    QTest::newRow("damaged, no copybook")
        << QStringList{"count", "bad.dat", "--rdw", "-"} << 1 << "1\n"
        << "holds only 1 readable record(s). Record 2 at byte 22: the record length 48";
    QTest::newRow("records rdw, no copybook")
        << QStringList{"records", "v.dat", "--rdw", "--ebcdic", "--from", "2", "--count", "1", "-"} << 0
        << "[\"BJÖRN \\u0000\xC2\x8Dr\xC3\xA6\xC2\x9F\xC3\x9A" "000N  \"]\n" << "";
    QTest::newRow("rdw with a record length") << QStringList{"count", "v.dat", "--rdw", "--record-length", "5", "-"}
                                              << 2 << "" << "--rdw, --rdw-le and --bdw take no";
    QTest::newRow("find packed") << QStringList{"find", "v.dat", "BALANCE", "-1234.5", "--rdw"} << 0 << "1\n" << "";
    QTest::newRow("find zoned") << QStringList{"find", "v.dat", "zone-amt", "-.50", "--rdw"} << 0 << "2\n" << "";
    QTest::newRow("find text") << QStringList{"find", "v.dat", "CUST-NAME", "JÖ", "--rdw"} << 0 << "2\n" << "";
    QTest::newRow("find text not in page") << QStringList{"find", "v.dat", "CUST-NAME", "€", "--rdw"} << 1 << ""
                                           << "characters the file's encoding cannot hold";
    QTest::newRow("find no number") << QStringList{"find", "v.dat", "VISITS", "x", "--rdw"} << 1 << ""
                                    << "is not a number";
    QTest::newRow("codes") << QStringList{"codes", "v.dat", "VISITS", "--rdw"} << 0
                           << "-2     1      \r\n0      1      \r\n3      1      \r\n" << "";
    QTest::newRow("dump") << QStringList{"dump", "v.dat", "2", "--rdw"} << 0
                          << "Record 2\nCUST-NAME  1\t6\ttext\tX(6)\tBJÖRN \nBALANCE    7\t4\tpacked\tS9(5)V99\t99.99\n"
                             "VISITS     11\t2\tbinary\tS9(4)\t-2\nZONE-AMT   13\t4\tzoned\tS9(3)V9\t-0.5\n" << "";
    QTest::newRow("copybook error") << QStringList{"fields", "f.dat", "--copybook", "wrong.cpy"} << 1 << ""
                                    << "wrong.cpy\", line 2, column 25: expected a picture character";
    QTest::newRow("unknown redefine") << QStringList{"fields", "f.dat", "--redefine", "X"} << 1 << ""
                                      << "no REDEFINES alternative or record named \"X\"";
    QTest::newRow("bad float option") << QStringList{"fields", "f.dat", "--float", "vax"} << 2 << ""
                                      << "--float takes ieee or ibm";
}

void CopybookCliTest::commands() {
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QStringList full;
    for (int i = 0; i < args.size(); ++i) full << (i == 1 ? dir_.filePath(args[i]) : args[i]);
    if (full.last() == "-") full.removeLast();  // no copybook
    else if (!full.contains("--copybook")) full << "--copybook" << dir_.filePath("c.cpy");
    else full[full.indexOf("--copybook") + 1] = dir_.filePath(full[full.indexOf("--copybook") + 1]);
    const CliResult r = RunVelmorData(full);
    QVERIFY2(QString::fromUtf8(r.err).contains(err), r.err.constData());
    QCOMPARE(QString::fromUtf8(r.out), out);
    QCOMPARE(r.status, status);
}

void CopybookCliTest::convertTargets_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<QStringList>("extra");  // the source is v.dat (RDW) unless given
    QTest::addColumn<QByteArray>("expected");  // for .dbf: the bytes from the first record on
    QTest::newRow("csv") << "o.csv" << QStringList{}
                         << QByteArray("CUST-NAME,BALANCE,VISITS,ZONE-AMT\r\nANNA,-1234.50,3,12.3\r\n"
                                       "BJ\xD6RN,99.99,-2,-0.5\r\nCLEO{{,?0A00000C,0,\r\n");
    QTest::newRow("csv, text qualified")
        << "q.csv" << QStringList{"SOURCE", "q.dat"}
        << QByteArray("CUST-NAME,BALANCE,VISITS,ZONE-AMT\r\n\"A,\"\"B\",0.01,1,0.1\r\n");
    QTest::newRow("fixed text, numbers right-aligned")
        << "o.txt" << QStringList{"--fixed"}
        << QByteArray("ANNA   -1234.50     3     12.3\r\nBJ\xD6RN     99.99    -2     -0.5\r\n"
                      "CLEO{{?0A00000C     0         \r\n");
    QTest::newRow("dbase numeric fields")
        << "o.dbf" << QStringList{}
        << QByteArray(" ANNA   -1234.50     3     12.3 BJ\xD6RN     99.99    -2     -0.5"
                      " CLEO{{              0         \x1A");
}

void CopybookCliTest::convertTargets() {
    QFETCH(QString, target);
    QFETCH(QStringList, extra);
    QFETCH(QByteArray, expected);
    const QString path = dir_.filePath(target);
    QStringList args{"convert", dir_.filePath("v.dat"), path, "--rdw", "--copybook", dir_.filePath("c.cpy")};
    if (extra.value(0) == "SOURCE") {
        args[1] = dir_.filePath(extra.value(1));
        args.removeAll("--rdw");
        extra.clear();
    }
    const CliResult r = RunVelmorData(args + extra);
    QCOMPARE(r.status, 0);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray bytes = file.readAll();
    if (target.endsWith(".dbf")) {
        QCOMPARE(bytes.at(32 + 11), 'C');  // CUST-NAME
        QCOMPARE(bytes.at(64 + 11), 'N');  // BALANCE, two decimals
        QCOMPARE(int(bytes.at(64 + 17)), 2);
        QCOMPARE(int(bytes.at(4)), 3);  // records
        bytes = bytes.mid(32 * 5 + 1);
    }
    QCOMPARE(bytes, expected);
}

void CopybookCliTest::savedConnection() {
    // A connection saved for RDW records divides the file the next time,
    // with no options, for the copybook's commands as for the engine's.
    const QString path = dir_.filePath("saved.dat");
    QVERIFY(WriteBytes(path, ReadBytes(dir_.filePath("v.dat")) + Rdw("\xC1\xC2")));
    const QString folder = dir_.filePath("connections");
    QVERIFY(QDir().mkpath(folder));
    CliResult r = RunVelmorData({"connection", path, "--rdw", "--ebcdic", "--connection-folder", folder});
    QCOMPARE(r.status, 0);
    QVERIFY2(r.out.contains("RecordFormat=rdw\n"), r.out.constData());
    r = RunVelmorData({"count", path, "--connection-folder", folder});
    QCOMPARE(r.out, QByteArray("4\n"));
    r = RunVelmorData({"fields", path, "--connection-folder", folder});
    QCOMPARE(r.out, QByteArray("Field1\t1\t18\n"));  // the longest record
    // A dump states the record's own length, not the longest.
    r = RunVelmorData({"dump", path, "4", "--connection-folder", folder});
    QVERIFY2(r.out.contains("Record Length: 2\n"), r.out.constData());
}

QTEST_GUILESS_MAIN(CopybookCliTest)
#include "tst_copybook_cli.moc"
