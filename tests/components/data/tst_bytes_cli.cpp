// `velmor-data bytes` run as a program: positions printed, exit statuses,
// hex lists, and refusals that leave the file as it was.
#include <sys/stat.h>

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

    // Refused at once with a message: nothing blocks on a pipe, nothing is
    // counted in a device.
    void refusals_data() {
        QTest::addColumn<QStringList>("args");  // "@" the file, "|" a FIFO beside it
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("find nothing")
            << QStringList{"find", "@", ""} << QByteArray("There is nothing to find");
        QTest::newRow("find in a FIFO")
            << QStringList{"find", "|", "abc"} << QByteArray("is not a regular file");
        QTest::newRow("replace in a FIFO")
            << QStringList{"replace", "|", "abc", "x"} << QByteArray("is not a regular file");
        QTest::newRow("replace in /dev/null") << QStringList{"replace", "/dev/null", "a", "bb"}
                                              << QByteArray("is not a regular file");
        QTest::newRow("find in /dev/null")
            << QStringList{"find", "/dev/null", "a"} << QByteArray("is not a regular file");
    }
    void refusals() {
        QFETCH(QStringList, args);
        QTemporaryDir dir;
        const QString path = dir.filePath("f.bin"), fifo = dir.filePath("f.fifo");
        QVERIFY(WriteBytes(path, "abc"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        args.replaceInStrings(QRegularExpression("^@$"), path);
        args.replaceInStrings(QRegularExpression("^\\|$"), fifo);
        const CliResult r = RunVelmorData(QStringList{"bytes"} + args, 10000);
        QCOMPARE(r.status, 1);
        QFETCH(QByteArray, message);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QCOMPARE(r.out, QByteArray());
    }
};

QTEST_GUILESS_MAIN(tst_bytes_cli)
#include "tst_bytes_cli.moc"
