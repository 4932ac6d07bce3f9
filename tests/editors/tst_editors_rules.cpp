// Arithmetic of the connection wizard and the field editor, without widgets.
#include <QtTest>

#include "editors/connectionrules.h"
#include "editors/fieldimport.h"
#include "editors/fieldrules.h"

using namespace velmor::editors;
using velmor::data::FilePos;

class EditorsRulesTest : public QObject {
    Q_OBJECT
private slots:
    void estimatedCount_data();
    void estimatedCount();
    void recordLengthStepsStopAtOne_data();
    void recordLengthStepsStopAtOne();
    void headerSplitAtSpaces_data();
    void headerSplitAtSpaces();
    void defaultNamesSkipTakenOnes_data();
    void defaultNamesSkipTakenOnes();
    void splitHalves_data();
    void splitHalves();
    void importSpotsCreatedFile_data();
    void importSpotsCreatedFile();
};

void EditorsRulesTest::estimatedCount_data() {
    QTest::addColumn<qint64>("fileLength");
    QTest::addColumn<qint64>("byteOffset");
    QTest::addColumn<qint64>("recordLength");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("exact thirds round down")
        << qint64(1000) << qint64(0) << qint64(300) << qint64(3);
    QTest::newRow("half rounds to even 4") << qint64(1050) << qint64(0) << qint64(300) << qint64(4);
    QTest::newRow("3.83 rounds up") << qint64(1150) << qint64(0) << qint64(300) << qint64(4);
    QTest::newRow("half rounds to even 2") << qint64(250) << qint64(0) << qint64(100) << qint64(2);
    QTest::newRow("offset is not counted")
        << qint64(1000) << qint64(100) << qint64(300) << qint64(3);
    QTest::newRow("zero length never divides")
        << qint64(1000) << qint64(0) << qint64(0) << qint64(1);
    QTest::newRow("negative length never divides")
        << qint64(1000) << qint64(0) << qint64(-7) << qint64(1);
    QTest::newRow("offset past the end") << qint64(10) << qint64(50) << qint64(3) << qint64(0);
    QTest::newRow("huge negative offset")
        << qint64(10) << std::numeric_limits<qint64>::min() << qint64(1LL << 62) << qint64(2);
}

void EditorsRulesTest::estimatedCount() {
    QFETCH(qint64, fileLength);
    QFETCH(qint64, byteOffset);
    QFETCH(qint64, recordLength);
    QFETCH(qint64, expected);
    QCOMPARE(EstimatedRecordCount(fileLength, byteOffset, recordLength), expected);
}

void EditorsRulesTest::recordLengthStepsStopAtOne_data() {
    QTest::addColumn<qint64>("current");
    QTest::addColumn<int>("step");
    QTest::addColumn<qint64>("expected");
    QTest::newRow("up") << qint64(80) << 1 << qint64(81);
    QTest::newRow("down") << qint64(80) << -1 << qint64(79);
    QTest::newRow("down from 1 stays") << qint64(1) << -1 << qint64(1);
    QTest::newRow("down from 0 goes to 1") << qint64(0) << -1 << qint64(1);
    QTest::newRow("up from negative goes to 1") << qint64(-5) << 1 << qint64(1);
    QTest::newRow("up from the largest box number stays")
        << std::numeric_limits<qint64>::max() << 1 << qint64(1LL << 48);
    QTest::newRow("down from a negative extreme goes to 1")
        << std::numeric_limits<qint64>::min() << -1 << qint64(1);
}

void EditorsRulesTest::recordLengthStepsStopAtOne() {
    QFETCH(qint64, current);
    QFETCH(int, step);
    QFETCH(qint64, expected);
    QCOMPARE(StepRecordLength(current, step), expected);
}

void EditorsRulesTest::headerSplitAtSpaces_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QList<qint64>>("starts");
    QTest::addColumn<QList<qint64>>("lengths");
    QTest::newRow("13 characters, one then two spaces")
        << QByteArray("ID NAME  CITY") << QStringList{"ID", "NAME", "CITY"}
        << QList<qint64>{1, 4, 10} << QList<qint64>{3, 6, 5};
    QTest::newRow("no space: one field one past the text")
        << QByteArray("HEADER") << QStringList{"HEADER"} << QList<qint64>{1} << QList<qint64>{7};
    QTest::newRow("leading spaces belong to the first field")
        << QByteArray("  AB CD") << QStringList{"AB", "CD"} << QList<qint64>{1, 6}
        << QList<qint64>{5, 3};
    QTest::newRow("a lone word after spaces still covers its word")
        << QByteArray("   AB") << QStringList{"AB"} << QList<qint64>{1} << QList<qint64>{6};
    QTest::newRow("trailing spaces go to the last field")
        << QByteArray("AB CD  ") << QStringList{"AB", "CD"} << QList<qint64>{1, 4}
        << QList<qint64>{3, 5};
    QTest::newRow("empty record") << QByteArray() << QStringList{} << QList<qint64>{}
                                  << QList<qint64>{};
    QTest::newRow("only spaces") << QByteArray("    ") << QStringList{} << QList<qint64>{}
                                 << QList<qint64>{};
}

void EditorsRulesTest::headerSplitAtSpaces() {
    QFETCH(QByteArray, text);
    QFETCH(QStringList, names);
    QFETCH(QList<qint64>, starts);
    QFETCH(QList<qint64>, lengths);
    const auto fields = DeriveFieldsFromSpaces(std::string_view(text.constData(), text.size()));
    QCOMPARE(qsizetype(fields.size()), names.size());
    for (qsizetype i = 0; i < names.size(); ++i) {
        const auto& field = fields[static_cast<std::size_t>(i)];
        QCOMPARE(QString::fromStdString(field.name), names[i]);
        QCOMPARE(qint64(field.start), starts[i]);
        QCOMPARE(qint64(field.length), lengths[i]);
    }
}

void EditorsRulesTest::defaultNamesSkipTakenOnes_data() {
    QTest::addColumn<int>("index");
    QTest::addColumn<QStringList>("taken");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << 2 << QStringList{"NAME"} << "Field2";
    QTest::newRow("taken, next free") << 2 << QStringList{"Field2"} << "Field3";
    QTest::newRow("case-blind") << 2 << QStringList{"FIELD2", "field3"} << "Field4";
}

void EditorsRulesTest::defaultNamesSkipTakenOnes() {
    QFETCH(int, index);
    QFETCH(QStringList, taken);
    QFETCH(QString, expected);
    const auto exists = [&taken](std::string_view name) {
        return taken.contains(QString::fromLatin1(name.data(), qsizetype(name.size())),
                              Qt::CaseInsensitive);
    };
    QCOMPARE(QString::fromStdString(DefaultFieldName(index, exists)), expected);
}

void EditorsRulesTest::splitHalves_data() {
    QTest::addColumn<qint64>("length");
    QTest::addColumn<qint64>("first");
    QTest::newRow("2") << qint64(2) << qint64(1);
    QTest::newRow("3") << qint64(3) << qint64(2);
    QTest::newRow("5") << qint64(5) << qint64(2);
    QTest::newRow("7") << qint64(7) << qint64(4);
    QTest::newRow("9") << qint64(9) << qint64(4);
    QTest::newRow("10") << qint64(10) << qint64(5);
}

void EditorsRulesTest::splitHalves() {
    QFETCH(qint64, length);
    QFETCH(qint64, first);
    const auto halves = SplitHalves(length);
    QCOMPARE(qint64(halves.first), first);
    QCOMPARE(qint64(halves.first + halves.second), length);
}

void EditorsRulesTest::importSpotsCreatedFile_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("variable");
    QTest::newRow("plain") << R"(Set f = CreateObject("Velmor_Data.File"))"
                           << "f";
    QTest::newRow("no blanks") << R"(Set layout=CreateObject("Velmor_Data.File"))"
                               << "layout";
    QTest::newRow("other case is no match") << R"(Set f = CreateObject("velmor_data.file"))"
                                            << "";
    QTest::newRow("converter") << R"(Set c = CreateObject("Velmor_Data.Converter"))"
                               << "";
    QTest::newRow("no assignment") << R"(Call CreateObject("Velmor_Data.File"))"
                                   << "";
    QTest::newRow("equals too early") << R"(a=CreateObject("Velmor_Data.File"))"
                                      << "";
}

void EditorsRulesTest::importSpotsCreatedFile() {
    QFETCH(QString, line);
    QFETCH(QString, variable);
    QCOMPARE(QString::fromStdString(FieldImport::CreatedFileVariable(line.toStdString())),
             variable);
}

QTEST_GUILESS_MAIN(EditorsRulesTest)
#include "tst_editors_rules.moc"
