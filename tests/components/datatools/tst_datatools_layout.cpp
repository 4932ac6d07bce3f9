// The layout converter's texts, the names it proposes and the files it
// refuses to save over.
#include <unistd.h>

#include <QTemporaryDir>
#include <QtTest>

#include "copybook/copybook.h"
#include "data/fields.h"
#include "datatools/layoutreport.h"

using namespace velmor;
using datatools::Casing;
using datatools::LayoutType;

Q_DECLARE_METATYPE(LayoutType)
Q_DECLARE_METATYPE(Casing)

class DatatoolsLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void texts_data() {
        QTest::addColumn<QStringList>("names");  // name:start:length[:picture and usage]
        QTest::addColumn<LayoutType>("type");
        QTest::addColumn<Casing>("casing");
        QTest::addColumn<QByteArray>("expected");
        auto row = [](const char* name, const QStringList& names, LayoutType type, Casing casing,
                      const QByteArray& expected) {
            QTest::newRow(name) << names << type << casing << expected;
        };
        using enum LayoutType;
        const QStringList orders{"ID:1:5", "CUSTOMER NAME:6:30"};
        row("standard pads to the longest name + 1", orders, Standard, Casing::None,
            "ID            1-5\r\nCUSTOMER NAME 6-35\r\n");
        row("proper casing", orders, Standard, Casing::Proper,
            "Id            1-5\r\nCustomer Name 6-35\r\n");
        row("format file", orders, FormatFile, Casing::None, "ID, 5\r\nCUSTOMER NAME, 30\r\n");
        row("type statement, no final line end", orders, TypeStatement, Casing::Lower,
            "Type orders\r\n  id AS STRING * 5\r\n  customer name AS STRING * 30\r\nEnd Type");
        row("only spaces separate words", {"CUST_NAME:1:2", "a b:3:1"}, FormatFile, Casing::Proper,
            "Cust_name, 2\r\nA B, 1\r\n");
        // The width counts the stored blanks; the name shown is trimmed.
        row("blanks count in the width, not in the name", {"  ab  :1:1", "C:2:1"}, Standard,
            Casing::Upper, "AB     1-1\r\nC      2-2\r\n");
        row("UTF-8 names pad by characters", {"na\u00EFve:1:1", "x:2:1"}, Standard, Casing::None,
            "na\xC3\xAFve 1-1\r\nx     2-2\r\n");
        row("UTF-8 letters cased", {"c\u00D3digo \u00E9a:1:1"}, FormatFile, Casing::Proper,
            "C\xC3\xB3"
            "digo \xC3\x89"
            "a, 1\r\n");
        row("Windows-1252 letters cased", {"~c\u00D3digo \u00E9a:1:1"}, FormatFile, Casing::Upper,
            "C\xD3"
            "DIGO \xC9"
            "A, 1\r\n");
        const QStringList typed{"NAME:1:6", "BALANCE:7:4:PIC S9(5)V99 COMP-3", "RATE:11:8:COMP-2"};
        row("standard with types and pictures", typed, Standard, Casing::None,
            "NAME    1-6\r\nBALANCE 7-10  packed PIC S9(5)V99 COMP-3\r\n"
            "RATE    11-18  float COMP-2\r\n");
        row("type statement with types", typed, TypeStatement, Casing::None,
            "Type orders\r\n  NAME AS STRING * 6\r\n  BALANCE AS STRING * 4 ' packed PIC "
            "S9(5)V99 COMP-3\r\n  RATE AS STRING * 8 ' float COMP-2\r\nEnd Type");
        row("format file keeps to names and lengths", typed, FormatFile, Casing::None,
            "NAME, 6\r\nBALANCE, 4\r\nRATE, 8\r\n");
        row("no fields: standard", {}, Standard, Casing::None, "");
        row("no fields: type", {}, TypeStatement, Casing::None, "Type orders\r\nEnd Type");
    }

    void texts() {
        QFETCH(QStringList, names);
        QFETCH(LayoutType, type);
        QFETCH(Casing, casing);
        data::Fields fields;
        for (const QString& n : names) {
            const QStringList parts = n.split(':');
            // "~" marks a name given in Windows-1252 bytes.
            const std::string name = parts[0].startsWith('~')
                                         ? parts[0].mid(1).toLatin1().toStdString()
                                         : parts[0].toStdString();
            data::Field& f = fields.Add(name, parts[2].toLongLong(), {}, parts[1].toLongLong());
            copybook::FieldFormat format;
            std::string error;
            if (parts.size() > 3) {
                QVERIFY(copybook::FormatFromClauses(parts[3].toStdString(), format, error));
                f.SetFormat(format);
            }
        }
        QTEST(QByteArray::fromStdString(datatools::DrawLayout(fields, "orders", type, casing)),
              "expected");
    }

    void proposedName() {
        using enum LayoutType;
        const std::tuple<const char*, LayoutType, const char*> cases[] = {
            {"dat", Standard, "orders.lay"},   {"dat", TypeStatement, "orders.typ"},
            {"dat", FormatFile, "orders.fmt"}, {"dat", None, "orders.txt"},
            {"FMT", FormatFile, "orders.fmt.txt"},  // never the data file's own name
        };
        for (const auto& [extension, type, expected] : cases)
            QCOMPARE(datatools::ProposedSaveName("orders", extension, type), std::string(expected));
    }

    void sameFile() {
        QTemporaryDir dir;
        const std::string data = dir.filePath("orders.dat").toStdString();
        const std::string symlink = dir.filePath("alias.dat").toStdString();
        const std::string hardlink = dir.filePath("hard.dat").toStdString();
        QFile f(QString::fromStdString(data));
        QVERIFY(f.open(QIODevice::WriteOnly) && f.write("x") == 1);
        f.close();
        QCOMPARE(::symlink(data.c_str(), symlink.c_str()), 0);
        QCOMPARE(::link(data.c_str(), hardlink.c_str()), 0);
        for (const std::string& same : {dir.filePath("ORDERS.DAT").toStdString(), symlink, hardlink})
            QVERIFY2(datatools::SameFileAs(same, data), same.c_str());
        QVERIFY(!datatools::SameFileAs(dir.filePath("orders.lay").toStdString(), data));
    }
};

QTEST_GUILESS_MAIN(DatatoolsLayoutTest)
#include "tst_datatools_layout.moc"
