// File permissions do not bind the super-user, and CI runs as root: a test
// function that needs an unreadable or unwritable file runs again in a child
// process as the user "nobody" instead of being skipped.
#pragma once

#include <QCoreApplication>
#include <QProcess>
#include <QtTest>

#include <unistd.h>

namespace testsupport {

/// Runs the test program's Function as "nobody"; empty when it passed, else
/// what it printed.
inline QString RunAsNobody(const QByteArray& function) {
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("TMPDIR", "/tmp");
    child.setProcessEnvironment(env);
    child.start("setpriv",
                {"--reuid=nobody", "--regid=nogroup", "--clear-groups",
                 QCoreApplication::applicationFilePath(), QString::fromLatin1(function)});
    if (!child.waitForFinished(60000)) return "setpriv did not run: " + child.errorString();
    if (child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0) return {};
    return QString::fromLocal8Bit(child.readAllStandardOutput() + child.readAllStandardError());
}

}  // namespace testsupport

/// As root, runs Function (a test function name, with ":row" for a data row)
/// as "nobody" and ends the current test with its result.
#define VELMOR_UNPRIVILEGED(function)                                  \
    if (::geteuid() == 0) {                                            \
        const QString failure = testsupport::RunAsNobody(function);    \
        QVERIFY2(failure.isEmpty(), qPrintable(failure));              \
        return;                                                        \
    }
