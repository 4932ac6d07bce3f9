// The field-definition editor driven through its handlers on a real engine
// layout, with the user's answers scripted.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest>

#include "app/userprompt.h"
#include "editors/frmDKFields.h"
#include "editors_testhost.h"

using namespace velmor;
using velmor::editors::frmDKFields;

struct LayoutField {
    const char* name;
    qint64 start;
    qint64 length;
};

class EditorsFieldsTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void unnamedFieldsGetDefaultNames_data();
    void unnamedFieldsGetDefaultNames();
    void positionBoxesKeepEachOtherInStep();
    void positionBoxesReadLeadingNumber_data();
    void positionBoxesReadLeadingNumber();
    void addPlacesFieldAfterLast_data();
    void addPlacesFieldAfterLast();
    void takenNameIsAskedAgain();
    void namesKeepEveryCharacter();
    void renameToOwnNameChangesNothing();
    void cancelledAddLeavesUnnamedField();
    void insertPutsFieldBeforeSelected();
    void cancelledInsertKeepsRowsInStep();
    void splitHalvesField();
    void deleteRenumbersRows_data();
    void deleteRenumbersRows();
    void deleteOutsideLayoutIsRefused();
    void marginOptionsSwitchTopBar();
    void emptyLayoutKeepsTheButtonsInPlace();
    void importTakesScriptLayout_data();
    void importTakesScriptLayout();

private:
    void SetLayout(std::initializer_list<LayoutField> layout);
    QStringList Rows() const;
    static QString Script(const char* name);

    std::unique_ptr<EditorsTestHost> host_;
    std::unique_ptr<frmDKFields> form_;
    ScriptedUserPrompt prompt_;
};

void EditorsFieldsTest::init() {
    host_ = std::make_unique<EditorsTestHost>();
    form_ = std::make_unique<frmDKFields>(*host_);
    prompt_.Clear();
    SetPrompt(&prompt_);
}

void EditorsFieldsTest::cleanup() {
    SetPrompt(nullptr);
    form_.reset();
    host_.reset();
}

void EditorsFieldsTest::SetLayout(std::initializer_list<LayoutField> layout) {
    data::Fields& fields = host_->file.GetFields();
    fields.Clear();
    for (const LayoutField& field : layout) fields.Add(field.name, field.length, {}, field.start);
    form_->Form_Activate();
}

QStringList EditorsFieldsTest::Rows() const {
    QStringList rows;
    for (int row = 0; row < form_->lstfieldname->count(); ++row) {
        const QListWidgetItem* item = form_->lstfieldname->item(row);
        rows << item->text() + "=" + item->data(Qt::UserRole).toString();
    }
    return rows;
}

QString EditorsFieldsTest::Script(const char* name) {
    return QStringLiteral(VELMOR_TEST_DATA "/editors/") + QString::fromLatin1(name);
}

void EditorsFieldsTest::unnamedFieldsGetDefaultNames_data() {
    QTest::addColumn<QString>("third");
    QTest::addColumn<QString>("expected");
    QTest::newRow("free") << QString("CITY") << QString("Field2");
    QTest::newRow("Field2 taken") << QString("Field2") << QString("Field3");
}

void EditorsFieldsTest::unnamedFieldsGetDefaultNames() {
    QFETCH(QString, third);
    QFETCH(QString, expected);
    const QByteArray thirdName = third.toLatin1();
    SetLayout({{"CODE", 1, 5}, {"", 6, 3}, {thirdName.constData(), 9, 4}});
    QCOMPARE(Rows(), (QStringList{"CODE=1", expected + "=2", third + "=3"}));
    QCOMPARE(QString::fromStdString(host_->file.GetFields().Item(2)->Name()), expected);
    QCOMPARE(form_->lstfieldname->currentRow(), 0);
    QVERIFY(!form_->freFieldProperties->isHidden());
    QCOMPARE(form_->txtEndingPosition->text(), QString("5"));
}

void EditorsFieldsTest::positionBoxesKeepEachOtherInStep() {
    SetLayout({{"CODE", 1, 3}});
    form_->txtstartingposition->setText("5");
    form_->txtlength->setText("4");
    QCOMPARE(form_->txtEndingPosition->text(), QString("8"));
    const data::Field* field = host_->file.GetFields().Item(1);
    QCOMPARE(qint64(field->StartingPosition()), qint64(5));
    QCOMPARE(qint64(field->Length()), qint64(4));
    form_->txtEndingPosition->setText("12");
    QCOMPARE(form_->txtlength->text(), QString("8"));
    QCOMPARE(qint64(field->Length()), qint64(8));
    QCOMPARE(qint64(field->EndingPosition()), qint64(12));
    int before = host_->redraws;
    form_->txtEndingPosition_Enter();
    QCOMPARE(host_->redraws, before + 1);
    // However the window closes, the viewer draws the layout once more.
    form_->txtlength->setText("6");
    before = host_->redraws;
    QTest::keyClick(form_.get(), Qt::Key_Escape);
    QCOMPARE(host_->redraws, before + 1);
    form_->cmdOK_Click();
    QCOMPARE(host_->redraws, before + 2);
    form_->txtstartingposition->setText("99999999999999999999");
    QCOMPARE(form_->txtEndingPosition->text(), QString::number((1LL << 48) + 6 - 1));
}

void EditorsFieldsTest::positionBoxesReadLeadingNumber_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<qint64>("length");
    QTest::newRow("no number counts as 0") << "abc" << qint64(0);
    QTest::newRow("half to even down") << "4.5" << qint64(4);
    QTest::newRow("half to even up") << "5.5 bytes" << qint64(6);
    QTest::newRow("past what a file holds") << "99999999999999999999" << qint64(1LL << 48);
}

void EditorsFieldsTest::positionBoxesReadLeadingNumber() {
    QFETCH(QString, typed);
    QFETCH(qint64, length);
    SetLayout({{"CODE", 3, 3}});
    form_->txtlength->setText(typed);
    QCOMPARE(qint64(host_->file.GetFields().Item(1)->Length()), length);
    QCOMPARE(form_->txtEndingPosition->text(), QString::number(3 + length - 1));
    QCOMPARE(form_->txtlength->text(), typed);  // the box being typed in is left alone
}

void EditorsFieldsTest::addPlacesFieldAfterLast_data() {
    QTest::addColumn<bool>("empty");
    QTest::addColumn<qint64>("start");
    QTest::newRow("empty layout") << true << qint64(1);
    QTest::newRow("after a field ending at 8") << false << qint64(9);
}

void EditorsFieldsTest::addPlacesFieldAfterLast() {
    QFETCH(bool, empty);
    QFETCH(qint64, start);
    empty ? SetLayout({}) : SetLayout({{"CODE", 3, 6}});
    prompt_.QueueInput(QString("AMOUNT"));
    form_->cmdnewfield_Click();
    const data::Fields& fields = host_->file.GetFields();
    const data::Field* added = fields.Item(fields.Count());
    QCOMPARE(added->Name(), std::string("AMOUNT"));
    QCOMPARE(qint64(added->StartingPosition()), start);
    QCOMPARE(Rows().last(), QString("AMOUNT=%1").arg(fields.Count()));
    QCOMPARE(form_->lstfieldname->currentRow(), fields.Count() - 1);
    QCOMPARE(prompt_.Questions().front().text, QString("What is the new name of the field?"));
    QCOMPARE(prompt_.Questions().front().title, QString("Rename"));
}

void EditorsFieldsTest::takenNameIsAskedAgain() {
    SetLayout({{"CODE", 1, 5}, {"NAME", 6, 10}});
    form_->lstfieldname->setCurrentRow(0);
    prompt_.QueueInput(QString("name"));
    prompt_.QueueAnswer(UserPrompt::Answer::Ok);
    prompt_.QueueInput(QString("ID"));
    form_->cmdrename_Click();
    const auto& asked = prompt_.Questions();
    QCOMPARE(asked.size(), std::size_t(3));
    QCOMPARE(asked[0].defaultText, QString("CODE"));
    QCOMPARE(asked[1].text, QString("Field Name: 'name' already exists."));
    QCOMPARE(asked[1].title, QString("Try Again"));
    QCOMPARE(asked[1].icon, UserPrompt::Icon::Information);
    QCOMPARE(host_->file.GetFields().Item(1)->Name(), std::string("ID"));
    QCOMPARE(Rows(), (QStringList{"ID=1", "NAME=2"}));
}

void EditorsFieldsTest::namesKeepEveryCharacter() {
    SetLayout({{"CODE", 1, 5}, {"NAME", 6, 10}});
    const QString first = QString::fromUtf8("\xe5\x90\x8d\xe5\x89\x8d");   // 名前
    const QString second = QString::fromUtf8("\xe6\x97\xa5\xe6\x9c\xac");  // 日本
    prompt_.QueueInput(first);
    form_->cmdrename_Click();
    form_->lstfieldname->setCurrentRow(1);
    prompt_.QueueInput(second);
    form_->cmdrename_Click();
    QCOMPARE(prompt_.Questions().size(), std::size_t(2));  // no "Try Again"
    QCOMPARE(Rows(), (QStringList{first + "=1", second + "=2"}));
    QCOMPARE(host_->file.GetFields().Item(1)->Name(), first.toStdString());
}

void EditorsFieldsTest::renameToOwnNameChangesNothing() {
    SetLayout({{"CODE", 1, 5}});
    const int before = host_->redraws;
    prompt_.QueueInput(QString("code"));
    form_->cmdrename_Click();
    QCOMPARE(prompt_.Questions().size(), std::size_t(1));  // no "Try Again"
    QCOMPARE(host_->file.GetFields().Item(1)->Name(), std::string("CODE"));
    QCOMPARE(host_->redraws, before);
}

void EditorsFieldsTest::cancelledAddLeavesUnnamedField() {
    SetLayout({{"CODE", 1, 5}});
    prompt_.QueueInput(std::nullopt);
    form_->cmdnewfield_Click();
    QCOMPARE(host_->file.GetFields().Count(), 2);
    QCOMPARE(host_->file.GetFields().Item(2)->Name(), std::string());
    QCOMPARE(Rows(), QStringList{"CODE=1"});
    form_->Form_Activate();  // reopening lists it under a default name
    QCOMPARE(Rows(), (QStringList{"CODE=1", "Field2=2"}));
}

void EditorsFieldsTest::insertPutsFieldBeforeSelected() {
    SetLayout({{"CODE", 1, 5}, {"NAME", 6, 10}});
    form_->lstfieldname->setCurrentRow(1);
    prompt_.QueueInput(QString("TYPE"));
    prompt_.QueueInput(QString("2"));
    form_->cmdInsertField_Click();
    QCOMPARE(Rows(), (QStringList{"CODE=1", "TYPE=2", "NAME=3"}));
    const data::Fields& fields = host_->file.GetFields();
    QCOMPARE(qint64(fields.Item(2)->Length()), qint64(2));
    QCOMPARE(form_->lstfieldname->currentRow(), 1);
    QCOMPARE(prompt_.Questions().back().text, QString("What is the length of this field?"));
}

void EditorsFieldsTest::cancelledInsertKeepsRowsInStep() {
    SetLayout({{"CODE", 1, 5}, {"NAME", 6, 10}});
    form_->lstfieldname->setCurrentRow(1);
    prompt_.QueueInput(std::nullopt);
    form_->cmdInsertField_Click();
    QCOMPARE(host_->file.GetFields().Count(), 3);
    // Every row still carries the index of the field it shows.
    QCOMPARE(Rows(), (QStringList{"CODE=1", "Field2=2", "NAME=3"}));
    form_->lstfieldname->setCurrentRow(2);
    QCOMPARE(form_->txtlength->text(), QString("10"));
}

void EditorsFieldsTest::splitHalvesField() {
    SetLayout({{"ID", 1, 2}, {"CODE", 3, 5}, {"REST", 8, 4}});
    form_->lstfieldname->setCurrentRow(1);
    form_->cmdSplit_Click();
    QCOMPARE(Rows(), (QStringList{"ID=1", "CODEA=2", "CODEB=3", "REST=4"}));
    const data::Fields& fields = host_->file.GetFields();
    QCOMPARE(qint64(fields.Item(2)->StartingPosition()), qint64(3));
    QCOMPARE(qint64(fields.Item(2)->Length()), qint64(2));
    QCOMPARE(qint64(fields.Item(3)->StartingPosition()), qint64(5));
    QCOMPARE(qint64(fields.Item(3)->Length()), qint64(3));
    QCOMPARE(qint64(fields.Item(4)->StartingPosition()), qint64(8));
    QCOMPARE(form_->lstfieldname->currentRow(), 1);
    SetLayout({{"FLAG", 1, 1}});  // a field of length 1 is not split
    form_->cmdSplit_Click();
    QCOMPARE(Rows(), QStringList{"FLAG=1"});
}

void EditorsFieldsTest::deleteRenumbersRows_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("selected");
    QTest::newRow("first") << 0 << QStringList{"B=1", "C=2"} << 0;
    QTest::newRow("middle") << 1 << QStringList{"A=1", "C=2"} << 1;
    QTest::newRow("last") << 2 << QStringList{"A=1", "B=2"} << 1;
}

void EditorsFieldsTest::deleteRenumbersRows() {
    QFETCH(int, row);
    QFETCH(QStringList, rows);
    QFETCH(int, selected);
    SetLayout({{"A", 1, 5}, {"B", 6, 3}, {"C", 9, 4}});
    form_->lstfieldname->setCurrentRow(row);
    form_->cmdDeleteField_Click();
    QCOMPARE(Rows(), rows);
    QCOMPARE(form_->lstfieldname->currentRow(), selected);
    const data::Fields& fields = host_->file.GetFields();
    QCOMPARE(fields.Count(), 2);
    QCOMPARE(form_->txtstartingposition->text(),
             QString::number(fields.Item(selected + 1)->StartingPosition()));
}

void EditorsFieldsTest::deleteOutsideLayoutIsRefused() {
    SetLayout({{"A", 1, 5}});
    form_->lstfieldname->item(0)->setData(Qt::UserRole, 7);
    form_->cmdDeleteField_Click();
    QCOMPARE(host_->file.GetFields().Count(), 1);
    QCOMPARE(prompt_.Questions().back().text,
             QString("Array element cannot be deleted because it is not within the boundaries "
                     "defined for the array."));
    form_->lstfieldname->item(0)->setData(Qt::UserRole, 1);
    form_->cmdDeleteField_Click();
    QCOMPARE(form_->lstfieldname->count(), 0);
    QVERIFY(form_->freFieldProperties->isHidden());
}

void EditorsFieldsTest::emptyLayoutKeepsTheButtonsInPlace() {
    SetLayout({{"CODE", 1, 4}});
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
    const QRect ok = form_->cmdOK->geometry();
    const QRect add = form_->cmdnewfield->geometry();
    SetLayout({});
    QVERIFY(form_->freFieldProperties->isHidden());
    QApplication::processEvents();
    QCOMPARE(form_->cmdOK->geometry(), ok);
    QCOMPARE(form_->cmdnewfield->geometry(), add);
}

void EditorsFieldsTest::marginOptionsSwitchTopBar() {
    SetLayout({{"A", 1, 5}});
    form_->optShowFieldNames_Click();
    QVERIFY(host_->file.ShowFieldNames());
    form_->optShowByteBar_Click();
    QVERIFY(!host_->file.ShowFieldNames());
    host_->file.SetShowFieldNames(true);
    form_->RefreshScreen();
    QVERIFY(form_->optShowFieldNames->isChecked());
}

void EditorsFieldsTest::importTakesScriptLayout_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("asked");
    QTest::addColumn<QString>("errorTitle");
    QTest::newRow("layout taken") << "layout_good.VelmorBasic" << QStringList{"CUSTNO=1", "NAME=2"}
                                  << 1 << "";
    QTest::newRow("script error leaves the layout")
        << "layout_error.VelmorBasic" << QStringList{"OLD=1"} << 2 << "Line Number: 5";
    QTest::newRow("no file object leaves the layout")
        << "layout_nofile.VelmorBasic" << QStringList{"OLD=1"} << 2 << "";
    QTest::newRow("dialog cancelled") << "" << QStringList{"OLD=1"} << 1 << "";
    QTest::newRow("copybook taken, SYNC noted")
        << "layout_good.cpy" << QStringList{"CUSTNO=1", "NAME=2", "AMOUNT=3"} << 2 << "Import Fields";
    QTest::newRow("copybook error leaves the layout")
        << "layout_error.cpy" << QStringList{"OLD=1"} << 2 << "Import Fields";
}

void EditorsFieldsTest::importTakesScriptLayout() {
    QFETCH(QString, script);
    QFETCH(QString, errorTitle);
    SetLayout({{"OLD", 1, 5}});
    prompt_.QueueFile(script.isEmpty() ? QString() : Script(qPrintable(script)));
    form_->mnuImportFields_Click();
    QTEST(Rows(), "rows");
    QCOMPARE(prompt_.Questions().front().filter,
             QString("Velmor Basic Scripts|*.VelmorBasic|COBOL Copybooks|*.cpy;*.cob;*.cbl"));
    if (script == "layout_good.VelmorBasic")
        QCOMPARE(qint64(host_->file.GetFields().Item(2)->StartingPosition()), qint64(7));
    if (script == "layout_good.cpy") {
        const auto* amount = host_->file.GetFields().Item(3);
        QCOMPARE(qint64(amount->StartingPosition()), qint64(12));
        QCOMPARE(qint64(amount->Length()), qint64(4));
        QCOMPARE(amount->Format().type, velmor::copybook::FieldType::Packed);
        QCOMPARE(prompt_.Questions().back().text, QString("line 5: SYNC ignored; no slack bytes are added"));
        return;
    }
    if (script == "layout_error.cpy")
        QCOMPARE(prompt_.Questions().back().text,
                 QString("The copybook cannot be used: line 3, column 27: expected a picture "
                         "string after PIC, found '.'. The layout is unchanged."));
    QTEST(int(prompt_.Questions().size()), "asked");
    if (errorTitle.isEmpty()) return;
    QCOMPARE(prompt_.Questions().back().title, errorTitle);
    QCOMPARE(prompt_.Questions().back().icon, UserPrompt::Icon::Critical);
}

QTEST_MAIN(EditorsFieldsTest)
#include "tst_editors_fields.moc"
