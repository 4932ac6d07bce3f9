// The user's own file-type groups made known to the desktop without taking a
// type from other programs, measured with the desktop's own tools (gio,
// update-mime-database, desktop-file-validate) in this test's own folders.
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

bool Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray Run(const QString& program, const QStringList& args, int* status = nullptr,
               const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment()) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    const bool done = p.waitForFinished(60000);
    if (status) *status = done && p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return p.readAllStandardOutput() + p.readAllStandardError();
}

bool Have(const char* tool) {
    return !QStandardPaths::findExecutable(QString::fromLatin1(tool)).isEmpty();
}

// What gio makes of each file: "name type" per file.
QStringList GioTypes(const QDir& dir, const QStringList& names) {
    QStringList types;
    for (const QString& name : names) {
        const QByteArray out =
            Run("gio", {"info", "-a", "standard::content-type", dir.filePath(name)});
        const qsizetype at = out.indexOf("content-type: ");
        types << name + ' ' + (at < 0 ? QString() : QString::fromUtf8(out.mid(at + 14)).trimmed());
    }
    return types;
}

QString MimeTypeLine(const QByteArray& entry) {
    for (const QByteArray& line : entry.split('\n'))
        if (line.startsWith("MimeType=")) return QString::fromUtf8(line.mid(9));
    return {};
}

}  // namespace

class TestDesktopRegistration : public QObject {
    Q_OBJECT
private slots:
    void mimeTypeNames() {
        QCOMPARE(desktop::GroupMimeType("Flat Files"),
                 QString("application/x-velmor-group-flat-files"));
        QCOMPARE(desktop::GroupMimeType("A -- b!"), QString("application/x-velmor-group-a-b"));
        QCOMPARE(desktop::GroupMimeType(" $ü "), QString("application/x-velmor-group-unnamed"));
    }

    // Per row: the groups, the desktop entry's MimeType= (empty: no entry) and
    // the new types' globs (none: no MIME package).
    void registration() {
        QStringList builtIns;
        for (const ConnectionProfile& p : velmor::Global::BuiltInProfiles())
            builtIns << p.Name << p.Extensions;
        QStringList changed = builtIns;
        changed[1] += "; *.flat";  // a changed built-in is the user's
        const struct {
            QStringList groups;
            QString entryTypes;
            QStringList globs;
        } rows[] = {
            {builtIns, "", {}},  // the package's business
            // Claimed patterns keep their types; packaged ones are not repeated.
            {{"Orders", "*.CSV; *.xml; *.*", "Texts", "*.txt"}, "application/xml;", {}},
            // An unclaimed pattern gets a low-weight text type of ours.
            {{"Orders", "*.ord;*.xml", "Dup!", "*.dup", "Dup?", "*.d2"},
             "application/xml;application/x-velmor-group-orders;application/x-velmor-group-dup;"
             "application/x-velmor-group-dup2;",
             {"*.ord", "*.dup", "*.d2"}},
            {changed, "application/x-velmor-group-flat-files;", {"*.flat"}}};
        QTemporaryDir dir;
        QVERIFY(
            Write(dir.filePath("mime/globs2"),
                  "# comment\n50:text/csv:*.csv\n50:application/xml:*.xml\n40:text/x-other:*.xml\n"
                  "50:text/plain:*.txt\n10:application/x-velmor-group-old:*.ord\n"));
        const desktop::InstalledGlobs installed({dir.path()});
        for (const auto& r : rows) {
            const desktop::Registration reg =
                desktop::RegistrationFor(Groups(r.groups), "/p", installed);
            QCOMPARE(MimeTypeLine(reg.desktopEntry), r.entryTypes);
            QCOMPARE(reg.mimePackage.isEmpty(), r.globs.isEmpty());
            for (const QString& g : r.globs)
                QVERIFY2(reg.mimePackage.contains("<glob pattern=\"" + g.toUtf8() +
                                                  "\" weight=\"10\"/>"),
                         reg.mimePackage.constData());
            QCOMPARE(reg.mimePackage.count("<sub-class-of type=\"text/plain\"/>"),
                     reg.mimePackage.count("<mime-type "));
        }
    }

    // A text file of a built-in pattern keeps its type through a plain run and
    // the package's install; the user's own pattern becomes a type that is
    // still text, and comes back when the group goes.
    void takesNoTypeFromOthers() {
        if (!Have("gio") || !Have("update-mime-database"))
            QSKIP("gio and update-mime-database are needed");
        QTemporaryDir dir;
        const QString data = dir.filePath("data");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        qputenv("XDG_DATA_DIRS", "/usr/share");
        const QStringList names{"y.dat", "y.tab", "y.query", "y.csv", "y.ord"};
        for (const QString& n : names) QVERIFY(Write(dir.filePath(n), "a,b\n1,2\n"));
        const QStringList before = GioTypes(dir.path(), names);
        QCOMPARE(before, (QStringList{"y.dat text/plain", "y.tab text/plain", "y.query text/plain",
                                      "y.csv text/csv", "y.ord text/plain"}));

        velmor::Global::ResetState();
        velmor::Global::SetProgramFolder(dir.filePath("bin"));
        velmor::Global::Connections = velmor::Global::BuiltInProfiles();
        velmor::Global::RegisterShellOpenCommand();  // a plain exit
        QVERIFY(!QFileInfo::exists(data));
        QCOMPARE(GioTypes(dir.path(), names), before);

        velmor::Global::Connections.push_back(Groups({"Orders", "*.ord;*.csv"}).front());
        velmor::Global::RegisterShellOpenCommand();
        QCOMPARE(GioTypes(dir.path(), names).mid(0, 4), before.mid(0, 4));
        QCOMPARE(GioTypes(dir.path(), {"y.ord"}),
                 QStringList{"y.ord application/x-velmor-group-orders"});
        QVERIFY(Read(data + "/mime/subclasses")
                    .contains("application/x-velmor-group-orders text/plain\n"));
        const QString entry = data + "/applications/velmor_dravik-groups.desktop";
        QCOMPARE(MimeTypeLine(Read(entry)), QString("application/x-velmor-group-orders;"));
        if (Have("desktop-file-validate"))
            QCOMPARE(Run("desktop-file-validate", {entry}), QByteArray());

        velmor::Global::Connections.pop_back();
        velmor::Global::RegisterShellOpenCommand();
        QCOMPARE(GioTypes(dir.path(), names), before);
        QVERIFY(QDir(data + "/applications").entryList({"*.desktop"}).isEmpty());
        QVERIFY(QDir(data + "/mime/packages").isEmpty());
        qunsetenv("XDG_DATA_DIRS");
    }

    void writesWhereTheUserFilesAre() {
        QTemporaryDir dir;
        const QString data = dir.filePath("data");
        qputenv("XDG_DATA_HOME", QFile::encodeName(data));
        // What an earlier version wrote under the packaged names goes.
        QVERIFY(Write(data + "/applications/velmor_dravik.desktop",
                      "MimeType=application/x-velmor-group-csv;text/csv;\n"));
        QVERIFY(Write(data + "/mime/packages/velmor_dravik.xml",
                      "<mime-type type=\"application/x-velmor-group-csv\">"));
        const QString folder = dir.filePath("my \"best\" $programs");
        const QString program = folder + "/velmor_dravik";
        const ProfileList groups = Groups({"Orders", "*.ord"});
        QVERIFY(desktop::RegisterUserFileTypes(groups, program));
        QVERIFY(!QFileInfo::exists(data + "/applications/velmor_dravik.desktop"));
        QVERIFY(!QFileInfo::exists(data + "/mime/packages/velmor_dravik.xml"));
        // Quoted, with \" and \$ inside, each backslash doubled as in any value.
        QString exec = R"(Exec="DIR/my \\"best\\" \\$programs/velmor_dravik" %f)";
        QVERIFY(Read(data + "/applications/velmor_dravik-groups.desktop")
                    .contains("\n" + exec.replace("DIR", dir.path()).toUtf8() + "\n"));
        QVERIFY(!desktop::RegisterUserFileTypes(groups, program));  // unchanged: nothing written
        QVERIFY(desktop::RegisterUserFileTypes({}, program));
        QVERIFY(!QFileInfo::exists(data + "/applications/velmor_dravik-groups.desktop"));
        // The packaged entry lists what a user's entry leaves out.
        QCOMPARE(MimeTypeLine(Read(VELMOR_TEST_DATA "/../../desktop/velmor_dravik.desktop")),
                 desktop::PackagedMimeTypes().join(';') + ';');
    }

    // Run by hand in a folder posing as the user's home, this program leaves
    // nothing there: settings, profiles, connection files and registration stay
    // in its own folders.
    void staysInItsSandbox() {
        if (qEnvironmentVariableIsSet("VELMOR_TEST_WRITE_USER_FILES")) {
            velmor::Global::SetProgramFolder(QDir::tempPath() + "/not-there");
            velmor::Global::Connections = Groups({"Orders", "*.ord"});
            velmor::Global::SaveSettings();
            QVERIFY(velmor::Global::SaveConnectionProfiles());
            velmor::Global::RegisterShellOpenCommand();
            return;
        }
        QTemporaryDir user;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"HOME", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME"})
            env.insert(name, user.path());
        env.insert("VELMOR_REGISTRY", user.filePath("registry.ini"));
        env.insert("VELMOR_CONFIG", user.path());
        env.insert("VELMOR_TEST_WRITE_USER_FILES", "1");
        int status = -1;
        const QByteArray out =
            Run(QCoreApplication::applicationFilePath(), {"staysInItsSandbox"}, &status, env);
        QVERIFY2(status == 0, out.constData());
        QCOMPARE(
            QDir(user.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden),
            QStringList());
    }
};

QTEST_GUILESS_MAIN(TestDesktopRegistration)
#include "tst_desktop_registration.moc"
