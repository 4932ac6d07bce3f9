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
        const QStringList orders{"ID:1:5", "CUSTOMER NAME:6:30"};
        QTest::newRow("standard pads to the longest name + 1")
            << orders << LayoutType::Standard << Casing::None
            << QByteArray("ID            1-5\r\nCUSTOMER NAME 6-35\r\n");
        QTest::newRow("proper casing") << orders << LayoutType::Standard << Casing::Proper
                                       << QByteArray("Id            1-5\r\nCustomer Name 6-35\r\n");
        QTest::newRow("format file") << orders << LayoutType::FormatFile << Casing::None
                                     << QByteArray("ID, 5\r\nCUSTOMER NAME, 30\r\n");
        QTest::newRow("type statement, no final line end")
            << orders << LayoutType::TypeStatement << Casing::Lower
            << QByteArray(
                   "Type orders\r\n  id AS STRING * 5\r\n  customer name AS STRING * 30\r\nEnd "
                   "Type");
        QTest::newRow("only spaces separate words")
            << QStringList{"CUST_NAME:1:2", "a b:3:1"} << LayoutType::FormatFile << Casing::Proper
            << QByteArray("Cust_name, 2\r\nA B, 1\r\n");
        // The width counts the stored blanks; the name shown is trimmed.
        QTest::newRow("blanks count in the width, not in the name")
            << QStringList{"  ab  :1:1", "C:2:1"} << LayoutType::Standard << Casing::Upper
            << QByteArray("AB     1-1\r\nC      2-2\r\n");
        QTest::newRow("UTF-8 names pad by characters")
            << QStringList{"naïve:1:1", "x:2:1"} << LayoutType::Standard << Casing::None
            << QByteArray("na\xC3\xAFve 1-1\r\nx     2-2\r\n");
        QTest::newRow("UTF-8 letters cased")
            << QStringList{"cÓdigo éa:1:1"} << LayoutType::FormatFile << Casing::Proper
            << QByteArray(
                   "C\xC3\xB3"
                   "digo \xC3\x89"
                   "a, 1\r\n");
        QTest::newRow("Windows-1252 letters cased") << QStringList{QString::fromLatin1("~c\xD3"
                                                                                       "digo \xE9"
                                                                                       "a:1:1")}
                                                    << LayoutType::FormatFile << Casing::Upper
                                                    << QByteArray(
                                                           "C\xD3"
                                                           "DIGO \xC9"
                                                           "A, 1\r\n");
        const QStringList typed{"NAME:1:6", "BALANCE:7:4:PIC S9(5)V99 COMP-3", "RATE:11:8:COMP-2"};
        QTest::newRow("standard with types and pictures")
            << typed << LayoutType::Standard << Casing::None
            << QByteArray(
                   "NAME    1-6\r\nBALANCE 7-10  packed PIC S9(5)V99 COMP-3\r\n"
                   "RATE    11-18  float COMP-2\r\n");
        QTest::newRow("type statement with types")
            << typed << LayoutType::TypeStatement << Casing::None
            << QByteArray(
                   "Type orders\r\n  NAME AS STRING * 6\r\n  BALANCE AS STRING * 4 ' packed PIC "
                   "S9(5)V99 COMP-3\r\n  RATE AS STRING * 8 ' float COMP-2\r\nEnd Type");
        QTest::newRow("format file keeps to names and lengths")
            << typed << LayoutType::FormatFile << Casing::None
            << QByteArray("NAME, 6\r\nBALANCE, 4\r\nRATE, 8\r\n");
        QTest::newRow("no fields: standard")
            << QStringList{} << LayoutType::Standard << Casing::None << QByteArray("");
        QTest::newRow("no fields: format")
            << QStringList{} << LayoutType::FormatFile << Casing::None << QByteArray("");
        QTest::newRow("no fields: type") << QStringList{} << LayoutType::TypeStatement
                                         << Casing::None << QByteArray("Type orders\r\nEnd Type");
    }

    void texts() {
        QFETCH(QStringList, names);
        QFETCH(LayoutType, type);
        QFETCH(Casing, casing);
        QFETCH(QByteArray, expected);
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
        const std::string text = datatools::DrawLayout(fields, "orders", type, casing);
        QCOMPARE(QByteArray::fromStdString(text), expected);
    }

    void proposedName_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<LayoutType>("type");
        QTest::addColumn<QString>("expected");
        QTest::newRow("standard") << "orders"
                                  << "dat" << LayoutType::Standard << "orders.lay";
        QTest::newRow("type") << "orders"
                              << "dat" << LayoutType::TypeStatement << "orders.typ";
        QTest::newRow("format") << "orders"
                                << "dat" << LayoutType::FormatFile << "orders.fmt";
        QTest::newRow("none") << "orders"
                              << "dat" << LayoutType::None << "orders.txt";
        QTest::newRow("the data file's own name")
            << "orders"
            << "FMT" << LayoutType::FormatFile << "orders.fmt.txt";
    }

    void proposedName() {
        QFETCH(QString, name);
        QFETCH(QString, extension);
        QFETCH(LayoutType, type);
        QFETCH(QString, expected);
        QCOMPARE(QString::fromStdString(datatools::ProposedSaveName(name.toStdString(),
                                                                    extension.toStdString(), type)),
                 expected);
    }

    void sameFile() {
        QTemporaryDir dir;
        const std::string data = dir.filePath("orders.dat").toStdString();
        const std::string other = dir.filePath("orders.lay").toStdString();
        QFile f(QString::fromStdString(data));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("x");
        f.close();
        const std::string symlink = dir.filePath("alias.dat").toStdString();
        const std::string hardlink = dir.filePath("hard.dat").toStdString();
        QCOMPARE(::symlink(data.c_str(), symlink.c_str()), 0);
        QCOMPARE(::link(data.c_str(), hardlink.c_str()), 0);
        QVERIFY(datatools::SameFileAs(dir.filePath("ORDERS.DAT").toStdString(), data));
        QVERIFY(datatools::SameFileAs(symlink, data));
        QVERIFY(datatools::SameFileAs(hardlink, data));
        QVERIFY(!datatools::SameFileAs(other, data));
    }
};

QTEST_GUILESS_MAIN(DatatoolsLayoutTest)
#include "tst_datatools_layout.moc"
