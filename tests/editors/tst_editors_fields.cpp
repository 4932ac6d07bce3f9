// The field-definition editor driven through its handlers on a real engine
// layout, with the user's answers scripted; and the wizard and the editors'
// menu behind a real record viewer.
#include <QAction>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "app/userprompt.h"
#include "editors/editorwindows.h"
#include "editors/frmDKConnection.h"
#include "editors/frmDKFields.h"
#include "editors_testhost.h"
#include "viewer/frmFileView.h"

using namespace velmor;
using velmor::editors::frmDKFields;

struct LayoutField {
    const char* name;
    qint64 start;
    qint64 length;
};

class EditorsFieldsTest : public QObject {
    Q_OBJECT
    std::unique_ptr<EditorsTestHost> host_;
    std::unique_ptr<frmDKFields> form_;
    ScriptedUserPrompt prompt_;

    void SetLayout(std::initializer_list<LayoutField> layout) {
        data::Fields& fields = host_->file.GetFields();
        fields.Clear();
        for (const LayoutField& f : layout) fields.Add(f.name, f.length, {}, f.start);
        form_->Form_Activate();
    }
    // "NAME=index" per row of the list.
    QStringList Rows() const {
        QStringList rows;
        for (int row = 0; row < form_->lstfieldname->count(); ++row) {
            const QListWidgetItem* item = form_->lstfieldname->item(row);
            rows << item->text() + "=" + item->data(Qt::UserRole).toString();
        }
        return rows;
    }
    data::Field* Field(int index) const { return host_->file.GetFields().Item(index); }
    // "start+length" of field Index.
    QString Span(int index) const {
        return QString("%1+%2").arg(Field(index)->StartingPosition()).arg(Field(index)->Length());
    }

private slots:
    void init() {
        host_ = std::make_unique<EditorsTestHost>();
        form_ = std::make_unique<frmDKFields>(*host_);
        prompt_.Clear();
        SetPrompt(&prompt_);
    }
    void cleanup() {
        SetPrompt(nullptr);
        form_.reset();
        host_.reset();
    }

    void positionBoxesKeepEachOtherInStep() {
        SetLayout({{"CODE", 1, 3}});
        form_->txtstartingposition->setText("5");
        form_->txtlength->setText("4");
        QCOMPARE(form_->txtEndingPosition->text(), QString("8"));
        QCOMPARE(Span(1), QString("5+4"));
        form_->txtEndingPosition->setText("12");
        QCOMPARE(form_->txtlength->text(), QString("8"));
        QCOMPARE(Span(1), QString("5+8"));
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
    }

    // The box being typed in is left alone; the others follow its leading
    // number, rounded half to even and bounded by what a file holds.
    void positionBoxesReadLeadingNumber() {
        const std::pair<const char*, qint64> rows[] = {
            {"abc", 0}, {"4.5", 4}, {"5.5 bytes", 6}, {"99999999999999999999", 1LL << 48}};
        SetLayout({{"CODE", 3, 3}});
        for (const auto& [typed, length] : rows) {
            form_->txtlength->setText(typed);
            QCOMPARE(qint64(Field(1)->Length()), length);
            QCOMPARE(form_->txtEndingPosition->text(), QString::number(3 + length - 1));
            QCOMPARE(form_->txtlength->text(), QString(typed));
        }
    }

    void addPlacesFieldAfterLast() {
        for (const bool empty : {true, false}) {
            empty ? SetLayout({}) : SetLayout({{"CODE", 3, 6}});
            prompt_.QueueInput(QString("AMOUNT"));
            form_->cmdnewfield_Click();
            const int count = host_->file.GetFields().Count();
            QCOMPARE(Field(count)->Name(), std::string("AMOUNT"));
            QCOMPARE(qint64(Field(count)->StartingPosition()), empty ? 1 : 9);
            QCOMPARE(Rows().last(), QString("AMOUNT=%1").arg(count));
            QCOMPARE(form_->lstfieldname->currentRow(), count - 1);
        }
        QCOMPARE(prompt_.Questions().front().text, QString("What is the new name of the field?"));
        QCOMPARE(prompt_.Questions().front().title, QString("Rename"));
    }

    // A name another field has (in any case) is asked again; the field's
    // own name in another case changes nothing; every character is kept.
    void rename() {
        SetLayout({{"CODE", 1, 5}, {"NAME", 6, 10}});
        const QString cjk = "\u540d\u524d";
        prompt_.QueueInput(QString("name"));
        prompt_.QueueAnswer(UserPrompt::Answer::Ok);
        prompt_.QueueInput(cjk);
        form_->cmdrename_Click();
        const auto& asked = prompt_.Questions();
        QCOMPARE(asked.size(), std::size_t(3));
        QCOMPARE(asked[0].defaultText, QString("CODE"));
        QCOMPARE(asked[1].text, QString("Field Name: 'name' already exists."));
        QCOMPARE(asked[1].title, QString("Try Again"));
        QCOMPARE(asked[1].icon, UserPrompt::Icon::Information);
        QCOMPARE(Field(1)->Name(), cjk.toStdString());
        QCOMPARE(Rows(), (QStringList{cjk + "=1", "NAME=2"}));
        form_->lstfieldname->setCurrentRow(1);
        const int redraws = host_->redraws;
        prompt_.QueueInput(QString("name"));
        form_->cmdrename_Click();
        QCOMPARE(prompt_.Questions().size(), std::size_t(4));  // no "Try Again"
        QCOMPARE(Field(2)->Name(), std::string("NAME"));
        QCOMPARE(host_->redraws, redraws);
    }

    // A cancelled name leaves an unnamed field, listed under a default name
    // when the window is opened again; every row keeps its field's index.
    void cancelledAddAndInsert() {
        SetLayout({{"CODE", 1, 5}, {"NAME", 6, 10}});
        prompt_.QueueInput(std::nullopt);
        form_->cmdnewfield_Click();
        QCOMPARE(host_->file.GetFields().Count(), 3);
        QCOMPARE(Field(3)->Name(), std::string());
        QCOMPARE(Rows(), (QStringList{"CODE=1", "NAME=2"}));
        form_->Form_Activate();
        QCOMPARE(Rows(), (QStringList{"CODE=1", "NAME=2", "Field3=3"}));
        QCOMPARE(Field(3)->Name(), std::string("Field3"));
        form_->lstfieldname->setCurrentRow(1);
        prompt_.QueueInput(std::nullopt);
        form_->cmdInsertField_Click();
        QCOMPARE(Rows(), (QStringList{"CODE=1", "Field2=2", "NAME=3", "Field3=4"}));
        form_->lstfieldname->setCurrentRow(2);
        QCOMPARE(form_->txtlength->text(), QString("10"));
        // A named insert asks for the length too.
        prompt_.QueueInput(QString("TYPE"));
        prompt_.QueueInput(QString("2"));
        form_->cmdInsertField_Click();
        QCOMPARE(Rows(), (QStringList{"CODE=1", "Field2=2", "TYPE=3", "NAME=4", "Field3=5"}));
        QCOMPARE(qint64(Field(3)->Length()), qint64(2));
        QCOMPARE(form_->lstfieldname->currentRow(), 2);
        QCOMPARE(prompt_.Questions().back().text, QString("What is the length of this field?"));
    }

    void splitHalvesField() {
        SetLayout({{"ID", 1, 2}, {"CODE", 3, 5}, {"REST", 8, 4}});
        form_->lstfieldname->setCurrentRow(1);
        form_->cmdSplit_Click();
        QCOMPARE(Rows(), (QStringList{"ID=1", "CODEA=2", "CODEB=3", "REST=4"}));
        QCOMPARE(Span(2) + ' ' + Span(3) + ' ' + Span(4), QString("3+2 5+3 8+4"));
        QCOMPARE(form_->lstfieldname->currentRow(), 1);
        SetLayout({{"FLAG", 1, 1}});  // a field of length 1 is not split
        form_->cmdSplit_Click();
        QCOMPARE(Rows(), QStringList{"FLAG=1"});
    }

    // Deleting the first, middle or last row renumbers the rest and selects
    // the row in its place.
    void deleteRenumbersRows() {
        const std::pair<QStringList, int> after[] = {
            {{"B=1", "C=2"}, 0}, {{"A=1", "C=2"}, 1}, {{"A=1", "B=2"}, 1}};
        for (int row = 0; row < 3; ++row) {
            SetLayout({{"A", 1, 5}, {"B", 6, 3}, {"C", 9, 4}});
            form_->lstfieldname->setCurrentRow(row);
            form_->cmdDeleteField_Click();
            const auto& [rows, selected] = after[row];
            QCOMPARE(Rows(), rows);
            QCOMPARE(form_->lstfieldname->currentRow(), selected);
            QCOMPARE(host_->file.GetFields().Count(), 2);
            QCOMPARE(form_->txtstartingposition->text(),
                     QString::number(Field(selected + 1)->StartingPosition()));
        }
    }

    void deleteOutsideLayoutIsRefused() {
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

    void emptyLayoutKeepsTheButtonsInPlace() {
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

    void marginOptionsSwitchTopBar() {
        SetLayout({{"A", 1, 5}});
        form_->optShowFieldNames_Click();
        QVERIFY(host_->file.ShowFieldNames());
        form_->optShowByteBar_Click();
        QVERIFY(!host_->file.ShowFieldNames());
        host_->file.SetShowFieldNames(true);
        form_->RefreshScreen();
        QVERIFY(form_->optShowFieldNames->isChecked());
    }

    // A script's or a copybook's layout replaces the old one; a fault, a
    // script without a file object or a cancelled dialog leaves it.
    void importTakesScriptLayout() {
        const QStringList old{"OLD=1"};
        const struct {
            QString script;
            QStringList rows;
            int asked;
            QString errorTitle;
        } rows[] = {{"layout_good.VelmorBasic", {"CUSTNO=1", "NAME=2"}, 1, ""},
                    {"layout_error.VelmorBasic", old, 2, "Line Number: 5"},
                    {"layout_nofile.VelmorBasic", old, 2, ""},
                    {"", old, 1, ""},
                    {"layout_good.cpy", {"CUSTNO=1", "NAME=2", "AMOUNT=3"}, 2, "Import Fields"},
                    {"layout_error.cpy", old, 2, "Import Fields"}};
        for (const auto& r : rows) {
            prompt_.Clear();
            SetLayout({{"OLD", 1, 5}});
            prompt_.QueueFile(r.script.isEmpty() ? QString()
                                                 : VELMOR_TEST_DATA "/editors/" + r.script);
            form_->mnuImportFields_Click();
            QCOMPARE(Rows(), r.rows);
            const auto& asked = prompt_.Questions();
            QCOMPARE(
                asked.front().filter,
                QString("Velmor Basic Scripts|*.VelmorBasic|COBOL Copybooks|*.cpy;*.cob;*.cbl"));
            QCOMPARE(int(asked.size()), r.asked);
            if (r.script == "layout_good.VelmorBasic") QCOMPARE(Span(2), QString("7+20"));
            if (r.script == "layout_good.cpy") {
                QCOMPARE(Span(3), QString("12+4"));
                QCOMPARE(Field(3)->Format().type, velmor::copybook::FieldType::Packed);
                QCOMPARE(asked.back().text,
                         QString("line 5: SYNC ignored; no slack bytes are added"));
                continue;
            }
            if (r.script == "layout_error.cpy")
                QCOMPARE(asked.back().text,
                         QString("The copybook cannot be used: line 3, column 27: expected a "
                                 "picture string after PIC, found '.'. The layout is unchanged."));
            if (r.errorTitle.isEmpty()) continue;
            QCOMPARE(asked.back().title, r.errorTitle);
            QCOMPARE(asked.back().icon, UserPrompt::Icon::Critical);
        }
    }

    // The wizard behind a real viewer: a new record length and byte offset
    // re-divide the file, and the viewer's tiles draw the new records.
    void wizardRedividesViewer() {
        QTemporaryDir dir;
        Global::SetProgramFolder(dir.path());
        Global::StoreConnectionAndIndexingFilesInDataPath = true;
        frmFileView::ShowModal = [](QDialog&) {};
        QFile file(dir.filePath("orders.dat"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write("HDR");  // then record n is "R" + n in three digits + "abcdef"
        for (int n = 1; n <= 40; ++n)
            file.write(QString("R%1abcdef").arg(n, 3, 10, QChar('0')).toLatin1());
        file.close();
        frmFileView viewer;
        viewer.resize(800, 600);
        viewer.show();
        QVERIFY(viewer.AddFile(file.fileName()));
        viewer.mDrawer->SetLogging(true);
        const auto drawn = [&viewer](qint64 record) {
            for (const viewer::DrawnText& line : viewer.mDrawer->Log())
                if (line.record == record && line.firstColumn == 1)
                    return QString::fromLatin1(line.text.data(), qsizetype(line.text.size()));
            return QString();
        };
        editors::FileViewHost host(viewer);
        editors::frmDKConnection wizard(host);
        data::Connection& c = viewer.File().GetConnection();
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        wizard.Form_Activate();
        viewer.mDrawer->ClearLog();
        wizard.txtRecordLength->setText("10");
        wizard.txtByteOffset->setText("3");
        wizard.cmdRedraw_Click();
        QCOMPARE(qint64(c.RecordLength()) * 100 + qint64(c.ByteOffset()), qint64(1003));
        QTRY_VERIFY(!drawn(2).isEmpty());
        QCOMPARE(drawn(1).left(10) + drawn(2).left(10), QString("R001abcdefR002abcdef"));
        // The composer is shown the program's modal way, and closing it
        // unchanged hands back the box's own text.
        wizard.txtTextQualifier->setText("CHR$(34)");
        wizard.cmdGetStringRepresentation_Click(2);
        QCOMPARE(wizard.txtTextQualifier->text(), QString("CHR$(34)"));

        // The viewer's menu opens one wizard however often it is chosen.
        frmFileView menuViewer;
        editors::RegisterEditorWindows(menuViewer);
        QVERIFY(menuViewer.AddFile(file.fileName()));
        QVERIFY(menuViewer.mnudataconnection->isEnabled() && menuViewer.mnufields->isEnabled());
        menuViewer.mnudataconnection->trigger();
        menuViewer.mnudataconnection->trigger();
        menuViewer.mnufields->trigger();
        QCOMPARE(menuViewer.findChildren<editors::frmDKConnection*>().size(), qsizetype(1));
    }
};

QTEST_MAIN(EditorsFieldsTest)
#include "tst_editors_fields.moc"
