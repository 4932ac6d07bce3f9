// The user's file-type groups made known to the desktop: the MIME package
// and desktop entry in $XDG_DATA_HOME, written only when they change and
// checked by the desktop's own tools.
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include "app/desktopregistration.h"
#include "app/global.h"

namespace desktop = velmor::desktop;
using velmor::ConnectionProfile;
using velmor::ProfileList;

namespace {

ProfileList Groups(const QStringList& namesAndExtensions) {
    ProfileList groups;
    for (int i = 0; i + 1 < namesAndExtensions.size(); i += 2) {
        ConnectionProfile p;
        p.Name = namesAndExtensions[i];
        p.Extensions = namesAndExtensions[i + 1];
        groups.push_back(p);
    }
    return groups;
}

QByteArray Read(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

int Run(const QString& program, const QStringList& args, QByteArray* out) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(30000)) return -1;
    if (out) *out = p.readAllStandardOutput() + p.readAllStandardError();
    return p.exitCode();
}

}  // namespace

class TestDesktopRegistration : public QObject {
    Q_OBJECT
private slots:
    void mimeTypeNames_data();
    void mimeTypeNames();
    void registersInTheUsersFolderWhenChanged_data();
    void registersInTheUsersFolderWhenChanged();
};

void TestDesktopRegistration::mimeTypeNames_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::newRow("words") << "Flat Files" << "application/x-velmor-group-flat-files";
    QTest::newRow("punctuation runs") << "A -- b!" << "application/x-velmor-group-a-b";
    QTest::newRow("nothing usable") << " $ü " << "application/x-velmor-group-unnamed";
}

void TestDesktopRegistration::mimeTypeNames() {
    QFETCH(QString, name);
    QTEST(desktop::GroupMimeType(name), "type");
}

void TestDesktopRegistration::registersInTheUsersFolderWhenChanged_data() {
    QTest::addColumn<QString>("programFolder");
    QTest::addColumn<QStringList>("groups");
    QTest::addColumn<QString>("exec");  // DIR: the test folder
    QTest::addColumn<QString>("type");
    QTest::newRow("plain") << "bin" << QStringList{"Orders", "*.ord; *.*"}
                           << "DIR/bin/tst_desktop_registration %f"
                           << "application/x-velmor-group-orders";
    // Quoted, with \" and \$ inside, each backslash doubled as in any value.
    QTest::newRow("blanks and quotes in the program path")
        << "my \"best\" $programs" << QStringList{"Weird & <odd>", "*.odd", "Dup", "*.dup"}
        << R"("DIR/my \\"best\\" \\$programs/tst_desktop_registration" %f)"
        << "application/x-velmor-group-weird-odd";
}

void TestDesktopRegistration::registersInTheUsersFolderWhenChanged() {
    QFETCH(QString, programFolder);
    QFETCH(QStringList, groups);
    QFETCH(QString, exec);
    QFETCH(QString, type);
    QTemporaryDir dir;
    qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    velmor::Global::ResetState();
    velmor::Global::SetProgramFolder(dir.filePath(programFolder));
    velmor::Global::Connections = Groups(groups);
    velmor::Global::RegisterShellOpenCommand();

    const QString package = dir.filePath("data/mime/packages/velmor_dravik.xml");
    const QString entry = dir.filePath("data/applications/velmor_dravik.desktop");
    QVERIFY(QFileInfo::exists(package));
    QVERIFY(!Read(package).contains("\"*.*\""));  // never every file
    // The desktop's tools accept both files and read the group's type back.
    if (!QStandardPaths::findExecutable("desktop-file-validate").isEmpty()) {
        QByteArray out;
        QCOMPARE(Run("desktop-file-validate", {entry}, &out), 0);
        QCOMPARE(out, QByteArray());
    }
    if (!QStandardPaths::findExecutable("update-mime-database").isEmpty())
        QVERIFY(Read(dir.filePath("data/mime/globs2")).contains(type.toUtf8()));
    if (!QStandardPaths::findExecutable("update-desktop-database").isEmpty())
        QVERIFY(Read(dir.filePath("data/applications/mimeinfo.cache")).contains(type.toUtf8()));
    const QString program = dir.filePath(programFolder) + '/' + velmor::Global::ExecutableName();
    QVERIFY(Read(entry).contains("\nExec=" + exec.replace("DIR", dir.path()).toUtf8() + "\n"));

    // Unchanged groups write nothing; a change writes again.
    QVERIFY(!desktop::RegisterUserFileTypes(velmor::Global::Connections, program));
    velmor::Global::Connections.front().Extensions += QStringLiteral("; *.new");
    QVERIFY(desktop::RegisterUserFileTypes(velmor::Global::Connections, program));
    QVERIFY(Read(package).contains("<glob pattern=\"*.new\"/>"));
    qunsetenv("XDG_DATA_HOME");
}

QTEST_GUILESS_MAIN(TestDesktopRegistration)
#include "tst_desktop_registration.moc"
