// `velmor-data bytes` run as a program: positions printed, exit statuses,
// hex lists, and refusals that leave the file as it was.
#include <QTemporaryDir>
#include <QtTest>

#include "engine_testfiles.h"

using namespace enginetest;

class tst_bytes_cli : public QObject {
    Q_OBJECT

private slots:
    void bytes_data() {
        QTest::addColumn<QStringList>("args");  // "@" stands for the file
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("after");
        const QByteArray text = "ab\r\nab\r\nabab";
        QTest::newRow("first") << QStringList{"find", "@", "ab"} << 0 << QByteArray("1\n") << text;
        QTest::newRow("from") << QStringList{"find", "@", "ab", "--from", "2"} << 0
                              << QByteArray("5\n") << text;
        QTest::newRow("all, hex") << QStringList{"find", "@", "0D 0A", "--hex", "--all"} << 0
                                  << QByteArray("3\n7\n") << text;
        QTest::newRow("none") << QStringList{"find", "@", "zz"} << 1 << QByteArray() << text;
        QTest::newRow("replace, equal") << QStringList{"replace", "@", "ab", "AB"} << 0
                                        << QByteArray("4\n") << QByteArray("AB\r\nAB\r\nABAB");
        QTest::newRow("replace, hex, shorter")
            << QStringList{"replace", "@", "0D 0A", "0A", "--hex"} << 0 << QByteArray("2\n")
            << QByteArray("ab\nab\nabab");
        QTest::newRow("not a byte")
            << QStringList{"replace", "@", "0D0A", "0A", "--hex"} << 1 << QByteArray() << text;
        QTest::newRow("bad shape")
            << QStringList{"find", "@", "0D0A 0A", "--hex"} << 1 << QByteArray() << text;
        QTest::newRow("empty find")
            << QStringList{"replace", "@", "", "x"} << 1 << QByteArray() << text;
        QTest::newRow("missing operand")
            << QStringList{"replace", "@", "ab"} << 2 << QByteArray() << text;
    }
    void bytes() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const QString path = dir.filePath("f.bin");
        QVERIFY(WriteBytes(path, "ab\r\nab\r\nabab"));
        const CliResult r = RunVelmorData(QStringList{"bytes"} +
                                          args.replaceInStrings(QRegularExpression("^@$"), path));
        QTEST(r.status, "status");
        QTEST(r.out, "out");
        QTEST(ReadBytes(path), "after");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"});
    }
};

QTEST_GUILESS_MAIN(tst_bytes_cli)
#include "tst_bytes_cli.moc"
