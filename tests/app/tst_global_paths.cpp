#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/detachedstart.h"
#include "app/global.h"
#include "app/pathbytes.h"

using velmor::ScriptedUserPrompt;
using velmor::UserPrompt;
namespace G = velmor::Global;

namespace {

// The same four entries in a list or a combo box; item data 10 to 13.
std::unique_ptr<QWidget> Filled(bool combo) {
    const char* texts[] = {" alpha ", "Beta", "beta", "Gamma"};
    if (combo) {
        auto box = std::make_unique<QComboBox>();
        for (int i = 0; i < 4; ++i) box->addItem(QString::fromLatin1(texts[i]), 10 + i);
        box->setCurrentIndex(2);
        return box;
    }
    auto list = std::make_unique<QListWidget>();
    for (int i = 0; i < 4; ++i)
        (new QListWidgetItem(QString::fromLatin1(texts[i]), list.get()))
            ->setData(Qt::UserRole, 10 + i);
    list->setCurrentRow(2);
    return list;
}

// The selected entry; for a list also that exactly one row is selected.
int Selected(QWidget* w) {
    if (auto* combo = qobject_cast<QComboBox*>(w)) return combo->currentIndex();
    auto* list = qobject_cast<QListWidget*>(w);
    const QList<QListWidgetItem*> selected = list->selectedItems();
    if (selected.size() != 1) return -static_cast<int>(selected.size()) - 1;
    return list->row(selected.front()) == list->currentRow() ? list->currentRow() : -100;
}

}  // namespace

class TestGlobalPaths : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString oldHome_;
    QString oldCurrent_;
    ScriptedUserPrompt prompt_;

private slots:
    void initTestCase() {
        QVERIFY(dir_.isValid());
        G::SetProgramFolder("/opt/velmor dravik");
        oldHome_ = qEnvironmentVariable("HOME");
        oldCurrent_ = QDir::currentPath();
        QVERIFY(QDir(dir_.path()).mkpath("home/data files"));
        QVERIFY(QDir(dir_.path()).mkpath("work"));
        for (const char* name : {"home/data files/in.csv", "work/rel.dat", "work/a~1.dat"}) {
            QFile file(dir_.filePath(name));
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        qputenv("HOME", QFile::encodeName(dir_.filePath("home")));
        QVERIFY(QDir::setCurrent(dir_.filePath("work")));
        velmor::SetPrompt(&prompt_);
    }

    void cleanupTestCase() {
        velmor::SetPrompt(nullptr);
        qputenv("HOME", QFile::encodeName(oldHome_));
        QDir::setCurrent(oldCurrent_);
        G::SetProgramFolder(QString());
    }

    void commandLinePath_data() {
        QTest::addColumn<QByteArrayList>("arguments");
        QTest::addColumn<QByteArray>("path");
        QTest::newRow("plain") << QByteArrayList{"/d/in.csv"} << QByteArray("/d/in.csv");
        QTest::newRow("quoted with blanks")
            << QByteArrayList{"\"/d/my data/in.csv\""} << QByteArray("/d/my data/in.csv");
        QTest::newRow("split at a blank")
            << QByteArrayList{"/d/my", "data.csv"} << QByteArray("/d/my data.csv");
        QTest::newRow("not UTF-8") << QByteArrayList{"/d/caf\xe9 \xff\xfe.dat"}
                                   << QByteArray("/d/caf\xe9 \xff\xfe.dat");
        QTest::newRow("UTF-8 and a stray byte") << QByteArrayList{"/d/\xc3\xa9\xf0\x9f\x98\x80\xe9"}
                                                << QByteArray("/d/\xc3\xa9\xf0\x9f\x98\x80\xe9");
        QTest::newRow("home folder") << QByteArrayList{"~/data files/in.csv"}
                                     << QFile::encodeName(dir_.filePath("home/data files/in.csv"));
    }

    void commandLinePath() {
        QFETCH(QByteArrayList, arguments);
        QByteArray program("velmor_dravik");
        std::vector<char*> argv{program.data()};
        for (QByteArray& a : arguments) argv.push_back(a.data());
        const QString path = G::CommandLinePath(static_cast<int>(argv.size()), argv.data());
        QTEST(QByteArray::fromStdString(velmor::PathBytes(path)), "path");
    }

    void expandAppPath_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expanded");
        const char* const rows[][3] = {
            {"alone", "$APPPATH", "/opt/velmor dravik"},
            {"lower case with folder", "$apppath/index", "/opt/velmor dravik/index"},
            {"mixed case inside", "x$AppPath/y", "x/opt/velmor dravik/y"},
            {"first only", "$APPPATH:$APPPATH", "/opt/velmor dravik:$APPPATH"},
            {"letters after it", "/data/$APPPATHX", "/data//opt/velmor dravikX"},
            {"without placeholder", "/data/in", "/data/in"},
            {"incomplete", "$APPPAT", "$APPPAT"},
            {"empty", "", ""}};
        for (const auto& r : rows) QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]);
    }

    void expandAppPath() {
        QFETCH(QString, text);
        QTEST(G::ExpandAppPath(text), "expanded");
    }

    void expandShortPath_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("relativeResult");  // below the temporary folder; "" = empty
        const char* const rows[][3] = {
            {"home", "~/data files/in.csv", "home/data files/in.csv"},
            {"home folder", "~", "home"},
            {"doubled separators", "~//data files/./in.csv", "home/data files/./in.csv"},
            {"missing file", "~/data files/out.csv", ""},
            {"missing folder", "~/nothing/in.csv", ""},
            {"relative with tilde in the name", "a~1.dat", "work/a~1.dat"},
            {"relative", "rel.dat", "work/rel.dat"},
            {"unknown user is a plain name", "~nosuchuser9z/x", ""},
            {"empty", "", ""}};
        for (const auto& r : rows) QTest::newRow(r[0]) << QString(r[1]) << QString(r[2]);
    }

    void expandShortPath() {
        QFETCH(QString, path);
        QFETCH(QString, relativeResult);
        const QString expected = relativeResult.isEmpty() ? QString() : dir_.filePath(relativeResult);
        QCOMPARE(G::ExpandShortPath(path), expected);
    }

    void runCommandLine_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<bool>("starts");
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("arguments");
        QTest::newRow("plain") << "prog a b" << true << "prog" << QStringList({"a", "b"});
        QTest::newRow("quoted") << "\"/opt/my prog\" \"/d/in file.csv\" -x" << true << "/opt/my prog"
                                << QStringList({"/d/in file.csv", "-x"});
        QTest::newRow("alone") << "  prog  " << true << "prog" << QStringList();
        QTest::newRow("program that does not start")
            << "missing-program" << false << "missing-program" << QStringList();
        QTest::newRow("blank starts nothing") << "   " << false << "" << QStringList();
    }

    void runCommandLine() {
        QFETCH(QString, commandLine);
        QFETCH(bool, starts);
        QFETCH(QString, program);
        prompt_.Clear();
        prompt_.SetLaunchResult(starts);
        QCOMPARE(G::RunCommandLine(commandLine), starts);
        prompt_.SetLaunchResult(true);
        QCOMPARE(prompt_.Questions().size(), std::size_t(program.isEmpty() ? 0 : 1));
        if (program.isEmpty()) return;
        QCOMPARE(prompt_.Questions()[0].kind, ScriptedUserPrompt::Asked::Kind::Process);
        QCOMPARE(prompt_.Questions()[0].text, program);
        QTEST(prompt_.Questions()[0].arguments, "arguments");
    }


    void nameBytesAreShown_data() {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QString>("shown");  // as the title and the printout show it
        QTest::newRow("Latin-1 byte") << QByteArray("caf\xe9.dat") << QString::fromUtf8("café.dat");
        QTest::newRow("UTF-8 \u00e9 and \u20ac")
            << QByteArray("caf\xc3\xa9 \xe2\x82\xac.dat") << QString::fromUtf8("café €.dat");
        QTest::newRow("CJK") << QByteArray("\xe6\x95\xb0\xe6\x8d\xae.dat")
                             << QString::fromUtf8("数据.dat");
        QTest::newRow("UTF-8 beside a stray byte")
            << QByteArray("\xe2\x82\xac\x80.dat") << QString::fromUtf8("€€.dat");
    }

    // How a name's bytes are shown; that they reach a started program as
    // they are is the launch menu's test.
    void nameBytesAreShown() {
        QFETCH(QByteArray, name);
        QTEST(velmor::DisplayPath(name.toStdString()), "shown");
        QVERIFY(!velmor::StartDetached(dir_.filePath("no such program"), {}));
    }

    // SelectListItem by text or item data; "#N" rows are SetListIndex(N),
    // which raises none of the list's change signals.
    void listSelection_data() {
        QTest::addColumn<bool>("combo");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("byItemData");
        QTest::addColumn<int>("row");
        for (bool combo : {false, true}) {
            const char* kind = combo ? "combo: " : "list: ";
            auto row = [&](const char* name) -> QTestData& {
                return QTest::newRow(qPrintable(kind + QString(name))) << combo;
            };
            row("trimmed and case-blind") << "ALPHA" << false << 0;
            row("first of equal texts") << " beta  " << false << 1;
            row("no match clears") << "Delta" << false << -1;
            row("item data") << "12" << true << 2;
            row("item data with blanks") << " 13 " << true << 3;
            row("item data ignores text") << "Gamma" << true << -1;
            row("index first") << "#0" << false << 0;
            row("index last") << "#3" << false << 3;
            row("index clear") << "#-1" << false << -1;
            row("index beyond the end clears") << "#4" << false << -1;
            row("index far below clears") << "#-7" << false << -1;
        }
    }

    void listSelection() {
        QFETCH(bool, combo);
        QFETCH(QString, text);
        QFETCH(bool, byItemData);
        const auto list = Filled(combo);
        if (!text.startsWith('#')) {
            G::SelectListItem(list.get(), text, byItemData);
            QTEST(Selected(list.get()), "row");
            return;
        }
        const bool isBox = qobject_cast<QComboBox*>(list.get()) != nullptr;
        QSignalSpy a(list.get(), isBox ? SIGNAL(activated(int)) : SIGNAL(itemSelectionChanged()));
        QSignalSpy b(list.get(),
                     isBox ? SIGNAL(currentIndexChanged(int)) : SIGNAL(currentRowChanged(int)));
        QVERIFY(a.isValid() && b.isValid());
        QTEST(G::SetListIndex(list.get(), text.mid(1).toInt()), "row");
        QTEST(Selected(list.get()), "row");
        QCOMPARE(a.count() + b.count(), 0);
    }

    void setListIndexRefusesOtherControls() {
        prompt_.Clear();
        QLineEdit edit;
        QCOMPARE(G::SetListIndex(&edit, 2), 0);
        QCOMPARE(G::SetListIndex(nullptr, 2), 0);
        QCOMPARE(prompt_.Questions().size(), std::size_t(2));
        const auto& asked = prompt_.Questions()[0];
        QCOMPARE(asked.text, QString("SetListIndex function does not work with the supplied control."));
        QVERIFY(asked.icon == UserPrompt::Icon::Information && asked.title.isEmpty());
    }
};

QTEST_MAIN(TestGlobalPaths)
#include "tst_global_paths.moc"
