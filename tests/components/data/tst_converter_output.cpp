// The converter's staged output file: the target appears only complete, a
// failure or an abandoned write leaves no temporary file and the old target.
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "data/convert_output.h"
#include "data/converter.h"
#include "engine_testfiles.h"

using velmor::data::StagedOutput;

using enginetest::ReadBytes;
using enginetest::WriteBytes;

class ConverterOutputTest : public QObject {
    Q_OBJECT

private slots:
    void commitReplacesTheTarget() {
        QTemporaryDir dir;
        const QString target = dir.filePath("out.txt");
        QVERIFY(WriteBytes(target, "old"));
        StagedOutput out(target.toStdString());
        QVERIFY(out.Create());
        QVERIFY(out.Write("new "));
        QVERIFY(out.Write(std::string(3 << 20, 'x')));   // bigger than the buffer
        QCOMPARE(ReadBytes(target), QByteArray("old"));  // untouched until the end
        QVERIFY(out.WriteAt(0, "NEW"));
        QVERIFY(out.Commit());
        QByteArray bytes = ReadBytes(target);
        QCOMPARE(bytes.size(), 4 + (3 << 20));
        QVERIFY(bytes.startsWith("NEW x"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.txt"});
    }

    void abortKeepsTheOldTarget() {
        QTemporaryDir dir;
        const QString target = dir.filePath("out.txt");
        QVERIFY(WriteBytes(target, "old"));
        {
            StagedOutput out(target.toStdString());
            QVERIFY(out.Create());
            QVERIFY(QFile::exists(QString::fromStdString(out.TemporaryPath())));
            QVERIFY(out.Write("half"));
        }  // destroyed without Commit
        QCOMPARE(ReadBytes(target), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.txt"});
    }

    void unwritableFolderFailsClearly() {
        QTemporaryDir dir;
        StagedOutput missing(dir.filePath("no/such/folder/out.txt").toStdString());
        QVERIFY(!missing.Create());
        QVERIFY(!missing.Error().empty());
        QVERIFY(QDir(dir.path()).mkdir("locked"));
        QString locked = dir.filePath("locked");
        QVERIFY(::chmod(locked.toLocal8Bit().constData(), 0555) == 0);
        // The superuser writes into read-only folders; sysfs refuses it too.
        if (::geteuid() == 0) locked = "/sys";
        StagedOutput out((locked + "/out.txt").toStdString());
        QVERIFY(!out.Create());
        QVERIFY(!out.Write("x"));
        QVERIFY(!out.Commit());
        QVERIFY(QString::fromStdString(out.Error()).contains(locked));
        ::chmod(dir.filePath("locked").toLocal8Bit().constData(), 0755);
        QVERIFY(QDir(dir.filePath("locked")).entryList(QDir::Files).isEmpty());
    }

    void failedWriteLeavesNothing() {
        // A file-size limit makes writes fail part-way, as a full disk would.
        QTemporaryDir dir;
        const QString target = dir.filePath("out.txt");
        QVERIFY(WriteBytes(target, "old"));
        struct rlimit saved {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 1 << 20;
        QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        bool wrote = true;
        std::string error;
        {
            StagedOutput out(target.toStdString());
            wrote = out.Create() && out.Write(std::string(3 << 20, 'x')) && out.Commit();
            error = out.Error();
        }
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QVERIFY(!wrote);
        QVERIFY(QString::fromStdString(error).contains("Cannot write"));
        QCOMPARE(ReadBytes(target), QByteArray("old"));
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.txt"});
    }

    // kill -TERM in the middle of a conversion: the process ends as the
    // signal says and its temporary file goes with it.
    void signalDuringConversionLeavesNothing() {
        QTemporaryDir dir;
        QByteArray csv = "a,b\r\n";
        for (int i = 0; i < 20000; ++i) csv += QByteArray::number(i) + ",x\r\n";
        QVERIFY(WriteBytes(dir.filePath("in.csv"), csv));
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::signal(SIGTERM, SIG_DFL);  // not the test framework's handler
            velmor::data::Converter c;
            c.SetIsFixed(true);
            const QString folder = dir.path();
            c.OnProgress = [folder](std::int64_t, std::int64_t) {
                if (QDir(folder).entryList(QDir::Files).size() < 2) return true;  // not yet
                ::kill(::getpid(), SIGTERM);
                return true;
            };
            c.Convert(dir.filePath("in.csv").toStdString(), dir.filePath("out.txt").toStdString());
            ::_exit(0);
        }
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"in.csv"});
    }
};

QTEST_GUILESS_MAIN(ConverterOutputTest)
#include "tst_converter_output.moc"
