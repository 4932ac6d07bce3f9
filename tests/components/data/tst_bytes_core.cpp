// Byte access for the hex editor and `velmor-data bytes`: the one-byte
// write, the read-only check, hex lists, and find/replace over chunks checked
// against a plain left-to-right replacement on random data whose occurrences
// straddle the chunk boundaries.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <random>

#include "data/bytefile.h"
#include "data/bytesearch.h"
#include "data/hexlist.h"
#include "engine_testfiles.h"

namespace data = velmor::data;

namespace {

void Write(const QString& path, const std::string& bytes) {
    QVERIFY(enginetest::WriteBytes(path, QByteArray::fromStdString(bytes)));
}

std::string Read(const QString& path) {
    return enginetest::ReadBytes(path).toStdString();
}

// What a careful person does by hand: scan left to right, replace, jump
// past the occurrence.
std::string ReferenceReplace(const std::string& text, const std::string& find,
                             const std::string& replacement, std::int64_t& count) {
    std::string out;
    count = 0;
    for (std::size_t i = 0; i < text.size();) {
        if (text.compare(i, find.size(), find) == 0) {
            out += replacement;
            i += find.size();
            ++count;
        } else {
            out += text[i++];
        }
    }
    return out;
}

std::string RandomText(std::mt19937& random, std::size_t size) {
    std::string text(size, 'a');
    for (char& c : text) c = "aab"[random() % 3];
    return text;
}

mode_t Mode(const QString& path) {
    struct stat info {};
    stat(path.toLocal8Bit().constData(), &info);
    return info.st_mode & 07777;
}

}  // namespace

class tst_bytes_core : public QObject {
    Q_OBJECT

private slots:
    // One byte in place, never past either end; a missing file is reported,
    // never created. (Typing into a read-only file and its remedy, and the
    // in-place cancel: tst_hexedit_window.)
    void writeOneByte() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.dat");
        Write(path, "12345");
        std::string error;
        QCOMPARE(data::WriteOneByte(path.toStdString(), 5, 'Z', error), data::ByteWrite::Written);
        for (qint64 past : {qint64(6), qint64(1) << 33, qint64(0)})
            QCOMPARE(data::WriteOneByte(path.toStdString(), past, 'x', error),
                     data::ByteWrite::PastEnd);
        QCOMPARE(Read(path), std::string("1234Z"));
        QCOMPARE(data::WriteOneByte(dir.filePath("none").toStdString(), 1, 'x', error),
                 data::ByteWrite::Failed);
        QVERIFY(!error.empty());
        QVERIFY(!QFile::exists(dir.filePath("none")));
    }

    void hexLists_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("shapeOk");
        QTest::addColumn<bool>("converts");
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("CR LF") << "0D 0A" << true << true << QByteArray("\r\n");
        QTest::newRow("lower case") << "ff 41" << true << true << QByteArray("\xff\x41");
        QTest::newRow("upper case F") << "FF AF" << true << true << QByteArray("\xff\xaf");
        QTest::newRow("single digits") << "1 2" << true << true << QByteArray("\x01\x02");
        QTest::newRow("empty") << "" << true << true << QByteArray();
        QTest::newRow("over FF") << "100" << true << false << QByteArray();
        QTest::newRow("bad token later") << "41 ZZ 42" << true << false << QByteArray();
        QTest::newRow("trailing space") << "41 " << true << false << QByteArray();
        QTest::newRow("double space") << "0D  0A" << true << false << QByteArray();
    }
    void hexLists() {
        QFETCH(QString, text);
        QFETCH(bool, shapeOk);
        QFETCH(bool, converts);
        QFETCH(QByteArray, bytes);
        const std::string t = text.toStdString();
        QCOMPARE(data::IsValidHexList(t), shapeOk);
        if (!shapeOk) return;
        std::string out, error;
        QCOMPARE(data::HexListToText(t, out, error), converts);
        QCOMPARE(QByteArray::fromStdString(out), bytes);
        QCOMPARE(error.empty(), converts);
    }

    // Small chunks put occurrences across every boundary; the outcome must
    // be the reference's whatever the chunk size.
    void replaceMatchesReference_data() {
        QTest::addColumn<QString>("find");
        QTest::addColumn<QString>("replacement");
        const QList<QPair<QString, QString>> pairs{
            {"ab", "ba"},    {"aa", "ab"}, {"aba", "bab"}, {"ab", "xyz"},
            {"aaa", "aaaa"}, {"aab", "b"}, {"ba", ""},     {"aabaa", "Q"},  // longer than a chunk
        };
        for (const auto& [find, replacement] : pairs)
            QTest::newRow(qPrintable(find + " -> " + replacement)) << find << replacement;
    }
    void replaceMatchesReference() {
        QFETCH(QString, find);
        QFETCH(QString, replacement);
        const std::string f = find.toStdString(), r = replacement.toStdString();
        QTemporaryDir dir;
        const QString path = dir.filePath("r.dat");
        std::mt19937 random(12345);
        for (std::size_t chunk : {1, 2, 3, 4, 7, 64}) {
            const std::string text = RandomText(random, 1000);
            Write(path, text);
            std::int64_t expectedCount = 0;
            const std::string expected = ReferenceReplace(text, f, r, expectedCount);
            const data::ByteReplaceResult result =
                data::ReplaceAllBytes(path.toStdString(), f, r, {}, chunk);
            QVERIFY2(result.error.empty(), result.error.c_str());
            QCOMPARE(result.replaced, expectedCount);
            QVERIFY2(Read(path) == expected, qPrintable(QString("chunk %1").arg(chunk)));
            QCOMPARE(result.rewritten, f.size() != r.size());
        }
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"r.dat"});
    }

    void findAllMatchesReference() {
        QTemporaryDir dir;
        const QString path = dir.filePath("f.dat");
        std::mt19937 random(7);
        const std::string text = RandomText(random, 700);
        Write(path, text);
        for (const std::string pattern : {"a", "ab", "aab", "baab", "bbbbbbbbbbbbbbbb"}) {
            std::vector<std::int64_t> expected;
            for (std::size_t i = 0; (i = text.find(pattern, i)) != std::string::npos; ++i)
                if (i + 1 >= 40) expected.push_back(static_cast<std::int64_t>(i) + 1);
            for (std::size_t chunk : {1, 3, 5, 1024}) {
                std::vector<std::int64_t> found;
                data::FindAllBytes(
                    path.toStdString(), pattern, 40,
                    [&](std::int64_t p) {
                        found.push_back(p);
                        return true;
                    },
                    {}, chunk);
                QVERIFY2(found == expected, pattern.c_str());
                const std::int64_t first = expected.empty() ? 0 : expected.front();
                QCOMPARE(data::FindBytes(path.toStdString(), pattern, 40, {}, chunk).position,
                         first);
            }
        }
        QCOMPARE(data::FindBytes(path.toStdString(), "", 1).position, std::int64_t(0));
    }

    // A cancel through the copy leaves the file as it was and no copy behind.
    void cancelThroughACopy() {
        QTemporaryDir dir;
        const QString path = dir.filePath("c.dat");
        Write(path, "aaaaaaaaaaaa");
        const data::ByteReplaceResult result = data::ReplaceAllBytes(
            path.toStdString(), "a", "BB", [](std::int64_t, std::int64_t) { return false; }, 4);
        QVERIFY(result.cancelled);
        QCOMPARE(result.replaced, std::int64_t(0));
        QCOMPARE(Read(path), std::string("aaaaaaaaaaaa"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"c.dat"});
    }

    // Another length through a link to a file with a second name: the real
    // file changes, every name shows it, its mode stays, and the link stays a
    // link. A read-only file is refused, in place too.
    void replaceKeepsNames() {
        QTemporaryDir dir;
        const QString target = dir.filePath("target.dat"), link = dir.filePath("link.dat");
        Write(target, "hello AA world AA\n");
        QVERIFY(chmod(target.toLocal8Bit().constData(), 0640) == 0);
        QVERIFY(::symlink("target.dat", QFile::encodeName(link).constData()) == 0);
        QVERIFY(::link(QFile::encodeName(target).constData(),
                       QFile::encodeName(dir.filePath("hard.dat")).constData()) == 0);
        const data::ByteReplaceResult result =
            data::ReplaceAllBytes(link.toStdString(), "AA", "BBB");
        QVERIFY2(result.error.empty(), result.error.c_str());
        QCOMPARE(result.replaced, std::int64_t(2));
        for (const char* name : {"target.dat", "link.dat", "hard.dat"})
            QCOMPARE(Read(dir.filePath(name)), std::string("hello BBB world BBB\n"));
        QVERIFY(QFileInfo(link).isSymLink());
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::System),
                 (QStringList{"hard.dat", "link.dat", "target.dat"}));
        QCOMPARE(Mode(target), mode_t(0640));
        QVERIFY(!data::ReplaceAllBytes(target.toStdString(), "", "x").error.empty());
        QVERIFY(chmod(target.toLocal8Bit().constData(), 0444) == 0);
        QVERIFY(!data::ReplaceAllBytes(target.toStdString(), "B", "C").error.empty());
        QCOMPARE(Read(target), std::string("hello BBB world BBB\n"));
    }

    // One A becomes a thousand Bs: held in memory the output of one 4 MiB
    // chunk would take 4 GB. The child may write only 64 MiB, so the run
    // ends in a clean write failure that must leave no temporary file; an
    // output held in memory ends in an allocation failure (or, under the
    // address sanitizer, which cannot run with an address-space limit, in
    // gigabytes held).
    void memoryStaysBounded() {
        QTemporaryDir dir;
        const QString path = dir.filePath("a.dat");
        Write(path, std::string(std::size_t{4} << 20, 'A'));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            ::signal(SIGABRT, SIG_DFL);  // no stack trace from the test framework
            const rlimit size{rlim_t{64} << 20, rlim_t{64} << 20};
            ::setrlimit(RLIMIT_FSIZE, &size);
#if !defined(__SANITIZE_ADDRESS__)
            const rlimit memory{rlim_t{1} << 30, rlim_t{1} << 30};
            ::setrlimit(RLIMIT_AS, &memory);
#endif
            const data::ByteReplaceResult r =
                data::ReplaceAllBytes(path.toStdString(), "A", std::string(1000, 'B'));
            ::_exit(r.error.find("File too large") != std::string::npos ? 0 : 3);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == 0, "no clean write failure");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"a.dat"});
        QCOMPARE(QFileInfo(path).size(), qint64(4) << 20);
    }

    // `velmor-data bytes` run as a program: positions printed, exit statuses,
    // hex lists, and refusals with a message that leave the file as it was;
    // nothing blocks on a pipe, nothing is counted in a device.
    void bytes_data() {
        QTest::addColumn<QStringList>("args");  // "@" the file, "|" a FIFO beside it
        QTest::addColumn<int>("status");
        QTest::addColumn<QByteArray>("out");
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<QByteArray>("message");
        const QByteArray text = "ab\r\nab\r\nabab", regular = "is not a regular file";
        auto row = [&](const char* name, const QStringList& args, int status,
                       const QByteArray& out, const QByteArray& after, const QByteArray& message) {
            QTest::newRow(name) << args << status << out << after << message;
        };
        row("first", {"find", "@", "ab"}, 0, "1\n", text, "");
        row("from", {"find", "@", "ab", "--from", "2"}, 0, "5\n", text, "");
        row("all, hex", {"find", "@", "0D 0A", "--hex", "--all"}, 0, "3\n7\n", text, "");
        row("none", {"find", "@", "zz"}, 1, "", text, "");
        row("replace, equal", {"replace", "@", "ab", "AB"}, 0, "4\n", "AB\r\nAB\r\nABAB", "");
        row("replace, hex, shorter", {"replace", "@", "0D 0A", "0A", "--hex"}, 0, "2\n",
            "ab\nab\nabab", "");
        row("bad shape", {"find", "@", "0D0A 0A", "--hex"}, 1, "", text, "");
        row("empty replace", {"replace", "@", "", "x"}, 1, "", text, "");
        row("find nothing", {"find", "@", ""}, 1, "", text, "There is nothing to find");
        row("missing operand", {"replace", "@", "ab"}, 2, "", text, "");
        row("find in a FIFO", {"find", "|", "abc"}, 1, "", text, regular);
        row("replace in a FIFO", {"replace", "|", "abc", "x"}, 1, "", text, regular);
        row("replace in /dev/null", {"replace", "/dev/null", "a", "bb"}, 1, "", text, regular);
    }
    void bytes() {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, message);
        QTemporaryDir dir;
        const QString path = dir.filePath("f.bin"), fifo = dir.filePath("f.fifo");
        QVERIFY(enginetest::WriteBytes(path, "ab\r\nab\r\nabab"));
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0644) == 0);
        args.replaceInStrings(QRegularExpression("^@$"), path);
        args.replaceInStrings(QRegularExpression("^\\|$"), fifo);
        const enginetest::CliResult r =
            enginetest::RunVelmorData(QStringList{"bytes"} + args, 10000);
        QTEST(r.status, "status");
        QTEST(r.out, "out");
        QVERIFY2(r.err.contains(message), r.err.constData());
        QTEST(enginetest::ReadBytes(path), "after");
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"f.bin"});
    }
};

QTEST_GUILESS_MAIN(tst_bytes_core)
#include "tst_bytes_core.moc"
