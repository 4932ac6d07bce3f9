#include <QtTest>

#include "data/fields.h"

using namespace velmor::data;

namespace {

// "NAME:start-end" for every field, in index order.
QString Layout(const Fields& fields) {
    QStringList parts;
    for (int i = 1; i <= fields.Count(); ++i) {
        const Field* f = fields.Item(i);
        if (f->EndingPosition() != f->StartingPosition() + f->Length() - 1 || f->Index() != i)
            parts << QStringLiteral("inconsistent");
        parts << QStringLiteral("%1:%2-%3")
                     .arg(QString::fromStdString(f->Name()))
                     .arg(f->StartingPosition())
                     .arg(f->EndingPosition());
    }
    return parts.join(' ');
}

void AddAll(Fields& fields, const QList<QPair<QString, int>>& items) {
    for (auto& [name, length] : items) fields.Add(name.toStdString(), length);
}

}  // namespace

class TestEngineFields : public QObject {
    Q_OBJECT

private slots:
    void addPlacesAfterLast() {
        Fields fields;
        fields.Add("", 0);
        QCOMPARE(Layout(fields), QString(":1-0"));
        fields.Clear();
        AddAll(fields, {{"A", 8}});
        fields.Add("B", 3);
        QCOMPARE(Layout(fields), QString("A:1-8 B:9-11"));
        fields.Add("C", 2, "", 20);
        QCOMPARE(Layout(fields), QString("A:1-8 B:9-11 C:20-21"));
        // Start, end and length stay consistent whichever is set.
        Field& f = *fields.Item(3);
        f.SetStartingPosition(5);
        QCOMPARE(f.EndingPosition(), 6);
        f.SetEndingPosition(12);
        QCOMPARE(f.Length(), 8);
        f.SetLength(3);
        QCOMPARE(Layout(fields), QString("A:1-8 B:9-11 C:5-7"));
    }

    void itemByIndexAndName() {
        Fields fields;
        AddAll(fields, {{"Name", 5}, {"City", 4}});
        QVERIFY(fields.Item(0) == nullptr);
        QVERIFY(fields.Item(3) == nullptr);
        QCOMPARE(fields.Item("CITY"), fields.Item(2));
        QCOMPARE(fields.IndexOf("name"), 1);
        QVERIFY(fields.Exists("nAmE"));
        QVERIFY(!fields.Exists("Zip"));
        QVERIFY(fields.Item("Zip") == nullptr);
        QCOMPARE(fields.Item(1)->Value(), std::string());  // no file behind the layout
    }

    void insertKeepsSplitHalvesTogether() {
        // The field editor's split: insert the first half before the field, then
        // shorten the field by the half's length.
        Fields fields;
        AddAll(fields, {{"A", 3}, {"CODE", 5}, {"Z", 2}});
        Field& half = fields.Insert(2, "CODEA", 2);
        Field* rest = fields.Item(3);
        rest->SetLength(rest->Length() - half.Length());
        rest->SetName("CODEB");
        fields.Sort();
        QCOMPARE(Layout(fields), QString("A:1-3 CODEA:4-5 CODEB:6-8 Z:9-10"));
        fields.Insert(99, "END", 1);
        QCOMPARE(Layout(fields), QString("A:1-3 CODEA:4-5 CODEB:6-8 Z:9-10 END:11-11"));
    }

    void deleteClosesTheGap_data() {
        QTest::addColumn<int>("deleted");
        QTest::addColumn<QString>("expected");
        QTest::newRow("first") << 1 << "B:1-3 C:4-7 D:10-10";
        QTest::newRow("middle") << 2 << "A:1-5 C:6-9 D:12-12";
        QTest::newRow("last") << 4 << "A:1-5 B:6-8 C:9-12";
    }

    void deleteClosesTheGap() {
        QFETCH(int, deleted);
        QFETCH(QString, expected);
        Fields fields;
        AddAll(fields, {{"A", 5}, {"B", 3}, {"C", 4}});
        fields.Add("D", 1, "", 15);  // a gap before D is kept
        // The field editor's delete: each following field shifts to its predecessor.
        for (int i = deleted; i < fields.Count(); ++i) fields.Item(i + 1)->ShiftTo(*fields.Item(i));
        QVERIFY(fields.Remove(deleted));
        QCOMPARE(Layout(fields), expected);
        QVERIFY(!fields.Remove(0));
        QVERIFY(!fields.Remove(fields.Count() + 1));
    }

    void sortAndLastField() {
        Fields fields;
        QCOMPARE(fields.LastField(), 0);
        fields.Add("C", 2, "", 20);
        fields.Add("A", 30, "", 1);
        fields.Add("B", 2, "", 5);
        QCOMPARE(fields.LastField(), 2);
        fields.Sort();
        QCOMPARE(Layout(fields), QString("A:1-30 B:5-6 C:20-21"));
        QCOMPARE(fields.LastField(), 1);
    }

    void copyFromAndHook() {
        Fields source, target;
        AddAll(source, {{"X", 2}, {"Y", 3}});
        int changes = 0;
        target.SetChangeHook([&] { ++changes; });
        target.Add("old", 1);
        target.CopyFrom(source);
        QCOMPARE(Layout(target), QString("X:1-2 Y:3-5"));
        QVERIFY(changes >= 2);
        int before = changes;
        target.Item(1)->SetName("X");  // unchanged value: no notification
        QCOMPARE(changes, before);
        target.Item(1)->SetName("Q");
        QCOMPARE(changes, before + 1);
        QCOMPARE(source.Item(1)->Name(), std::string("X"));
    }
};

QTEST_GUILESS_MAIN(TestEngineFields)
#include "tst_engine_fields.moc"
