// The desktop install: "cmake --install" into a DESTDIR at two prefixes and
// the Debian package from cpack, unpacked with dpkg-deb; the desktop's own
// tools check what was installed, the installed program finds its tips, and
// lintian finds nothing wrong with the package.
#include <QLabel>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "dialogs/frmTip.h"

namespace {

const QStringList kInstalled = {
    "bin/velmor_dravik",
    "bin/velmor-data",
    "bin/velmor-basic",
    "share/velmor_dravik/TIPOFDAY.TXT",
    "share/applications/velmor_dravik.desktop",
    "share/icons/hicolor/scalable/apps/velmor_dravik.svg",
    "share/icons/hicolor/16x16/apps/velmor_dravik.png",
    "share/icons/hicolor/48x48/apps/velmor_dravik.png",
    "share/icons/hicolor/256x256/apps/velmor_dravik.png",
    "share/man/man1/velmor_dravik.1.gz",
    "share/man/man1/velmor-data.1.gz",
    "share/man/man1/velmor-basic.1.gz",
    "share/doc/velmor-dravik/copyright",
    "share/doc/velmor-dravik/changelog.Debian.gz",
};

struct Ran {
    int status = -1;
    QByteArray output;
};

Ran Run(const QString& program, const QStringList& args, const QString& destdir = {}) {
    QProcess p;
    if (!destdir.isEmpty()) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("DESTDIR"), destdir);
        p.setProcessEnvironment(env);
    }
    p.start(program, args);
    Ran r;
    if (!p.waitForFinished(300000)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = p.readAllStandardOutput() + p.readAllStandardError();
    return r;
}

bool Have(const char* tool) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

// What the desktop's tools make of an installed tree below Root + Prefix.
void CheckInstalledTree(const QString& root) {
    for (const QString& file : kInstalled)
        QVERIFY2(QFileInfo::exists(root + '/' + file), qPrintable(file));
    QVERIFY(QFileInfo(root + "/bin/velmor_dravik").isExecutable());
    QCOMPARE(Run(root + "/bin/velmor-data", {"--help"}).status, 0);
    if (Have("desktop-file-validate")) {
        const Ran v =
            Run("desktop-file-validate", {root + "/share/applications/velmor_dravik.desktop"});
        QCOMPARE(v.output, QByteArray());
        QCOMPARE(v.status, 0);
    }
    // The package claims no file name pattern: the types stay those of
    // shared-mime-info, which the desktop entry lists.
    QVERIFY(!QFileInfo::exists(root + "/share/mime"));
    // The installed program reads the tips where they were installed.
    velmor::Global::SetProgramFolder(root + "/bin");
    velmor::frmTip tip;
    QVERIFY(!tip.Tips().isEmpty());
    QVERIFY(tip.lblTipText->text() != velmor::frmTip::MissingFileText());
}

}  // namespace

class TestInstall : public QObject {
    Q_OBJECT
private slots:
    void cmakeInstallHonoursDestdir() {
        for (const QString prefix : {"/usr", "/opt/velmor tools"}) {
            QTemporaryDir destdir;
            const Ran r =
                Run("cmake", {"--install", VELMOR_BUILD_DIR, "--prefix", prefix}, destdir.path());
            QVERIFY2(r.status == 0, r.output.constData());
            CheckInstalledTree(destdir.path() + prefix);
        }
    }

    void debianPackageHoldsTheInstall() {
#ifdef __SANITIZE_ADDRESS__
        QSKIP("the package is made from the normal build; the sanitizer build does not repeat it");
#endif
        if (!Have("cpack") || !Have("dpkg-deb")) QSKIP("cpack and dpkg-deb are needed");
        QTemporaryDir work;
        const Ran packed = Run("cpack", {"-G", "DEB", "--config",
                                         VELMOR_BUILD_DIR "/CPackConfig.cmake", "-B", work.path()});
        QVERIFY2(packed.status == 0, packed.output.constData());
        const QStringList debs = QDir(work.path()).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        const QString deb = work.filePath(debs.front());
        QCOMPARE(Run("dpkg-deb", {"--field", deb, "Package"}).output.trimmed(),
                 QByteArray("velmor-dravik"));
        const QString root = work.filePath("root");
        QCOMPARE(Run("dpkg-deb", {"-x", deb, root}).status, 0);
        CheckInstalledTree(root + "/usr");
        // Debian's own check: no error, and no warning left unexplained.
        if (!Have("lintian")) QSKIP("lintian is needed");
        const Ran lint = Run("lintian", {"--fail-on", "error,warning", deb});
        QVERIFY2(lint.status == 0, lint.output.constData());
    }
};

QTEST_MAIN(TestInstall)
#include "tst_install.moc"
