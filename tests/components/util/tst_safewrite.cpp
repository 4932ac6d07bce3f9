// The one writer every file the user names goes through: links followed,
// hard links and owner kept, protected and odd targets refused, and no
// temporary file left by a failure, a cancel, a signal or a crash.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "support/unprivileged.h"
#include "util/safewrite.h"

using velmor::util::SafeWriter;
using velmor::util::WriteWholeFile;

namespace {

std::string Bytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll().toStdString() : std::string("<missing>");
}

void Put(const QString& path, const std::string& bytes) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

// Every name in the folder, temporary files included.
QStringList Names(const QString& folder) {
    return QDir(folder).entryList(
        QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

struct stat Stat(const QString& path) {
    struct stat info {};
    ::stat(QFile::encodeName(path).constData(), &info);
    return info;
}

}  // namespace

class TestSafeWrite : public QObject {
    Q_OBJECT

private slots:
    // Every name in the folder after the write, in order, shows the new content.
    void writes() {
        const struct {
            const char* setup;
            const char* written;  // the name given to the writer
            QStringList names;
            int mode;
        } rows[] = {{"", "t.dat", {"t.dat"}, -1},
                    {"file", "t.dat", {"t.dat"}, 0640},
                    {"chain", "m.dat", {"l.dat", "m.dat", "t.dat"}, 0644},
                    {"dangling", "l.dat", {"l.dat", "t.dat"}, -1},
                    {"hard", "h.dat", {"h.dat", "t.dat"}, 0644},
                    {"foreign", "t.dat", {"t.dat"}, 0664}};
        for (const auto& r : rows) {
            const QString setup(r.setup);
            // Giving a file away needs the superuser.
            if (setup == "foreign" && ::geteuid() != 0) continue;
            QTemporaryDir dir;
            const QString t = dir.filePath("t.dat");
            const QByteArray tb = QFile::encodeName(t);
            if (setup != "" && setup != "dangling") {
                Put(t, "old content");
                ::chmod(tb.constData(), r.mode);
            }
            if (setup == "chain" || setup == "dangling")
                QVERIFY(::symlink("t.dat", QFile::encodeName(dir.filePath("l.dat")).constData()) ==
                        0);
            if (setup == "chain")
                QVERIFY(::symlink("l.dat", QFile::encodeName(dir.filePath("m.dat")).constData()) ==
                        0);
            if (setup == "hard")
                QVERIFY(::link(tb.constData(),
                               QFile::encodeName(dir.filePath("h.dat")).constData()) == 0);
            if (setup == "foreign") QVERIFY(::chown(tb.constData(), 65534, 65534) == 0);
            const ino_t inode = Stat(t).st_ino;

            std::string error;
            QVERIFY2(WriteWholeFile(dir.filePath(r.written).toStdString(), "new é€ content", error),
                     error.c_str());
            QCOMPARE(Names(dir.path()), r.names);
            for (const QString& n : r.names)
                QCOMPARE(Bytes(dir.filePath(n)), std::string("new é€ content"));
            if (setup == "chain" || setup == "dangling")
                QVERIFY(QFileInfo(dir.filePath("l.dat")).isSymLink());
            const struct stat after = Stat(t);
            if (r.mode >= 0) QCOMPARE(int(after.st_mode & 07777), r.mode);
            if (setup == "hard") QCOMPARE(after.st_ino, inode);
            if (setup == "foreign") QCOMPARE(int(after.st_uid), 65534);
        }
    }

    // Refused targets: the message says why, and nothing in the folder changes.
    void refused() {
        const char* const rows[][2] = {
            {"0444", "it is read-only"},          {"0000", "it is read-only"},
            {"link0444", "it is read-only"},      {"folder", "it is not a regular file"},
            {"fifo", "it is not a regular file"}, {"/dev/null", "it is not a regular file"}};
        for (const auto& [setupText, message] : rows) {
            const QString setup(setupText);
            QTemporaryDir dir;
            QString target = dir.filePath("t.dat");
            const QByteArray tb = QFile::encodeName(target);
            const bool kept = setup.startsWith("0") || setup == "link0444";
            if (kept) {
                Put(target, "kept");
                ::chmod(tb.constData(), setup == "0000" ? 0 : 0444);
            }
            if (setup == "link0444") {
                target = dir.filePath("l.dat");
                QVERIFY(::symlink("t.dat", QFile::encodeName(target).constData()) == 0);
            }
            if (setup == "folder") QVERIFY(QDir(dir.path()).mkdir("t.dat"));
            if (setup == "fifo") QVERIFY(::mkfifo(tb.constData(), 0644) == 0);
            if (setup == "/dev/null") target = setup;
            const QStringList before = Names(dir.path());

            std::string error;
            QVERIFY2(!WriteWholeFile(target.toStdString(), "new", error), setupText);
            QCOMPARE(QString::fromStdString(error),
                     "Cannot write \"" + target + "\": " + message + ".");
            QCOMPARE(Names(dir.path()), before);
            if (kept) {
                ::chmod(tb.constData(), 0644);
                QCOMPARE(Bytes(dir.filePath("t.dat")), std::string("kept"));
            }
        }
    }

    // A user who may write a file but not give it away: the new content goes
    // back into the same file, so owner and inode stay.
    void writeBackKeepsForeignOwner() {
        const QByteArray folder = qgetenv("VELMOR_SAFEWRITE_FOLDER");
        if (::geteuid() == 0) {
            QTemporaryDir dir;
            QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0777) == 0);
            Put(dir.filePath("t.dat"), "old");
            QVERIFY(::chmod(QFile::encodeName(dir.filePath("t.dat")).constData(), 0666) == 0);
            qputenv("VELMOR_SAFEWRITE_FOLDER", QFile::encodeName(dir.path()));
            const ino_t inode = Stat(dir.filePath("t.dat")).st_ino;
            const QString failure = testsupport::RunAsNobody("writeBackKeepsForeignOwner");
            qunsetenv("VELMOR_SAFEWRITE_FOLDER");
            QVERIFY2(failure.isEmpty(), qPrintable(failure));
            const struct stat after = Stat(dir.filePath("t.dat"));
            QCOMPARE(after.st_ino, inode);
            QCOMPARE(after.st_uid, uid_t(0));
            QCOMPARE(int(after.st_mode & 07777), 0666);
            QCOMPARE(Bytes(dir.filePath("t.dat")), std::string("new, longer content"));
            QCOMPARE(Names(dir.path()), QStringList{"t.dat"});
            return;
        }
        if (folder.isEmpty()) QSKIP("needs the superuser to prepare another user's file");
        std::string error;
        QVERIFY2(WriteWholeFile(folder.toStdString() + "/t.dat", "new, longer content", error),
                 error.c_str());
    }

    void signalRemovesTemporary() {
        for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
            QTemporaryDir dir;
            Put(dir.filePath("t.dat"), "old");
            int ready[2];
            QVERIFY(::pipe(ready) == 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                // The test framework's own handlers would print a stack trace.
                for (int s : {SIGINT, SIGTERM, SIGHUP}) ::signal(s, SIG_DFL);
                SafeWriter writer(dir.filePath("t.dat").toStdString());
                const bool ok = writer.Open() && writer.Write("half of it");
                (void)!::write(ready[1], ok ? "y" : "n", 1);
                for (;;) ::pause();
            }
            char answer = 0;
            QCOMPARE(::read(ready[0], &answer, 1), ssize_t(1));
            QCOMPARE(answer, 'y');
            QCOMPARE(Names(dir.path()).size(), 2);  // the temporary file is there
            ::kill(child, signal);
            int status = 0;
            QCOMPARE(::waitpid(child, &status, 0), child);
            ::close(ready[0]);
            ::close(ready[1]);
            QVERIFY(WIFSIGNALED(status));
            QCOMPARE(WTERMSIG(status), signal);
            QCOMPARE(Names(dir.path()), QStringList{"t.dat"});
            QCOMPARE(Bytes(dir.filePath("t.dat")), std::string("old"));
        }
    }

    void abortAndStaleLeftovers() {
        QTemporaryDir dir;
        const std::string t = dir.filePath("t.dat").toStdString();
        Put(dir.filePath("t.dat"), "old");
        {
            SafeWriter writer(t);
            QVERIFY(writer.Open());
            QVERIFY(writer.Write("abandoned"));
        }  // neither committed nor aborted: the destructor cleans up
        SafeWriter cancelled(t);
        QVERIFY(cancelled.Open() && cancelled.Write("cancelled"));
        cancelled.Abort();
        QCOMPARE(Names(dir.path()), QStringList{"t.dat"});

        // A crashed writer's file (its process is gone) goes; a live writer's
        // and the user's own similar names stay.
        const pid_t gone = ::fork();
        if (gone == 0) ::_exit(0);
        ::waitpid(gone, nullptr, 0);
        const QString stale = "t.dat.temp-" + QString::number(gone) + "-abc123";
        const QString live = "t.dat.temp-" + QString::number(::getppid()) + "-abc123";
        for (const QString& n :
             {stale, live, QString("t.dat.temp-notes"), QString("u.dat.temp-1-abc123")})
            Put(dir.filePath(n), "x");
        std::string error;
        QVERIFY2(WriteWholeFile(t, "new", error), error.c_str());
        QCOMPARE(Names(dir.path()),
                 (QStringList{"t.dat", live, "t.dat.temp-notes", "u.dat.temp-1-abc123"}));
    }

    // The copy back into a hard-linked file fails midway (a file-size limit
    // set once the temporary file is complete): the new content stays in the
    // temporary file, and the message names it.
    void failedWriteBackKeepsTheNewContent() {
        QTemporaryDir dir;
        const QString t = dir.filePath("t.dat");
        Put(t, "old");
        QVERIFY(::link(QFile::encodeName(t).constData(),
                       QFile::encodeName(dir.filePath("h.dat")).constData()) == 0);
        const std::string content(std::size_t{2} << 20, 'n');
        int report[2];
        QVERIFY(::pipe(report) == 0);
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            ::signal(SIGXFSZ, SIG_IGN);
            SafeWriter writer(t.toStdString());
            bool ok = writer.Open() && writer.Write(content);
            const rlimit small{rlim_t{1} << 20, rlim_t{1} << 20};
            ::setrlimit(RLIMIT_FSIZE, &small);
            ok = ok && writer.Commit();
            (void)!::write(report[1], writer.Error().data(), writer.Error().size());
            ::_exit(ok ? 1 : 0);
        }
        ::close(report[1]);
        QByteArray error;
        char part[512];
        for (ssize_t n; (n = ::read(report[0], part, sizeof part)) > 0;) error.append(part, n);
        ::close(report[0]);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        const QStringList names = Names(dir.path());
        QCOMPARE(names.size(), 3);
        const QString kept = dir.filePath(names.filter(".temp-").value(0));
        QVERIFY2(
            error.contains("its complete new content is in \"" + QFile::encodeName(kept) + "\""),
            error.constData());
        QCOMPARE(Bytes(kept), content);
    }
};

QTEST_GUILESS_MAIN(TestSafeWrite)
#include "tst_safewrite.moc"
