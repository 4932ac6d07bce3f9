// Printing the current record (read back from a PDF) and the Launch menu:
// which items show, and what a stand-in sibling program receives.
#include <QAction>
#include <QMenu>
#include <QPrinter>
#include <QProcess>
#include <filesystem>

#include "app/pathbytes.h"
#include "viewer/recordprint.h"
#include "viewer_testhost.h"

using Asked = velmor::ScriptedUserPrompt::Asked;

namespace {

// Starts programs as the program does, so a stand-in sibling can record its
// arguments.
class StartingPrompt : public velmor::ScriptedUserPrompt {
public:
    bool StartProcess(const QString& program, const QStringList& arguments) override {
        velmor::ScriptedUserPrompt::StartProcess(program, arguments);
        return velmor::QtUserPrompt().StartProcess(program, arguments);
    }
};

QString PdfText(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    if (!p.waitForFinished(30000)) return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

int PdfPages(const QString& pdf) {
    QProcess p;
    p.start(QStringLiteral("pdfinfo"), {pdf});
    if (!p.waitForFinished(30000)) return -1;
    const QRegularExpression pages(QStringLiteral("Pages:\\s+(\\d+)"));
    return pages.match(QString::fromUtf8(p.readAllStandardOutput())).captured(1).toInt();
}

// A sibling that writes each argument it gets on a line of <itself>.args.
void WriteSibling(const QString& path) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write("#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$0.args.tmp\"\n"
            "mv \"$0.args.tmp\" \"$0.args\"\n");
    f.close();
    f.setPermissions(f.permissions() | QFileDevice::ExeOwner);
}

void Touch(const QString& path) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly)) f.write("x");
}

// Removes a folder by its bytes when the test ends: QTemporaryDir cannot
// name files whose names are not UTF-8.
struct RemovedAtEnd {
    std::string folder;
    ~RemovedAtEnd() {
        std::error_code ec;
        std::filesystem::remove_all(folder, ec);
    }
};

const QString kTens = QStringLiteral(
    "         1         2         3         4         5         6         7         8         9         0");

}  // namespace

class TestViewerPrintLaunch : public QObject {
    Q_OBJECT
private slots:
    void printsTheRecordDump_data() {
        QTest::addColumn<int>("recordLength");
        QTest::addColumn<bool>("accept");
        QTest::addColumn<int>("rulerLines");  // tens rulers found in the PDF
        QTest::addColumn<int>("record");
        QTest::newRow("250 bytes: three blocks") << 250 << true << 3 << 2;
        // Without a record length the division is gone and so is the record.
        QTest::newRow("0 bytes: header only") << 0 << true << 0 << 0;
        QTest::newRow("printer dialog cancelled") << 250 << false << -1 << 2;
        QTest::newRow("printer that cannot start") << 250 << true << -1 << 2;
    }

    void printsTheRecordDump() {
        QFETCH(int, recordLength);
        QFETCH(bool, accept);
        QFETCH(int, rulerLines);
        QFETCH(int, record);
        viewertest::Host h;
        // Records end in CR LF, so 248 bytes give a record length of 250.
        const QString file = h.Fixed(QStringLiteral("prïnt.dat"), 3, 248);
        auto w = h.Window(file);
        w->MoveTo(2);
        if (recordLength == 0) w->File().GetConnection().SetRecordLength(0);
        // A PDF in a folder that does not exist cannot be started: no message.
        const QString pdf = h.dir.filePath(rulerLines < 0 ? QStringLiteral("none/out.pdf")
                                                          : QStringLiteral("out.pdf"));
        h.prompt.QueuePrinter(accept, pdf);
        w->mnuprintrecord->trigger();
        const auto& asked = h.prompt.Questions();
        QCOMPARE(asked.front().kind, Asked::Kind::Printer);
        if (rulerLines < 0) {
            QCOMPARE(asked.size(), size_t(1));
            QVERIFY(!QFile::exists(pdf));
            return;
        }
        QCOMPARE(asked.size(), size_t(2));
        QCOMPARE(asked.back().text, QStringLiteral("Please Check your local printer for the output."));
        QCOMPARE(asked.back().title, QStringLiteral("Done."));
        QCOMPARE(asked.back().icon, velmor::UserPrompt::Icon::Information);

        const QStringList lines = PdfText(pdf).split('\n');
        QVERIFY2(lines.size() > 5, "pdftotext (poppler-utils) is needed");
        QCOMPARE(lines[0].trimmed(), QStringLiteral("File Name: ") + file);
        QCOMPARE(lines[1].trimmed(), QStringLiteral("Record Number: %1").arg(record));
        QCOMPARE(lines[2].trimmed(), QStringLiteral("Record Length: %1").arg(recordLength));
        QVERIFY(lines[3].trimmed().startsWith(QStringLiteral("Date: ")));
        QVERIFY(lines[4].trimmed().contains(QRegularExpression("^Time: \\d\\d:\\d\\d:\\d\\d [AP]M$")));
        const QString tens = kTens.trimmed();
        QCOMPARE(lines.filter(tens).size(), rulerLines);
        if (rulerLines != 3) return;
        // Record 2 starts with its number; the third block holds 50 of its bytes.
        QVERIFY(lines.filter(QStringLiteral("00000002cccc")).size() == 1);
        const qsizetype third = lines.lastIndexOf(QRegularExpression("^\\s*" + tens + "$"));
        QCOMPARE(lines[third - 1].trimmed(), QStringLiteral("3"));
        // Its CR LF is not printed: 48 letters c, code 63.
        QCOMPARE(lines[third + 2].trimmed(), QString(48, 'c'));
        QCOMPARE(lines[third + 3].trimmed(), QString(48, '6'));
        QCOMPARE(lines[third + 4].trimmed(), QString(48, '3'));
    }

    // The record "Müller Zoë" in a file whose name is not UTF-8 (Latin-1 "café").
    void printsUtf8CharactersInTheirFirstCell() {
        viewertest::Host h;
        const RemovedAtEnd sub{velmor::PathBytes(h.dir.filePath(QStringLiteral("sub")))};
        QVERIFY(QDir().mkpath(h.dir.filePath(QStringLiteral("sub"))));
        const std::string path = sub.folder + "/caf\xe9.dat";
        const QString utf8 = h.Write(QStringLiteral("names.dat"), "M\xc3\xbcller Zo\xc3\xab\r\n");
        QVERIFY(std::rename(velmor::PathBytes(utf8).c_str(), path.c_str()) == 0);
        auto w = h.Window(velmor::PathFromBytes(path));
        QCOMPARE(w->TextEncoding(), velmor::viewer::DisplayEncoding::Utf8);
        QCOMPARE(w->windowTitle(), QString::fromUtf8("café.dat"));
        const QString pdf = h.dir.filePath(QStringLiteral("names.pdf"));
        h.prompt.QueuePrinter(true, pdf);
        w->mnuprintrecord->trigger();
        const QStringList lines = PdfText(pdf).split('\n');
        QCOMPARE(lines[0].trimmed(), "File Name: " + h.dir.path() + QString::fromUtf8("/sub/café.dat"));
        // Each character in the cell of its first byte, a blank after it; the
        // code lines give every byte.
        const qsizetype tens = lines.indexOf(QRegularExpression("^\\s*" + kTens.trimmed() + "$"));
        QVERIFY(tens > 0 && lines.size() > tens + 4);
        QCOMPARE(lines[tens + 2].trimmed(), QString::fromUtf8("Mü ller Zoë"));
        QCOMPARE(lines[tens + 3].trimmed(), QStringLiteral("4CB6667256CA"));
        QCOMPARE(lines[tens + 4].trimmed(), QStringLiteral("D3CCC520AF3B"));
    }

    // Every line lies whole inside the printable area of its page, the last
    // line of each page too, and none is lost at a break.
    void pageBreakKeepsEveryLineInsideItsPage() {
        QTemporaryDir dir;
        const QString pdf = dir.filePath(QStringLiteral("lines.pdf"));
        QStringList lines;
        for (int i = 1; i <= 150; ++i) lines << QStringLiteral("L%1").arg(i, 3, 10, QLatin1Char('0'));
        QPrinter printer;
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(pdf);
        QVERIFY(velmor::viewer::PrintDump(printer, lines));
        const double bottom = printer.pageLayout().paintRect(QPageLayout::Point).bottom();
        QProcess p;
        p.start(QStringLiteral("pdftotext"), {QStringLiteral("-bbox"), pdf, QStringLiteral("-")});
        QVERIFY2(p.waitForFinished(30000), "pdftotext (poppler-utils) is needed");
        const QString html = QString::fromUtf8(p.readAllStandardOutput());
        static const QRegularExpression word(QStringLiteral("yMax=\"([0-9.]+)\">(L\\d+)</word>"));
        QStringList found;
        for (const QRegularExpressionMatch& m : word.globalMatch(html)) {
            found << m.captured(2);
            QVERIFY2(m.captured(1).toDouble() <= bottom + 0.5, qPrintable(m.captured(2)));
        }
        QCOMPARE(found, lines);
        QVERIFY(PdfPages(pdf) >= 2);
    }

    void launchMenuShows_data() {
        QTest::addColumn<QString>("programFolder");  // below the test folder
        QTest::addColumn<QStringList>("siblings");
        QTest::addColumn<bool>("script");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("shown");  // L(aunch) R(eformat) M(atch) P(arent)
        const auto row = [](const char* tag, const char* folder, const QStringList& siblings,
                            bool script, const char* title, const char* shown) {
            QTest::newRow(tag) << QString(folder) << siblings << script << QString(title)
                               << QString(shown);
        };
        const QStringList match{"Velmor_Match"}, both{"Velmor_Match", "Velmor_Reformat"};
        row("no sibling", "bin", {}, true, "ORDERSM1", "");
        row("reformat only", "bin", {"Velmor_Reformat"}, true, "ORDERSM1", "LR");
        row("match output with its script", "bin", both, true, "ORDERSM1", "LRMP");
        row("match output, lower case", "bin", match, true, "ordersm1", "LMP");
        row("match output without its script", "bin", match, false, "ORDERSM1", "LM");
        row("reformat output, reformat missing", "bin", match, true, "ORDERSR1", "LM");
        row("tools elsewhere for a data-processing folder", "DataProcessing/bin", both, true,
            "ORDERSM1", "");
    }

    void launchMenuShows() {
        QFETCH(QString, programFolder);
        QFETCH(QStringList, siblings);
        QFETCH(bool, script);
        QFETCH(QString, title);
        viewertest::Host h;
        const QString bin = h.dir.filePath(programFolder);
        QDir().mkpath(bin);
        velmor::Global::SetProgramFolder(bin);
        for (const QString& s : siblings) WriteSibling(bin + '/' + s);
        if (script) Touch(h.dir.filePath(title.left(title.size() - 1) + ".VelmorBasic"));
        auto w = h.Window(h.Fixed(title + ".dat", 3, 20));
        QString shown;
        if (w->mnuLaunch->menuAction()->isVisible()) shown += 'L';
        if (w->mnuReformat->isVisible()) shown += 'R';
        if (w->mnuMatch->isVisible()) shown += 'M';
        if (w->mnuParentProcess->isVisible()) shown += 'P';
        QTEST(shown, "shown");
        w->mnuclose_Click();
        QVERIFY(!w->mnuLaunch->menuAction()->isVisible());
    }

    void siblingGetsThePathAsOneArgument_data() {
        QTest::addColumn<QString>("menu");
        QTest::addColumn<QString>("sibling");
        QTest::addColumn<QByteArray>("title");     // of the data file, NAME.dat
        QTest::addColumn<QByteArray>("argument");  // below the data folder
        const char* const rows[][5] = {
            {"match, Latin-1 name", "mnuMatch", "Velmor_Match", "caf\xe9M1", "caf\xe9M1.dat"},
            {"parent process, Latin-1", "mnuParentProcess", "Velmor_Match", "caf\xe9M1",
             "caf\xe9M.VelmorBasic"},
            {"reformat, UTF-8 \u20ac and CJK", "mnuReformat", "Velmor_Reformat", "\xe2\x82\xac\xe6\x95\xb0R1",
             "\xe2\x82\xac\xe6\x95\xb0R1.dat"}};
        for (const auto& r : rows) {
            QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]) << QByteArray(r[3])
                                << QByteArray(r[4]);
        }
    }

    void siblingGetsThePathAsOneArgument() {
        QFETCH(QString, menu);
        QFETCH(QString, sibling);
        QFETCH(QByteArray, title);
        QFETCH(QByteArray, argument);
        viewertest::Host h;
        StartingPrompt prompt;
        velmor::SetPrompt(&prompt);
        for (const char* s : {"Velmor_Match", "Velmor_Reformat"})
            WriteSibling(h.dir.filePath(QString::fromLatin1(s)));
        const QString data = h.dir.filePath(QStringLiteral("my data  folder"));
        QDir().mkpath(data);
        const RemovedAtEnd removed{velmor::PathBytes(data)};
        const QByteArray folder = QByteArray::fromStdString(velmor::PathBytes(data)) + '/';
        Touch(data + "/x");
        QVERIFY(std::rename((folder + "x").constData(),
                            (folder + title.chopped(1) + ".VelmorBasic").constData()) == 0);
        const QString file = h.Fixed(QStringLiteral("ORDERSM1.dat"), 3, 20);
        QVERIFY(std::rename(QFile::encodeName(file).constData(), (folder + title + ".dat").constData()) ==
                0);
        auto w = h.Window(velmor::PathFromBytes((folder + title + ".dat").toStdString()));
        QVERIFY(w->isVisible());
        w->findChild<QAction*>(menu)->trigger();
        QVERIFY(!w->isVisible());  // a launch ends the viewer
        QCOMPARE(prompt.Questions().back().text, h.dir.filePath(sibling));
        const QString record = h.dir.filePath(sibling) + ".args";
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(record), 10000);
        QFile f(record);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), folder + argument + '\n');
    }
};

QTEST_MAIN(TestViewerPrintLaunch)
#include "tst_viewer_printlaunch.moc"
