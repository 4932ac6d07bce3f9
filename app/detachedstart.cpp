#include "app/detachedstart.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <string>
#include <vector>

#include "app/pathbytes.h"

namespace velmor {

// QProcess hands arguments over as UTF-8 and so turns a byte that is not
// UTF-8 into U+FFFD; here they go over as bytes. The program is started from
// a child that exits at once, so it is never left a zombie of ours, and a
// pipe closed by a successful exec tells whether it started.
bool StartDetached(const QString& program, const QStringList& arguments) {
    std::vector<std::string> args{PathBytes(program)};
    for (const QString& a : arguments) args.push_back(PathBytes(a));
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    const bool search = args.front().find('/') == std::string::npos;

    int report[2];
    if (::pipe2(report, O_CLOEXEC) != 0) return false;
    const pid_t child = ::fork();
    if (child < 0) {
        ::close(report[0]);
        ::close(report[1]);
        return false;
    }
    if (child == 0) {
        // Only async-signal-safe calls from here on.
        ::close(report[0]);
        ::setsid();
        const pid_t started = ::fork();
        if (started == 0) {
            sigset_t none;
            sigemptyset(&none);
            ::sigprocmask(SIG_SETMASK, &none, nullptr);
            if (search)
                ::execvp(argv[0], argv.data());
            else
                ::execv(argv[0], argv.data());
        }
        // Here in the program's process when exec failed, or when the fork did.
        const int error = started <= 0 ? errno : 0;
        if (error != 0) (void)!::write(report[1], &error, sizeof error);
        ::_exit(0);
    }
    ::close(report[1]);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    int error = 0;
    ssize_t got = 0;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    ::close(report[0]);
    return got == 0;
}

}  // namespace velmor
