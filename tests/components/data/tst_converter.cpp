// Converter.Convert end to end through the engine: round trips, the exact
// bytes of each output type, dBase tables read back, and every way a
// conversion can fail (its staged output, a signal) without leaving a
// half-written or wrong file.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <functional>

#include "data/converter.h"
#include "data/file.h"
#include "engine_testfiles.h"

using velmor::data::Converter;
using velmor::data::File;
using Table = QList<QStringList>;
using enginetest::ReadBytes;
using enginetest::WriteBytes;

namespace {

const char* kCrLf = "CHR$(13) & CHR$(10)";

// Gives a CSV source its connection file, as a user would have saved it.
void SaveCsvConnection(const QString& path, bool header) {
    File file;
    QVERIFY(file.Open(path.toStdString()));
    auto& c = file.GetConnection();
    c.SetIsFixed(false);
    c.SetIsDelimited(true);
    c.SetRecordDelimiterRepresentation(kCrLf);
    c.SetFieldDelimiterRepresentation("CHR$(44)");
    c.SetTextQualifierRepresentation("CHR$(34)");
    c.SetFirstRecordContainsFieldNames(header);
    file.Refresh();
    QVERIFY(file.SaveConnection("", false));
}

// Every record's field values as the engine reads them.
Table ReadTable(const QString& path, QStringList* names = nullptr) {
    File file;
    Table table;
    if (!file.Open(path.toStdString())) return table;
    file.MoveLast();
    for (velmor::data::RecordNo r = 1; r <= file.RecordCount(); ++r) {
        file.MoveTo(r);
        QStringList values;
        for (int f = 1; f <= file.GetFields().Count(); ++f)
            values << enginetest::Str(file.FieldValue(f));
        table << values;
    }
    for (int f = 1; names && f <= file.GetFields().Count(); ++f)
        *names << enginetest::Str(file.GetFields().Item(f)->Name());
    return table;
}

struct Outcome {
    bool ok = false;
    QStringList errors;
};

Outcome Convert(const QString& source, const QString& target,
                const std::function<void(Converter&)>& setup) {
    Converter c;
    c.SetRecordDelimiterRepresentation(kCrLf);
    c.SetFieldDelimiterRepresentation("CHR$(44)");
    c.SetTextQualifierRepresentation("CHR$(34)");
    setup(c);
    Outcome outcome;
    c.OnError = [&outcome](const std::string& description, bool& cancel) {
        outcome.errors << QString::fromStdString(description);
        cancel = true;
    };
    outcome.ok = c.Convert(source.toStdString(), target.toStdString());
    return outcome;
}

void Fixed(Converter& c) {
    c.SetIsFixed(true);
}
void Delimited(Converter& c) {
    c.SetIsDelimited(true);
}

QStringList FilesIn(const QTemporaryDir& dir) {
    return QDir(dir.path()).entryList(QDir::Files, QDir::Name);
}

}  // namespace

class ConverterTest : public QObject {
    Q_OBJECT

private slots:
    void roundTripThroughFixed_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<bool>("header");
        QTest::newRow("plain with names") << QByteArray("id,name\r\n1,Ann\r\n22,Bob\r\n") << true;
        QTest::newRow("qualified delimiters")
            << QByteArray("\"a,b\",c\r\n\"x\",\"y,z,\"\r\n") << false;
        QTest::newRow("doubled qualifiers")
            << QByteArray("k,v\r\n1,\"say \"\"hi\"\"\"\r\n2,\"\"\"\"\r\n") << true;
        QTest::newRow("record ends inside values")
            << QByteArray("1,\"two\r\nlines\"\r\n2,\"lf\nonly\"\r\n") << false;
        QTest::newRow("empty fields") << QByteArray("a,b,c\r\n,,\r\n1,,3\r\n") << true;
        QTest::newRow("latin-1 bytes") << QByteArray("M\xfcller,\xe9t\xe9\r\n") << false;
        QTest::newRow("one column") << QByteArray("x\r\nyy\r\nzzz\r\n") << false;
        // Malformed qualifying must be read the way the engine reads it.
        QTest::newRow("stray qualifiers")
            << QByteArray("5\" disk,\"ab\"cd\r\nx,\"\"y\r\n") << false;
        QTest::newRow("open qualifier at the end") << QByteArray("a,b\r\nc,\"d,e\r\nf") << false;
        QTest::newRow("empty lines") << QByteArray("a,b\r\n\r\nc,d\r\n\r\n") << false;
    }
    void roundTripThroughFixed() {
        QFETCH(QByteArray, csv);
        QFETCH(bool, header);
        QTemporaryDir dir;
        const QString source = dir.filePath("source.csv");
        QVERIFY(WriteBytes(source, csv));
        SaveCsvConnection(source, header);
        Outcome toFixed = Convert(source, dir.filePath("middle.txt"), Fixed);
        QVERIFY2(toFixed.ok, qPrintable(toFixed.errors.join("; ")));
        Outcome back = Convert(dir.filePath("middle.txt"), dir.filePath("back.csv"), Delimited);
        QVERIFY2(back.ok, qPrintable(back.errors.join("; ")));
        const Table original = ReadTable(source);
        QVERIFY(!original.isEmpty());
        QCOMPARE(ReadTable(dir.filePath("middle.txt")).size(), original.size());
        QCOMPARE(ReadTable(dir.filePath("back.csv")), original);
    }

    // The exact bytes written; the source is a CSV with its connection file,
    // or a fixed file divided by a format file (Layout).
    void outputBytes_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("layout");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<bool>("header");
        QTest::addColumn<QStringList>("delimiters");  // record, field, qualifier
        QTest::addColumn<QByteArray>("expected");
        const QByteArray csv = "id,text\r\n1,\"a,b\"\r\n2,\"say \"\"x\"\"\"\r\n3,plain\r\n";
        const QStringList comma{kCrLf, "CHR$(44)", "CHR$(34)"};
        QTest::newRow("csv with names")
            << csv << QByteArray() << false << true << comma
            << QByteArray("id,text\r\n1,\"a,b\"\r\n2,\"say \"\"x\"\"\"\r\n3,plain\r\n");
        QTest::newRow("pipes, apostrophes, lf") << csv << QByteArray() << false << false
                                                << QStringList{"CHR$(10)", "CHR$(124)", "CHR$(39)"}
                                                << QByteArray("1|a,b\n2|say \"x\"\n3|plain\n");
        QTest::newRow("qualifier doubled in output")
            << QByteArray("it's,x\r\n") << QByteArray() << false << false
            << QStringList{kCrLf, "CHR$(59)", "CHR$(39)"} << QByteArray("'it''s';x\r\n");
        QTest::newRow("tab, no qualifier needed")
            << csv << QByteArray() << false << false << QStringList{kCrLf, "CHR$(9)", ""}
            << QByteArray("1\ta,b\r\n2\tsay \"x\"\r\n3\tplain\r\n");
        // Widths come from the widest value of all records, not a sample.
        const QByteArray values = "id,value\r\n1,a\r\n22,bbbb\r\n";
        QTest::newRow("fixed") << values << QByteArray() << true << false << comma
                               << QByteArray("1 a   \r\n22bbbb\r\n");
        QTest::newRow("fixed, names widen") << values << QByteArray() << true << true << comma
                                            << QByteArray("idvalue\r\n1 a    \r\n22bbbb \r\n");
        QTest::newRow("fixed, extra values not lost")
            << QByteArray("a,b\r\n1,2\r\n3,4,5\r\n") << QByteArray() << true << false << comma
            << QByteArray("12 \r\n345\r\n");
        const QByteArray cards = "AB  12\r\nC   3 \r\n";
        QTest::newRow("fixed source keeps its lengths")
            << cards << QByteArray("code, 4\r\nn, 2\r\n") << true << false << comma << cards;
        // Padding is not data: delimited output drops the trailing blanks.
        QTest::newRow("fixed source, blanks dropped")
            << cards << QByteArray("code, 4\r\nn, 2\r\n") << false << false << comma
            << QByteArray("AB,12\r\nC,3\r\n");
    }
    void outputBytes() {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, layout);
        QFETCH(bool, fixed);
        QFETCH(bool, header);
        QFETCH(QStringList, delimiters);
        QTemporaryDir dir;
        const QString path = dir.filePath(layout.isEmpty() ? "source.csv" : "source.dat");
        QVERIFY(WriteBytes(path, source));
        if (layout.isEmpty())
            SaveCsvConnection(path, source.startsWith("id,") || source.startsWith("a,b"));
        else
            QVERIFY(WriteBytes(dir.filePath("source.fmt"), layout));
        Outcome o = Convert(path, dir.filePath("out.txt"), [&](Converter& c) {
            c.SetIsFixed(fixed);
            c.SetIsDelimited(!fixed);
            c.SetFirstRecordContainsFieldNames(header);
            c.SetRecordDelimiterRepresentation(delimiters[0].toStdString());
            c.SetFieldDelimiterRepresentation(delimiters[1].toStdString());
            c.SetTextQualifierRepresentation(delimiters[2].toStdString());
        });
        QVERIFY2(o.ok, qPrintable(o.errors.join("; ")));
        QTEST(ReadBytes(dir.filePath("out.txt")), "expected");
    }

    void dbaseTableReadsBack() {
        QTemporaryDir dir;
        const QString source = dir.filePath("source.csv");
        QVERIFY(WriteBytes(source, "id,customer name\r\n1,Ann\r\n22,\"Lee, Bo\"\r\n333,\r\n"));
        SaveCsvConnection(source, true);
        Outcome o = Convert(source, dir.filePath("out.DBF"), Delimited);
        QVERIFY2(o.ok, qPrintable(o.errors.join("; ")));
        const QByteArray bytes = ReadBytes(dir.filePath("out.DBF"));
        QCOMPARE(static_cast<unsigned char>(bytes[0]), 0x03);
        QCOMPARE(bytes.back(), '\x1A');
        QStringList names;
        Table table = ReadTable(dir.filePath("out.DBF"), &names);
        QCOMPARE(names, (QStringList{"ID", "CUSTOMER_N"}));
        QCOMPARE(table.size(), 3);
        for (QStringList& row : table)
            for (QString& v : row) v = v.trimmed();
        QCOMPARE(table, (Table{{"1", "Ann"}, {"22", "Lee, Bo"}, {"333", ""}}));
    }

    // Refused at once with the reason, the source as it was, nothing written.
    void refusedTargets_data() {
        QTest::addColumn<QString>("spelling");
        QTest::addColumn<QString>("message");
        QTest::newRow("the source itself") << "source.csv" << "source";
        QTest::newRow("the source, dotted") << "./sub/../source.csv" << "source";
        QTest::newRow("the source's hard link") << "link.csv" << "source";
        QTest::newRow("a missing folder") << "none/out.txt" << "none";
        // Read-only folders do not bind the superuser; sysfs refuses it too.
        QTest::newRow("a folder nobody may write") << "/sys/out.txt" << "/sys";
    }
    void refusedTargets() {
        QFETCH(QString, spelling);
        QFETCH(QString, message);
        QTemporaryDir dir;
        QDir(dir.path()).mkdir("sub");
        const QString source = dir.filePath("source.csv");
        const QByteArray csv = "a,b\r\n1,2\r\n";
        QVERIFY(WriteBytes(source, csv));
        QVERIFY(::link(source.toLocal8Bit().constData(),
                       dir.filePath("link.csv").toLocal8Bit().constData()) == 0);
        Outcome o = Convert(source, spelling.startsWith('/') ? spelling : dir.filePath(spelling),
                            Fixed);
        QVERIFY(!o.ok);
        QCOMPARE(o.errors.size(), 1);
        QVERIFY2(o.errors[0].contains(message), qPrintable(o.errors[0]));
        QCOMPARE(ReadBytes(source), csv);
        QCOMPARE(FilesIn(dir), (QStringList{"link.csv", "source.csv"}));
    }

    // A cancelled or failing conversion keeps the old target and leaves no
    // file behind; a finished one, its progress up to the total, replaces it
    // whole. A file-size limit makes the write fail part-way, as a full disk
    // would.
    void replacesTheTargetOnlyWhenDone_data() {
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<int>("stopAt");  // the progress call that cancels; 0 none
        QTest::addColumn<bool>("sizeLimit");
        QTest::addColumn<QString>("message");  // "" when it finishes
        QTest::newRow("fixed, cancelled in its first pass") << true << 2 << false << "cancelled";
        QTest::newRow("delimited, cancelled while writing") << false << 2 << false << "cancelled";
        QTest::newRow("write failing part-way") << true << 0 << true << "Cannot write";
        QTest::newRow("finished") << true << 0 << false << "";
    }
    void replacesTheTargetOnlyWhenDone() {
        QFETCH(bool, fixed);
        QFETCH(int, stopAt);
        QFETCH(bool, sizeLimit);
        QFETCH(QString, message);
        QTemporaryDir dir;
        const QString source = dir.filePath("source.csv");
        QByteArray csv;
        for (int i = 0; i < 400000; ++i) csv += QByteArray::number(i) + ",\"some, text\"\r\n";
        QVERIFY(WriteBytes(source, csv));
        SaveCsvConnection(source, false);
        const QString target = dir.filePath("out.txt");
        QVERIFY(WriteBytes(target, "old target"));
        const QStringList before = FilesIn(dir);
        int calls = 0;
        std::int64_t last = -1, total = 0;
        bool increasing = true;
        struct rlimit saved {};
        QVERIFY(::getrlimit(RLIMIT_FSIZE, &saved) == 0);
        auto previous = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = saved;
        small.rlim_cur = 1 << 20;
        if (sizeLimit) QVERIFY(::setrlimit(RLIMIT_FSIZE, &small) == 0);
        Outcome o = Convert(source, target, [&](Converter& c) {
            c.SetIsFixed(fixed);
            c.SetIsDelimited(!fixed);
            c.OnProgress = [&](std::int64_t done, std::int64_t all) {
                increasing = increasing && done >= last && done <= all;
                last = done;
                total = all;
                return ++calls != stopAt;
            };
        });
        ::setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previous);
        QCOMPARE(o.ok, message.isEmpty());
        QVERIFY(increasing);
        if (stopAt > 0) QCOMPARE(calls, stopAt);
        if (o.ok) {
            QVERIFY(total > 0);
            QCOMPARE(last, total);
            const QByteArray out = ReadBytes(target);  // several buffers' worth
            QCOMPARE(out.size(), 400000 * 18);
            QVERIFY(out.startsWith("0     some, text\r\n"));
            QVERIFY(out.endsWith("399999some, text\r\n"));
            return;
        }
        QCOMPARE(o.errors.size(), 1);
        QVERIFY2(o.errors[0].contains(message), qPrintable(o.errors[0]));
        QCOMPARE(ReadBytes(target), QByteArray("old target"));
        QCOMPARE(FilesIn(dir), before);
    }

    void refusedSettings_data() {
        QTest::addColumn<QByteArray>("csv");
        QTest::addColumn<QString>("qualifier");
        QTest::addColumn<QString>("fieldDelimiter");
        QTest::addColumn<bool>("typed");
        QTest::newRow("delimiter in a value, no qualifier") << QByteArray("\"a,b\"\r\n") << ""
                                                            << "CHR$(44)" << true;
        QTest::newRow("bad representation") << QByteArray("a\r\n") << "CHR$(300)"
                                            << "CHR$(44)" << true;
        QTest::newRow("no field separator for two fields") << QByteArray("a,b\r\n") << "CHR$(34)"
                                                           << "" << true;
        QTest::newRow("neither fixed nor delimited") << QByteArray("a\r\n") << "CHR$(34)"
                                                     << "CHR$(44)" << false;
    }
    void refusedSettings() {
        QFETCH(QByteArray, csv);
        QFETCH(QString, qualifier);
        QFETCH(QString, fieldDelimiter);
        QFETCH(bool, typed);
        QTemporaryDir dir;
        const QString source = dir.filePath("source.csv");
        QVERIFY(WriteBytes(source, csv));
        SaveCsvConnection(source, false);
        Outcome o = Convert(source, dir.filePath("out.txt"), [&](Converter& c) {
            c.SetIsDelimited(typed);
            c.SetTextQualifierRepresentation(qualifier.toStdString());
            c.SetFieldDelimiterRepresentation(fieldDelimiter.toStdString());
        });
        QVERIFY(!o.ok);
        QCOMPARE(o.errors.size(), 1);
        QVERIFY(!QFile::exists(dir.filePath("out.txt")));
    }

    // A converter handed the viewer's file types reads alike. (The connection
    // kept in the settings folder: tst_engine_sidefiles.)
    void readsThroughTheFileTypesGiven() {
        QTemporaryDir dir;
        const QString source = dir.filePath("pairs.zzz");
        QVERIFY(WriteBytes(source, "abcdef"));
        Outcome o = Convert(source, dir.filePath("pairs.csv"), [&](Converter& c) {
            c.SetIsDelimited(true);
            velmor::data::Connection& t = c.GetFileTypes().Add("Pairs");
            t.SetExtensions("*.zzz");
            t.SetIsFixed(true);
            t.SetRecordLength(2);
        });
        QVERIFY2(o.ok, qPrintable(o.errors.join("; ")));
        QCOMPARE(ReadBytes(dir.filePath("pairs.csv")), QByteArray("ab\r\ncd\r\nef\r\n"));
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

QTEST_GUILESS_MAIN(ConverterTest)
#include "tst_converter.moc"
