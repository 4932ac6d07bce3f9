// How fast the record viewer answers on a 1 GB file (or the megabytes given
// as the first argument): the first screen after opening, and every key while
// Down or Page Down is held, on fixed records, a CSV, and UTF-8 records whose
// CJK, Hangul and emoji come from fallback fonts. Drives the window offscreen
// through its own handlers; prints the distribution of key times and
// compares with reading the same bytes through head and dd.
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/global.h"
#include "app/userprompt.h"
#include "viewer/frmFileView.h"

namespace {
qint64 gTargetBytes = qint64(1) << 30;

/// Fixed UTF-8 records of 120 bytes: a number, then Latin, CJK, Hangul and
/// emoji text that the grid's own font partly lacks.
QString MakeUtf8(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    const QByteArray words[] = {QByteArray("\xC3\x84pfel "), QByteArray("\xE6\x95\xB0\xE6\x8D\xAE "),
                                QByteArray("\xED\x95\x9C\xEA\xB8\x80 "), QByteArray("\xF0\x9F\x98\x80 "),
                                QByteArray("\xE2\x82\xAC ")};
    QByteArray block;
    const qint64 records = gTargetBytes / 120;
    for (qint64 n = 1; n <= records; ++n) {
        QByteArray line = QByteArray::number(n).rightJustified(10, '0') + ' ';
        for (int k = 0; line.size() < 100; ++k) line += words[(n + k) % 5];
        line += QByteArray(118 - line.size(), '.');
        block += line + "\r\n";
        if (block.size() > (1 << 22)) {
            f.write(block);
            block.clear();
        }
    }
    f.write(block);
    return path;
}

QString MakeFixed(const QString& path, int width) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    QByteArray block;
    const qint64 records = gTargetBytes / (width + 2);
    for (qint64 n = 1; n <= records; ++n) {
        QByteArray line = QByteArray::number(n).rightJustified(10, '0');
        line += QByteArray(width - 10, static_cast<char>('a' + n % 26));
        block += line + "\r\n";
        if (block.size() > (1 << 22)) {
            f.write(block);
            block.clear();
        }
    }
    f.write(block);
    return path;
}

QString MakeCsv(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return {};
    QByteArray block = "id,name,city,amount,note\r\n";
    for (qint64 n = 1; f.size() + block.size() < gTargetBytes; ++n) {
        block += QByteArray::number(n) + ",\"Name " + QByteArray::number(n % 977) + "\",City" +
                 QByteArray::number(n % 31) + "," + QByteArray::number(n % 100000) + ".25,\"note, " +
                 QByteArray(static_cast<int>(n % 40), 'x') + "\"\r\n";
        if (block.size() > (1 << 22)) {
            f.write(block);
            block.clear();
        }
    }
    f.write(block);
    return path;
}

double Ms(qint64 ns) { return static_cast<double>(ns) / 1e6; }

struct Figures {
    double min, median, p90, p99, max, mean;
};

Figures Distribution(std::vector<qint64> ns) {
    std::sort(ns.begin(), ns.end());
    auto at = [&](double q) { return Ms(ns[static_cast<size_t>(q * static_cast<double>(ns.size() - 1))]); };
    double sum = 0;
    for (qint64 v : ns) sum += Ms(v);
    return {Ms(ns.front()), at(0.5), at(0.9), at(0.99), Ms(ns.back()), sum / static_cast<double>(ns.size())};
}

/// Milliseconds a command takes, as a reference for the same bytes.
double RunMs(const QString& program, const QStringList& args) {
    QElapsedTimer t;
    t.start();
    QProcess p;
    p.start(program, args);
    p.waitForFinished(60000);
    return Ms(t.nsecsElapsed());
}

void HoldKey(velmor::frmFileView& w, int key, int presses, const char* name, double target,
             double reference) {
    std::vector<qint64> times;
    times.reserve(static_cast<size_t>(presses));
    QElapsedTimer t;
    for (int i = 0; i < presses; ++i) {
        t.start();
        w.Form_KeyDown(key, Qt::NoModifier);
        times.push_back(t.nsecsElapsed());
    }
    const Figures f = Distribution(times);
    std::printf("  %-10s %5d keys  min %.3f  median %.3f  p90 %.3f  p99 %.3f  max %.3f  mean %.3f ms"
                "  (target median < %.0f ms: %s; median / dd one record %.2f)\n",
                name, presses, f.min, f.median, f.p90, f.p99, f.max, f.mean, target,
                f.median < target ? "met" : "MISSED", f.median / reference);
}

void Run(const QString& label, const QString& path, int screenBytes) {
    velmor::frmFileView w;
    w.resize(1280, 900);
    w.show();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    const bool opened = w.AddFile(path);
    const double openMs = Ms(t.nsecsElapsed());
    const double headMs = RunMs(QStringLiteral("head"), {QStringLiteral("-c"), QString::number(screenBytes), path});
    const double ddMs = RunMs(QStringLiteral("dd"), {QStringLiteral("if=") + path, QStringLiteral("of=/dev/null"),
                                                      QStringLiteral("bs=128"), QStringLiteral("count=1"),
                                                      QStringLiteral("skip=5000"), QStringLiteral("status=none")});
    std::printf("%s: %s, %.0f MB, %d lines of %d cells\n", qPrintable(label), opened ? "opened" : "NOT OPENED",
                static_cast<double>(QFile(path).size()) / 1e6, w.mScreen.rows, w.mScreen.columns);
    std::printf("  open + first screen %.1f ms  (target < 100 ms: %s; head -c of a screen %.1f ms, ratio %.1f)\n",
                openMs, openMs < 100 ? "met" : "MISSED", headMs, openMs / headMs);
    HoldKey(w, Qt::Key_Down, 3000, "Down", 1.0, ddMs);
    HoldKey(w, Qt::Key_PageDown, 3000, "Page Down", 3.0, ddMs);
    std::printf("  reads from the engine: %lld record reads, %lld moves\n",
                static_cast<long long>(w.mSource.ReadCounts().reads()),
                static_cast<long long>(w.mSource.ReadCounts().moves));
    w.File().SaveConnection("", false);
    w.File().CloseFile();
}
}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc > 1 && std::atoll(argv[1]) > 0) gTargetBytes = std::atoll(argv[1]) << 20;
    QTemporaryDir dir;
    velmor::Global::SetProgramFolder(dir.path());
    velmor::Global::Connections = velmor::Global::BuiltInProfiles();
    velmor::Global::MergeFileTypes();
    velmor::ScriptedUserPrompt prompt;
    velmor::SetPrompt(&prompt);

    QElapsedTimer t;
    t.start();
    const QString fixed = MakeFixed(dir.filePath(QStringLiteral("fixed.dat")), 118);
    std::printf("generated fixed file in %.1f s\n", Ms(t.nsecsElapsed()) / 1000);
    Run(QStringLiteral("fixed 120-byte records"), fixed, 40 * 120);
    QFile::remove(fixed);

    t.start();
    const QString utf8 = MakeUtf8(dir.filePath(QStringLiteral("utf8.dat")));
    std::printf("generated UTF-8 file in %.1f s\n", Ms(t.nsecsElapsed()) / 1000);
    Run(QStringLiteral("UTF-8 records with CJK, Hangul and emoji"), utf8, 40 * 120);
    QFile::remove(utf8);

    t.start();
    const QString csv = MakeCsv(dir.filePath(QStringLiteral("data.csv")));
    std::printf("generated delimited file in %.1f s\n", Ms(t.nsecsElapsed()) / 1000);
    Run(QStringLiteral("delimited (CSV)"), csv, 40 * 80);
    if (!prompt.Questions().empty())
        std::printf("engine messages: %s\n", qPrintable(prompt.Questions().front().text));
    velmor::SetPrompt(nullptr);
    return 0;
}
