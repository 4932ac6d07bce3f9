#include <QPrinter>
#include <QtTest>

#include "app/userprompt.h"

using velmor::ScriptedUserPrompt;
using velmor::UserPrompt;
using Kind = ScriptedUserPrompt::Asked::Kind;

class TestGlobalPrompt : public QObject {
    Q_OBJECT

private slots:
    void messageRecordsEverything();
    void neutralAnswers_data();
    void neutralAnswers();
    void inputAnswers();
    void fileDialogs();
    void wrongKindStaysQueued();
    void launches();
    void installedPromptIsUsed();
    void qtNameFilters_data();
    void qtNameFilters();
};

void TestGlobalPrompt::messageRecordsEverything() {
    ScriptedUserPrompt prompt;
    prompt.QueueAnswer(UserPrompt::Answer::Yes);
    const auto answer = prompt.Message("Save changes?", "Question", UserPrompt::Buttons::YesNo,
                                       UserPrompt::Icon::Question);
    QCOMPARE(answer, UserPrompt::Answer::Yes);
    QCOMPARE(prompt.Questions().size(), std::size_t(1));
    const auto& asked = prompt.Questions().front();
    QCOMPARE(asked.kind, Kind::Message);
    QCOMPARE(asked.text, QString("Save changes?"));
    QCOMPARE(asked.title, QString("Question"));
    QCOMPARE(asked.buttons, UserPrompt::Buttons::YesNo);
    QCOMPARE(asked.icon, UserPrompt::Icon::Question);
    QVERIFY(asked.answered);
    QCOMPARE(prompt.PendingAnswers(), 0);
}

void TestGlobalPrompt::neutralAnswers_data() {
    QTest::addColumn<UserPrompt::Buttons>("buttons");
    QTest::addColumn<UserPrompt::Answer>("answer");
    QTest::newRow("ok") << UserPrompt::Buttons::Ok << UserPrompt::Answer::Ok;
    QTest::newRow("ok cancel") << UserPrompt::Buttons::OkCancel << UserPrompt::Answer::Cancel;
    QTest::newRow("yes no") << UserPrompt::Buttons::YesNo << UserPrompt::Answer::No;
    QTest::newRow("yes no cancel")
        << UserPrompt::Buttons::YesNoCancel << UserPrompt::Answer::Cancel;
    QTest::newRow("retry cancel") << UserPrompt::Buttons::RetryCancel << UserPrompt::Answer::Cancel;
}

void TestGlobalPrompt::neutralAnswers() {
    QFETCH(UserPrompt::Buttons, buttons);
    ScriptedUserPrompt prompt;
    QTEST(prompt.Message("x", {}, buttons, UserPrompt::Icon::None), "answer");
    QVERIFY(!prompt.Questions().front().answered);
}

void TestGlobalPrompt::inputAnswers() {
    ScriptedUserPrompt prompt;
    prompt.QueueInput(QString("Orders"));
    prompt.QueueInput(QString());
    QCOMPARE(prompt.Input("Name?", "New", "def"), std::optional<QString>("Orders"));
    QCOMPARE(prompt.Input("Name?", {}, {}), std::optional<QString>(QString()));
    QCOMPARE(prompt.Input("Name?", {}, {}), std::nullopt);  // nothing queued: cancelled
    QCOMPARE(prompt.Questions().size(), std::size_t(3));
    QCOMPARE(prompt.Questions()[0].defaultText, QString("def"));
    QCOMPARE(prompt.Questions()[0].title, QString("New"));
    QVERIFY(!prompt.Questions()[2].answered);
}

void TestGlobalPrompt::fileDialogs() {
    ScriptedUserPrompt prompt;
    prompt.QueueFile("/tmp/a.csv");
    UserPrompt::FileRequest request{"Open", "/tmp", "CSV (*.csv)|*.csv", 1, {}};
    QCOMPARE(prompt.OpenFile(request), QString("/tmp/a.csv"));
    QCOMPARE(request.fileName, QString("/tmp/a.csv"));
    QCOMPARE(prompt.SaveFile(request), QString());
    const auto& open = prompt.Questions()[0];
    QCOMPARE(open.kind, Kind::OpenFile);
    QCOMPARE(open.filter, QString("CSV (*.csv)|*.csv"));
    QCOMPARE(open.defaultText, QString("/tmp"));
    QCOMPARE(open.filterIndex, 1);
    QCOMPARE(prompt.Questions()[1].kind, Kind::SaveFile);
    QVERIFY(!prompt.Questions()[1].answered);
}

void TestGlobalPrompt::wrongKindStaysQueued() {
    ScriptedUserPrompt prompt;
    prompt.QueueFile("/x");
    QCOMPARE(prompt.Message("m", {}, UserPrompt::Buttons::OkCancel, UserPrompt::Icon::None),
             UserPrompt::Answer::Cancel);
    QCOMPARE(prompt.PendingAnswers(), 1);
    QPrinter printer;
    prompt.Clear();
    prompt.QueuePrinter(true);
    QVERIFY(prompt.ChoosePrinter(printer));
    QVERIFY(!prompt.ChoosePrinter(printer));
}

void TestGlobalPrompt::launches() {
    ScriptedUserPrompt prompt;
    QVERIFY(prompt.StartProcess("prog", {"a b", "c"}));
    prompt.SetLaunchResult(false);
    QVERIFY(!prompt.OpenUrl("http://example.invalid"));
    QCOMPARE(prompt.Questions()[0].kind, Kind::Process);
    QCOMPARE(prompt.Questions()[0].arguments, QStringList({"a b", "c"}));
    QCOMPARE(prompt.Questions()[1].kind, Kind::Url);
    QCOMPARE(prompt.Questions()[1].text, QString("http://example.invalid"));
}

void TestGlobalPrompt::installedPromptIsUsed() {
    ScriptedUserPrompt prompt;
    velmor::SetPrompt(&prompt);
    QCOMPARE(&velmor::Prompt(), static_cast<UserPrompt*>(&prompt));
    velmor::SetPrompt(nullptr);
    QVERIFY(&velmor::Prompt() != static_cast<UserPrompt*>(&prompt));
}

void TestGlobalPrompt::qtNameFilters_data() {
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("qt");
    QTest::newRow("built-in pairs")
        << "All Files (*.*)|*.*|CSV (*.csv)|*.csv|Index Files (*.*index)|*.*index"
        << QStringList({"All Files (*)", "CSV (*.csv)", "Index Files (*.*index)"});
    QTest::newRow("several patterns") << "Text|*.txt;*.asc" << QStringList({"Text (*.txt *.asc)"});
    QTest::newRow("odd part dropped") << "A|*.a|B" << QStringList({"A (*.a)"});
    QTest::newRow("empty") << "" << QStringList();
}

void TestGlobalPrompt::qtNameFilters() {
    QFETCH(QString, filter);
    QTEST(velmor::QtNameFilters(filter), "qt");
}

QTEST_MAIN(TestGlobalPrompt)
#include "tst_global_prompt.moc"
