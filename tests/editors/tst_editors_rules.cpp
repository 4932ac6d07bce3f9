// Arithmetic of the connection wizard and the field editor without widgets,
// and the representation composer: its table, the order in which picked
// characters are joined, and what it hands back to its caller.
#include <QLineEdit>
#include <QListWidget>
#include <QtTest>

#include "app/global.h"
#include "editors/connectionrules.h"
#include "editors/fieldimport.h"
#include "editors/fieldrules.h"
#include "editors/frmStringRepresentation.h"

using namespace velmor;
using namespace velmor::editors;

class EditorsRulesTest : public QObject {
    Q_OBJECT
private slots:
    void estimatedCount() {
        constexpr qint64 kMin = std::numeric_limits<qint64>::min();
        const qint64 rows[][4] = {{1000, 0, 300, 3},    // exact thirds round down
                                  {1050, 0, 300, 4},    // half rounds to even 4
                                  {1150, 0, 300, 4},    // 3.83 rounds up
                                  {250, 0, 100, 2},     // half rounds to even 2
                                  {1000, 100, 300, 3},  // the offset is not counted
                                  {1000, 0, 0, 1},
                                  {1000, 0, -7, 1},  // never divides
                                  {10, 50, 3, 0},    // offset past the end
                                  {10, kMin, qint64(1) << 62, 2}};
        for (const auto& r : rows) QCOMPARE(EstimatedRecordCount(r[0], r[1], r[2]), r[3]);
    }

    void recordLengthStepsStopAtOne() {
        constexpr qint64 kMax = std::numeric_limits<qint64>::max();
        constexpr qint64 kMin = std::numeric_limits<qint64>::min();
        const qint64 rows[][3] = {{80, 1, 81},  {80, -1, 79}, {1, -1, 1},
                                  {0, -1, 1},   {-5, 1, 1},   {kMax, 1, qint64(1) << 48},
                                  {kMin, -1, 1}};
        for (const auto& r : rows) QCOMPARE(StepRecordLength(r[0], int(r[1])), r[2]);
    }

    // "name start length" per field, as the wizard derives them from a
    // header of names separated by spaces.
    void headerSplitAtSpaces() {
        const char* const rows[][2] = {{"ID NAME  CITY", "ID 1 3,NAME 4 6,CITY 10 5"},
                                       {"HEADER", "HEADER 1 7"},  // one past the text
                                       {"  AB CD", "AB 1 5,CD 6 3"},
                                       {"   AB", "AB 1 6"},
                                       {"AB CD  ", "AB 1 3,CD 4 5"},
                                       {"", ""},
                                       {"    ", ""}};
        for (const auto& r : rows) {
            QStringList fields;
            for (const auto& f : DeriveFieldsFromSpaces(r[0]))
                fields << QString("%1 %2 %3")
                              .arg(QString::fromStdString(f.name))
                              .arg(f.start)
                              .arg(f.length);
            QCOMPARE(fields.join(','), QString(r[1]));
        }
    }

    void defaultNamesSkipTakenOnes() {
        const std::pair<QStringList, const char*> rows[] = {
            {{"NAME"}, "Field2"}, {{"Field2"}, "Field3"}, {{"FIELD2", "field3"}, "Field4"}};
        for (const auto& [taken, expected] : rows) {
            const auto exists = [&taken](std::string_view name) {
                return taken.contains(QString::fromLatin1(name.data(), qsizetype(name.size())),
                                      Qt::CaseInsensitive);
            };
            QCOMPARE(QString::fromStdString(DefaultFieldName(2, exists)), QString(expected));
        }
    }

    void splitHalves() {
        const qint64 rows[][2] = {{2, 1}, {3, 2}, {5, 2}, {7, 4}, {9, 4}, {10, 5}};
        for (const auto& r : rows) {
            const auto halves = SplitHalves(r[0]);
            QCOMPARE(qint64(halves.first), r[1]);
            QCOMPARE(qint64(halves.first + halves.second), r[0]);
        }
    }

    void importSpotsCreatedFile() {
        const char* const rows[][2] = {{R"(Set f = CreateObject("Velmor_Data.File"))", "f"},
                                       {R"(Set layout=CreateObject("Velmor_Data.File"))", "layout"},
                                       {R"(Set f = CreateObject("velmor_data.file"))", ""},
                                       {R"(Set c = CreateObject("Velmor_Data.Converter"))", ""},
                                       {R"(Call CreateObject("Velmor_Data.File"))", ""},
                                       {R"(a=CreateObject("Velmor_Data.File"))", ""}};
        for (const auto& r : rows)
            QCOMPARE(FieldImport::CreatedFileVariable(r[0]), std::string(r[1]));
    }

    // The composer's rows: hex, code, the Windows-1252 character (code 1
    // for those with none or none visible), and a name for the usual ones.
    void composerTableHasEveryCode() {
        const std::pair<int, QString> rows[] = {
            {0, QString("0\t0\t") + QChar(1) + "\tNull"},
            {10, QString("A\t10\t") + QChar(10) + "\tLine Feed"},
            {44, "2C\t44\t,\tComma"},
            {65, "41\t65\tA"},
            {255, QString("FF\t255\t") + QChar(0xFF)},
            {128, QString("80\t128\t") + QChar(0x20AC)},
            {159, QString("9F\t159\t") + QChar(0x0178)},
            {129, QString("81\t129\t") + QChar(1)}};
        frmStringRepresentation form;
        QCOMPARE(form.lstCharacters->count(), 256);
        for (const auto& [code, row] : rows) {
            QCOMPARE(form.lstCharacters->item(code)->text(), row);
            QCOMPARE(form.lstCharacters->item(code)->data(Qt::UserRole).toInt(), code);
        }
    }

    void composerJoinsPickedInAscendingOrder() {
        const struct {
            bool replace;
            const char* before;
            QList<int> picked;
            const char* after;
        } rows[] = {{false, "", {13, 10}, "CHR$(10) & CHR$(13)"},
                    {false, "CHR$(13)", {10}, "CHR$(13) & CHR$(10)"},
                    {false, "  CHR$(9)  ", {44}, "CHR$(9) & CHR$(44)"},  // trimmed
                    {false, "   ", {44}, "CHR$(44)"},                    // blanks only hold no term
                    {false, "", {255, 0}, "CHR$(0) & CHR$(255)"},
                    {false, "  CHR$(9) ", {}, "  CHR$(9) "},  // nothing picked keeps the text
                    {true, "CHR$(13)", {44, 34}, "CHR$(34) & CHR$(44)"},
                    {true, "CHR$(13) & CHR$(10)", {}, ""}};
        for (const auto& r : rows) {
            Global::StringRepresentation.clear();
            frmStringRepresentation form;
            form.txtStringRepresentation->setText(r.before);
            for (int code : r.picked) form.lstCharacters->item(code)->setSelected(true);
            r.replace ? form.cmdreplace_Click() : form.cmdAdd_Click();
            QCOMPARE(form.txtStringRepresentation->text(), QString(r.after));
            QCOMPARE(Global::StringRepresentation, QString(r.after));
            QVERIFY(form.lstCharacters->selectedItems().isEmpty());
            if (r.replace) continue;
            form.cmdAdd_Click();  // nothing picked any more: nothing added
            QCOMPARE(form.txtStringRepresentation->text(), QString(r.after));
        }
    }

    void composerTextGoesInAndComesBack() {
        Global::StringRepresentation = "CHR$(13) & CHR$(10)";
        frmStringRepresentation form;
        form.show();
        QCOMPARE(form.txtStringRepresentation->text(), QString("CHR$(13) & CHR$(10)"));
        form.txtStringRepresentation->setText("anything at all & more");
        form.cmddone_Click();
        QCOMPARE(Global::StringRepresentation, QString("anything at all & more"));
        QCOMPARE(form.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(EditorsRulesTest)
#include "tst_editors_rules.moc"
