#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "app/pathbytes.h"

using velmor::ScriptedUserPrompt;
using velmor::UserPrompt;
namespace G = velmor::Global;

class TestGlobalPaths : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void commandLinePath_data();
    void commandLinePath();
    void expandAppPath_data();
    void expandAppPath();
    void expandShortPath_data();
    void expandShortPath();
    void runCommandLine_data();
    void runCommandLine();
    void runCommandLineReportsFailure();
    void selectListItemInList_data();
    void selectListItemInList();
    void selectListItemInCombo();
    void setListIndexOnList_data();
    void setListIndexOnList();
    void setListIndexOnCombo_data();
    void setListIndexOnCombo();
    void setListIndexRefusesOtherControls();

private:
    QTemporaryDir dir_;
    QString oldHome_;
    QString oldCurrent_;
    ScriptedUserPrompt prompt_;
};

void TestGlobalPaths::initTestCase() {
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

void TestGlobalPaths::cleanupTestCase() {
    velmor::SetPrompt(nullptr);
    qputenv("HOME", QFile::encodeName(oldHome_));
    QDir::setCurrent(oldCurrent_);
    G::SetProgramFolder(QString());
}

void TestGlobalPaths::commandLinePath_data() {
    QTest::addColumn<QByteArrayList>("arguments");
    QTest::addColumn<QByteArray>("path");
    QTest::newRow("plain") << QByteArrayList{"/d/in.csv"} << QByteArray("/d/in.csv");
    QTest::newRow("quoted with blanks") << QByteArrayList{"\"/d/my data/in.csv\""}
                                        << QByteArray("/d/my data/in.csv");
    QTest::newRow("split at a blank") << QByteArrayList{"/d/my", "data.csv"}
                                      << QByteArray("/d/my data.csv");
    QTest::newRow("not UTF-8") << QByteArrayList{"/d/caf\xe9 \xff\xfe.dat"}
                               << QByteArray("/d/caf\xe9 \xff\xfe.dat");
    QTest::newRow("UTF-8 and a stray byte")
        << QByteArrayList{"/d/\xc3\xa9\xf0\x9f\x98\x80\xe9"}
        << QByteArray("/d/\xc3\xa9\xf0\x9f\x98\x80\xe9");
    QTest::newRow("home folder") << QByteArrayList{"~/data files/in.csv"}
                                 << QFile::encodeName(dir_.filePath("home/data files/in.csv"));
}

void TestGlobalPaths::commandLinePath() {
    QFETCH(QByteArrayList, arguments);
    QByteArray program("velmor_dravik");
    std::vector<char*> argv{program.data()};
    for (QByteArray& a : arguments) argv.push_back(a.data());
    const QString path = G::CommandLinePath(static_cast<int>(argv.size()), argv.data());
    QTEST(QByteArray::fromStdString(velmor::PathBytes(path)), "path");
}

void TestGlobalPaths::expandAppPath_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("expanded");
    QTest::newRow("alone") << "$APPPATH"
                           << "/opt/velmor dravik";
    QTest::newRow("lower case with folder") << "$apppath/index"
                                            << "/opt/velmor dravik/index";
    QTest::newRow("mixed case inside") << "x$AppPath/y"
                                       << "x/opt/velmor dravik/y";
    QTest::newRow("first only") << "$APPPATH:$APPPATH"
                                << "/opt/velmor dravik:$APPPATH";
    QTest::newRow("letters after it") << "/data/$APPPATHX"
                                      << "/data//opt/velmor dravikX";
    QTest::newRow("without placeholder") << "/data/in"
                                         << "/data/in";
    QTest::newRow("incomplete") << "$APPPAT"
                                << "$APPPAT";
    QTest::newRow("empty") << ""
                           << "";
}

void TestGlobalPaths::expandAppPath() {
    QFETCH(QString, text);
    QTEST(G::ExpandAppPath(text), "expanded");
}

void TestGlobalPaths::expandShortPath_data() {
    QTest::addColumn<QString>("path");
    QTest::addColumn<QString>("relativeResult");  // below the temporary folder; "" = empty
    QTest::newRow("home") << "~/data files/in.csv"
                          << "home/data files/in.csv";
    QTest::newRow("home folder") << "~"
                                 << "home";
    QTest::newRow("doubled separators") << "~//data files/./in.csv"
                                        << "home/data files/./in.csv";
    QTest::newRow("missing file") << "~/data files/out.csv"
                                  << "";
    QTest::newRow("missing folder") << "~/nothing/in.csv"
                                    << "";
    QTest::newRow("relative with tilde in the name") << "a~1.dat"
                                                     << "work/a~1.dat";
    QTest::newRow("relative") << "rel.dat"
                              << "work/rel.dat";
    QTest::newRow("unknown user is a plain name") << "~nosuchuser9z/x"
                                                  << "";
    QTest::newRow("empty") << ""
                           << "";
}

void TestGlobalPaths::expandShortPath() {
    QFETCH(QString, path);
    QFETCH(QString, relativeResult);
    const QString expected = relativeResult.isEmpty() ? QString() : dir_.filePath(relativeResult);
    QCOMPARE(G::ExpandShortPath(path), expected);
}

void TestGlobalPaths::runCommandLine_data() {
    QTest::addColumn<QString>("commandLine");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("plain") << "prog a b"
                           << "prog" << QStringList({"a", "b"});
    QTest::newRow("quoted") << "\"/opt/my prog\" \"/d/in file.csv\" -x"
                            << "/opt/my prog" << QStringList({"/d/in file.csv", "-x"});
    QTest::newRow("alone") << "  prog  "
                           << "prog" << QStringList();
}

void TestGlobalPaths::runCommandLine() {
    QFETCH(QString, commandLine);
    prompt_.Clear();
    QVERIFY(G::RunCommandLine(commandLine));
    QCOMPARE(prompt_.Questions().size(), std::size_t(1));
    QCOMPARE(prompt_.Questions()[0].kind, ScriptedUserPrompt::Asked::Kind::Process);
    QTEST(prompt_.Questions()[0].text, "program");
    QTEST(prompt_.Questions()[0].arguments, "arguments");
}

void TestGlobalPaths::runCommandLineReportsFailure() {
    prompt_.Clear();
    QVERIFY(!G::RunCommandLine("   "));
    QVERIFY(prompt_.Questions().empty());
    prompt_.SetLaunchResult(false);
    QVERIFY(!G::RunCommandLine("missing-program"));
    prompt_.SetLaunchResult(true);
}

namespace {

void Fill(QListWidget& list) {
    int data = 10;
    for (const char* text : {" alpha ", "Beta", "beta", "Gamma"}) {
        auto* item = new QListWidgetItem(QString::fromLatin1(text), &list);
        item->setData(Qt::UserRole, data++);
    }
}

void Fill(QComboBox& combo) {
    int data = 10;
    for (const char* text : {" alpha ", "Beta", "beta", "Gamma"}) {
        combo.addItem(QString::fromLatin1(text), data++);
    }
}

int SelectedRow(const QListWidget& list) {
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.size() == 1 ? list.row(selected.front())
                                : -static_cast<int>(selected.size()) - 1;
}

}  // namespace

void TestGlobalPaths::selectListItemInList_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("byItemData");
    QTest::addColumn<int>("row");
    QTest::newRow("trimmed and case-blind") << "ALPHA" << false << 0;
    QTest::newRow("first of equal texts") << " beta  " << false << 1;
    QTest::newRow("no match clears") << "Delta" << false << -1;
    QTest::newRow("item data") << "12" << true << 2;
    QTest::newRow("item data with blanks") << " 13 " << true << 3;
    QTest::newRow("item data ignores text") << "Gamma" << true << -1;
}

void TestGlobalPaths::selectListItemInList() {
    QFETCH(QString, text);
    QFETCH(bool, byItemData);
    QFETCH(int, row);
    QListWidget list;
    Fill(list);
    list.setCurrentRow(3);
    G::SelectListItem(&list, text, byItemData);
    QCOMPARE(SelectedRow(list), row);
    QCOMPARE(list.currentRow(), row);
}

void TestGlobalPaths::selectListItemInCombo() {
    QComboBox combo;
    Fill(combo);
    G::SelectListItem(&combo, "gamma", false);
    QCOMPARE(combo.currentIndex(), 3);
    G::SelectListItem(&combo, "11", true);
    QCOMPARE(combo.currentIndex(), 1);
    G::SelectListItem(&combo, "nothing", false);
    QCOMPARE(combo.currentIndex(), -1);
}

void TestGlobalPaths::setListIndexOnList_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("result");
    QTest::newRow("first") << 0 << 0;
    QTest::newRow("last") << 3 << 3;
    QTest::newRow("clear") << -1 << -1;
    QTest::newRow("beyond the end clears") << 4 << -1;
    QTest::newRow("far below clears") << -7 << -1;
}

void TestGlobalPaths::setListIndexOnList() {
    QFETCH(int, index);
    QFETCH(int, result);
    QListWidget list;
    Fill(list);
    list.setCurrentRow(1);
    QSignalSpy changed(&list, &QListWidget::itemSelectionChanged);
    QSignalSpy rowChanged(&list, &QListWidget::currentRowChanged);
    QSignalSpy clicked(&list, &QListWidget::itemClicked);
    QCOMPARE(G::SetListIndex(&list, index), result);
    QCOMPARE(SelectedRow(list), result);
    QCOMPARE(changed.count() + rowChanged.count() + clicked.count(), 0);
}

void TestGlobalPaths::setListIndexOnCombo_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("result");
    QTest::newRow("second") << 1 << 1;
    QTest::newRow("clear") << -1 << -1;
    QTest::newRow("beyond the end clears") << 9 << -1;
}

void TestGlobalPaths::setListIndexOnCombo() {
    QFETCH(int, index);
    QFETCH(int, result);
    QComboBox combo;
    Fill(combo);
    combo.setCurrentIndex(2);
    QSignalSpy activated(&combo, &QComboBox::activated);
    QSignalSpy indexChanged(&combo, &QComboBox::currentIndexChanged);
    QSignalSpy textChanged(&combo, &QComboBox::currentTextChanged);
    QCOMPARE(G::SetListIndex(&combo, index), result);
    QCOMPARE(combo.currentIndex(), result);
    QCOMPARE(activated.count() + indexChanged.count() + textChanged.count(), 0);
}

void TestGlobalPaths::setListIndexRefusesOtherControls() {
    prompt_.Clear();
    QLineEdit edit;
    QCOMPARE(G::SetListIndex(&edit, 2), 0);
    QCOMPARE(G::SetListIndex(nullptr, 2), 0);
    QCOMPARE(prompt_.Questions().size(), std::size_t(2));
    const auto& asked = prompt_.Questions()[0];
    QCOMPARE(asked.kind, ScriptedUserPrompt::Asked::Kind::Message);
    QCOMPARE(asked.text, QString("SetListIndex function does not work with the supplied control."));
    QCOMPARE(asked.title, QString());
    QCOMPARE(asked.buttons, UserPrompt::Buttons::Ok);
    QCOMPARE(asked.icon, UserPrompt::Icon::Information);
}

QTEST_MAIN(TestGlobalPaths)
#include "tst_global_paths.moc"
