// The data-connection wizard driven through its handlers on a real engine
// file, with a stand-in viewer counting the redraws.
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "app/userprompt.h"
#include "data/profilefile.h"
#include "editors/frmDKConnection.h"
#include "editors_testhost.h"

using namespace velmor;
using velmor::editors::frmDKConnection;

namespace {

QString WriteFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString path = dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return {};
    file.write(bytes);
    return path;
}

// A descriptor word: a two-byte length (big- or little-endian), two zeros.
QByteArray Word(int length, bool littleEndian) {
    QByteArray word(4, '\0');
    word[littleEndian ? 0 : 1] = char(length & 0xFF);
    word[littleEndian ? 1 : 0] = char(length >> 8);
    return word;
}

}  // namespace

class EditorsConnectionTest : public QObject {
    Q_OBJECT

private slots:
    void init() {
        dir_ = std::make_unique<QTemporaryDir>();
        host_ = std::make_unique<EditorsTestHost>();
        host_->file.SetStoreConnectionAndIndexingFilesInDataPath("True");
        host_->file.SetSecondaryConnectionAndIndexingPath(dir_->path().toStdString() + "/");
        form_ = std::make_unique<frmDKConnection>(*host_);
    }

    void cleanup() {
        form_.reset();
        host_.reset();
        dir_.reset();
    }

    // An unknown type becomes "Flat ASCII"; a known one matches in any case.
    void unknownDatabaseTypeBecomesFlatAscii() {
        OpenFixed(QByteArray(100, 'x'), 10, 0);
        const std::tuple<const char*, int, const char*> rows[] = {
            {"Paradox", 0, "Flat ASCII"},
            {"dbase iv", 3, "dbase iv"},
            {"Flat EBCDIC", 1, "Flat EBCDIC"}};
        for (const auto& [type, index, stored] : rows) {
            host_->file.SetDatabaseType(type);
            form_->Form_Activate();
            QCOMPARE(form_->cboDatabaseType->currentIndex(), index);
            QCOMPARE(host_->file.DatabaseType(), std::string(stored));
        }
    }

    void databaseTypeSetsByteOffset_data() {
        QTest::addColumn<int>("index");
        QTest::addColumn<bool>("header");
        QTest::addColumn<qint64>("offset");
        QTest::newRow("Flat ASCII, header") << 0 << true << qint64(50);
        QTest::newRow("Flat ASCII, no header") << 0 << false << qint64(0);
        QTest::newRow("Flat EBCDIC, header") << 1 << true << qint64(50);
        QTest::newRow("DBase V keeps offset") << 4 << false << qint64(7);
    }

    void databaseTypeSetsByteOffset() {
        QFETCH(int, index);
        QFETCH(bool, header);
        QFETCH(qint64, offset);
        OpenFixed(QByteArray(500, 'x'), 50, 7);
        form_->chkFLFirstRowContainsFieldNames->setChecked(header);
        QCOMPARE(qint64(host_->file.GetConnection().ByteOffset()), qint64(7));  // the box alone
        form_->cboDatabaseType->setCurrentIndex(index);
        form_->cboDatabaseType_Click();
        const data::Connection& c = host_->file.GetConnection();
        QCOMPARE(qint64(c.ByteOffset()), offset);
        QCOMPARE(c.FirstRecordContainsFieldNames(), header);
        QCOMPARE(QString::fromStdString(c.DatabaseTypeName()),
                 form_->cboDatabaseType->currentText());
    }

    void redrawSendsLayoutKind() {
        OpenFixed(QByteArray(1050, 'x'), 300, 0);
        const int before = host_->redraws;
        form_->cmdRedraw_Click();
        QVERIFY(host_->file.FixedLayout());
        QCOMPARE(host_->redraws, before + 1);
        form_->txtRecordLength->setText("0");
        form_->txtRecordLength_Enter();  // a zero length never divides
        QVERIFY(host_->file.FixedLayout());
    }

    void arrowButtonsStopAtOne() {
        OpenFixed(QByteArray(100, 'x'), 2, 0);
        form_->cmdRLDown_Click();
        form_->cmdRLDown_Click();
        QCOMPARE(form_->txtRecordLength->text(), QString("1"));
        form_->cmdRLUp_Click();
        QCOMPARE(qint64(host_->file.GetConnection().RecordLength()), qint64(2));
        form_->txtRecordLength->setText("-5");  // a refused length keeps the window running
        form_->cmdRedraw_Click();
        form_->cmdRLUp_Click();
        QCOMPARE(qint64(host_->file.GetConnection().RecordLength()), qint64(1));
        host_->file.MoveTo(3);
        QCOMPARE(QByteArray::fromStdString(host_->file.RecordText()), QByteArray("x"));
        form_->txtRecordLength->setText("99999999999999999999");
        form_->cmdRLUp_Click();  // held at what a file can hold
        QCOMPARE(form_->txtRecordLength->text(), QString::number(1LL << 48));
        form_->txtByteOffset->setText("-99999999999999999999");
        form_->cmdRedraw_Click();
        QCOMPARE(qint64(host_->file.GetConnection().ByteOffset()), -(1LL << 48));
    }

    // A representation reaches the file, and the view is drawn again, only
    // once it is whole and new; the qualifier never redraws.
    void representationRedrawsOnceWhole() {
        OpenDelimited("a;b\r\nc;d\r\n");
        const data::Connection& c = host_->file.GetConnection();
        const int before = host_->redraws;
        form_->txtFieldDelimiter_Change();  // the same text typed again
        form_->txtDelimiter_Change();
        for (const char* typed : {"C", "CHR$(", "CHR$(5", "CHR$(59"}) {
            form_->txtFieldDelimiter->setText(QString::fromLatin1(typed));
            QCOMPARE(c.FieldDelimiterRepresentation(), std::string("CHR$(44)"));
            QVERIFY(!form_->txtFieldDelimiter->toolTip().isEmpty());
        }
        QCOMPARE(host_->redraws, before);
        form_->txtFieldDelimiter->setText("CHR$(59)");
        QCOMPARE(c.FieldDelimiterRepresentation(), std::string("CHR$(59)"));
        QVERIFY(form_->txtFieldDelimiter->toolTip().isEmpty());
        form_->txtTextQualifier->setText("CHR$(39)");
        QCOMPARE(c.TextQualifierRepresentation(), std::string("CHR$(39)"));
        QCOMPARE(host_->redraws, before + 1);
        QVERIFY(host_->errors.isEmpty());
    }

    void fixedDelimitedFixedRestoresFixedSettings() {
        OpenFixed(QByteArray(1000, 'x'), 40, 20);
        host_->file.GetFields().Add("CODE", 10);
        host_->file.GetFields().Add("REST", 30);
        form_->SSTab1->setCurrentIndex(frmDKConnection::DelimitedTab);
        const data::Connection& c = host_->file.GetConnection();
        QVERIFY(c.IsDelimited() && !c.IsFixed() && form_->FixedSnapshot().IsFixed());
        form_->txtDelimiter->setText("CHR$(10)");
        form_->SSTab1->setCurrentIndex(frmDKConnection::FixedTab);
        QVERIFY(c.IsFixed());
        const data::Field& rest = *host_->file.GetFields().Item(2);
        QCOMPARE(QString("%1 %2 %3 %4 %5 %6+%7 %8")
                     .arg(c.RecordLength())
                     .arg(c.ByteOffset())
                     .arg(form_->txtRecordLength->text(), form_->txtByteOffset->text(),
                          QString::fromStdString(rest.Name()))
                     .arg(rest.StartingPosition())
                     .arg(rest.Length())
                     .arg(host_->file.GetFields().Count()),
                 QString("40 20 40 20 REST 11+30 2"));
        QCOMPARE(form_->DelimitedSnapshot().RecordDelimiterRepresentation(),
                 std::string("CHR$(10)"));
        form_->SSTab1->setCurrentIndex(frmDKConnection::DelimitedTab);  // and back again
        QCOMPARE(c.RecordDelimiterRepresentation(), std::string("CHR$(10)"));

        // Showing the window again starts without the snapshots of the last
        // showing, which may have been taken on another file.
        form_->cmddone_Click();
        form_->show();
        QVERIFY(!form_->FixedSnapshot().IsFixed());
        QVERIFY(!form_->DelimitedSnapshot().IsDelimited());
    }

    // Unticking the header, visiting the fixed tab and coming back to the
    // delimited one ticks the header again by detection: the names still come
    // from the names record, not from the first data record.
    void headerNamesComeFromTheNamesRecord() {
        OpenDelimited("ID,Name\r\n1,\"Smith, John\"\r\n2,Anne\r\n");
        host_->file.GetConnection().SetFirstRecordContainsFieldNames(true);
        form_->Form_Activate();
        form_->chkDFirstRowContainsFieldNames->setChecked(false);
        form_->SSTab1->setCurrentIndex(frmDKConnection::FixedTab);
        form_->cmddone_Click();
        form_->Form_Load();
        form_->Form_Activate();
        form_->SSTab1->setCurrentIndex(frmDKConnection::DelimitedTab);
        form_->chkDFirstRowContainsFieldNames->setChecked(true);
        const data::Fields& fields = host_->file.GetFields();
        QCOMPARE(fields.Count(), 2);
        QCOMPARE(fields.Item(1)->Name(), std::string("ID"));
        QCOMPARE(fields.Item(2)->Name(), std::string("Name"));
        QVERIFY(host_->file.GetConnection().FirstRecordContainsFieldNames());
        QCOMPARE(host_->file.RecordCount(), data::RecordNo(2));
    }

    void headerNamesTheFields_data() {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<QString>("auxiliary");
        QTest::addColumn<QStringList>("names");
        // An engine-made layout is renamed from the header's values; without one
        // a file whose field delimiter never occurs is cut at its spaces.
        QTest::newRow("renames the fields")
            << QByteArray("CODE,NAME\r\n1,Anne\r\n") << "from a connection file"
            << QStringList{"CODE", "NAME"};
        QTest::newRow("split at spaces") << QByteArray("ID NAME  CITY\r\n01 Anne   Oslo\r\n") << ""
                                         << QStringList{"ID", "NAME", "CITY"};
    }

    void headerNamesTheFields() {
        QFETCH(QByteArray, file);
        QFETCH(QString, auxiliary);
        OpenDelimited(file);
        data::Connection& c = host_->file.GetConnection();
        if (auxiliary.isEmpty()) c.SetFieldDelimiterRepresentation("CHR$(124)");
        data::Fields& fields = host_->file.GetFields();
        if (!auxiliary.isEmpty()) {
            fields.Clear();
            fields.Add("F1", 4);
            fields.Add("F2", 4);
        }
        c.SetAuxiliaryText(auxiliary.toStdString());
        const int before = host_->redraws;
        form_->chkDFirstRowContainsFieldNames->setChecked(true);
        QStringList actual;
        for (int i = 1; i <= fields.Count(); ++i)
            actual << QString::fromStdString(fields.Item(i)->Name());
        QTEST(actual, "names");
        QCOMPARE(fields.Item(1)->StartingPosition(), data::FilePos(1));
        QVERIFY(c.FirstRecordContainsFieldNames());
        QCOMPARE(host_->redraws, before + 1);
        form_->chkDFirstRowContainsFieldNames->setChecked(false);  // clearing redraws too
        QVERIFY(!c.FirstRecordContainsFieldNames());
        QCOMPARE(host_->redraws, before + 2);
    }

    // The composer starts from the box's text and its answer reaches the
    // file; an answer that cannot be read stays in its box and is said, also
    // on closing, until leaving the wizard drops it.
    void composerAnswers() {
        ScriptedUserPrompt prompt;
        SetPrompt(&prompt);
        OpenDelimited("a,b\r\n");
        QString handedOver, answer = "CHR$(124)";
        form_->ShowComposer = [&] {
            handedOver = Global::StringRepresentation;
            Global::StringRepresentation = answer;
        };
        form_->cmdGetStringRepresentation_Click(1);
        QCOMPARE(handedOver, QString("CHR$(44)"));
        QCOMPARE(host_->file.GetConnection().FieldDelimiterRepresentation(),
                 std::string("CHR$(124)"));
        answer = "CHR$(300)";
        form_->cmdGetStringRepresentation_Click(7);  // no such button: nothing happens
        QCOMPARE(form_->txtFieldDelimiter->text(), QString("CHR$(124)"));
        QVERIFY(prompt.Questions().empty());
        form_->cmdGetStringRepresentation_Click(0);
        const data::Connection& c = host_->file.GetConnection();
        QCOMPARE(form_->txtDelimiter->text(), QString("CHR$(300)"));
        QCOMPARE(c.RecordDelimiterRepresentation(), std::string("CHR$(13) & CHR$(10)"));
        QCOMPARE(prompt.Questions().size(), std::size_t(1));
        QCOMPARE(
            prompt.Questions()[0].text,
            QString("End of Record Marker \"CHR$(300)\" cannot be read. Invalid representation "
                    "at position 6: a character code must be from 0 to 255."));
        form_->Form_Activate();
        QCOMPARE(form_->txtDelimiter->text(), QString("CHR$(300)"));
        form_->cmddone_Click();  // says so again and stays open
        QCOMPARE(prompt.Questions().size(), std::size_t(2));
        QVERIFY(form_->result() != QDialog::Accepted);
        form_->txtDelimiter->setText("CHR$(10)");
        QVERIFY(form_->txtDelimiter->styleSheet().isEmpty());
        QCOMPARE(c.RecordDelimiterRepresentation(), std::string("CHR$(10)"));
        form_->txtFieldDelimiter->setText("CHR$(");
        form_->Form_Load();  // leaving the wizard drops the unread text
        form_->Form_Activate();
        QCOMPARE(form_->txtFieldDelimiter->text(), QString("CHR$(124)"));
        QVERIFY(form_->txtFieldDelimiter->styleSheet().isEmpty());
        form_->cmddone_Click();
        QCOMPARE(form_->result(), int(QDialog::Accepted));
        QCOMPARE(prompt.Questions().size(), std::size_t(2));
        SetPrompt(nullptr);
    }

    void scrollBarMirrorsViewer() {
        OpenFixed(QByteArray(100, 'x'), 10, 0);
        host_->bar.setRange(1, 50);
        host_->bar.setSingleStep(1);
        host_->bar.setPageStep(5);
        host_->bar.setValue(30);
        {
            // A range left from another file must not scroll the viewer.
            const QSignalBlocker quiet(form_->HScroll1);
            form_->HScroll1->setRange(60, 90);
        }
        form_->FixScrollBar();
        QCOMPARE(host_->bar.value(), 30);
        QCOMPARE(form_->HScroll1->minimum(), 1);
        QCOMPARE(form_->HScroll1->maximum(), 50);
        QCOMPARE(form_->HScroll1->pageStep(), 5);
        QCOMPARE(form_->HScroll1->value(), 30);
        form_->HScroll1->setValue(12);
        QCOMPARE(host_->bar.value(), 12);
        host_->bar.hide();
        form_->FixScrollBar();
        QVERIFY(form_->HScroll1->isHidden());
    }

    // A ".csv" that starts with comment lines and uses semicolons: the wizard
    // shows the settings in force, not the file type's.
    void showsWhatTheFileTypeGaveWayTo() {
        const QByteArray comments = "# stations\n# source: survey\n";
        const QString path =
            WriteFile(*dir_, "stations.csv", comments + "1;12.5;-3.25\n2;13.5;4.5\n3;9.25;0.5\n");
        data::RegisterProfileEntries(data::AllFileTypeEntries(data::BuiltInProfileEntries()),
                                     host_->file.GetFileTypes());
        QVERIFY(host_->file.Open(path.toStdString()));
        form_->Form_Activate();
        QCOMPARE(form_->SSTab1->currentIndex(), int(frmDKConnection::DelimitedTab));
        QCOMPARE(form_->txtFieldDelimiter->text(), QString("CHR$(59)"));
        QCOMPARE(form_->txtDByteOffset->text(), QString::number(comments.size()));
        QVERIFY(!form_->chkDFirstRowContainsFieldNames->isChecked());
    }

    void recordFormatIsChosenAndSaved_data() {
        QTest::addColumn<int>("format");  // the list entry the file is written in
        QTest::newRow("RDW") << 1;
        QTest::newRow("RDW little-endian") << 2;
        QTest::newRow("BDW") << 3;
    }

    void recordFormatIsChosenAndSaved() {
        QFETCH(int, format);
        QByteArray bytes;
        for (const QByteArray record : {"AAA", "BBBBB", "CC", "DDDDDDD"})
            bytes += Word(int(record.size()) + 4, format == 2) + record;
        if (format == 3) bytes = Word(int(bytes.size()) + 4, false) + bytes;
        const QString path = WriteFile(*dir_, "sales.dat", bytes);
        QVERIFY(host_->file.Open(path.toStdString()));
        form_->Form_Activate();  // detection's proposal is preselected
        const data::Connection& c = host_->file.GetConnection();
        QCOMPARE(form_->SSTab1->currentIndex(), int(frmDKConnection::FixedTab));
        QCOMPARE(form_->cboRecordFormat->currentIndex(), format);
        QCOMPARE(form_->txtRecordLength->text(), QString("7"));  // the longest record
        QVERIFY(form_->txtRecordLength->isReadOnly());
        QVERIFY(!form_->cmdRLUp->isEnabled());

        // Fixed length cuts the file at the longest record's length, typed again.
        form_->cboRecordFormat->setCurrentIndex(0);
        form_->cboRecordFormat_Click();
        QCOMPARE(c.RecordFormat(), copybook::RecordFormat::Fixed);
        QVERIFY(!form_->txtRecordLength->isReadOnly() && form_->cmdRLUp->isEnabled());
        host_->file.MoveTo(1);
        QCOMPARE(QByteArray::fromStdString(host_->file.RecordText()), bytes.left(7));
        form_->txtRecordLength->setText("9");
        QCOMPARE(qint64(c.RecordLength()), qint64(9));

        // Back to variable records; a names record is no reason to skip a
        // fixed count of bytes there, which would break the chain of lengths.
        form_->cboRecordFormat->setCurrentIndex(format);
        form_->cboRecordFormat_Click();
        QCOMPARE(form_->txtRecordLength->text(), QString("7"));
        form_->chkFLFirstRowContainsFieldNames->setChecked(true);
        form_->cboDatabaseType->setCurrentIndex(0);
        form_->cboDatabaseType_Click();
        QCOMPARE(qint64(c.ByteOffset()), qint64(0));
        host_->file.MoveTo(2);
        QCOMPARE(QByteArray::fromStdString(host_->file.RecordText()), QByteArray("BBBBB"));
        QVERIFY(!host_->file.FixedLayout());

        // The choice survives a trip to the other tab and is saved with the file.
        form_->SSTab1->setCurrentIndex(frmDKConnection::DelimitedTab);
        form_->SSTab1->setCurrentIndex(frmDKConnection::FixedTab);
        QCOMPARE(form_->cboRecordFormat->currentIndex(), format);
        QVERIFY(host_->file.SaveConnection("", false));
        data::File reopened;
        reopened.SetStoreConnectionAndIndexingFilesInDataPath("True");
        QVERIFY(reopened.Open(path.toStdString()));
        QCOMPARE(int(reopened.GetConnection().RecordFormat()), format);
        reopened.MoveLast();
        QCOMPARE(qint64(reopened.RecordCount()), qint64(4));
        QVERIFY(host_->errors.isEmpty());
    }

private:
    void OpenDelimited(const QByteArray& bytes) {
        const QString path = WriteFile(*dir_, "delimited.txt", bytes);
        QVERIFY(host_->file.Open(path.toStdString()));
        data::Connection& c = host_->file.GetConnection();
        c.SetIsFixed(false);
        c.SetIsDelimited(true);
        c.SetRecordDelimiterRepresentation("CHR$(13) & CHR$(10)");
        c.SetFieldDelimiterRepresentation("CHR$(44)");
        c.SetTextQualifierRepresentation("CHR$(34)");
        c.SetFirstRecordContainsFieldNames(false);
        form_->Form_Activate();
        QCOMPARE(form_->SSTab1->currentIndex(), int(frmDKConnection::DelimitedTab));
    }
    void OpenFixed(const QByteArray& bytes, qint64 recordLength, qint64 byteOffset) {
        const QString path = WriteFile(*dir_, "fixed.dat", bytes);
        QVERIFY(host_->file.Open(path.toStdString()));
        data::Connection& c = host_->file.GetConnection();
        c.SetIsDelimited(false);
        c.SetIsFixed(true);
        c.SetRecordLength(recordLength);
        c.SetByteOffset(byteOffset);
        form_->Form_Activate();
        QCOMPARE(form_->SSTab1->currentIndex(), int(frmDKConnection::FixedTab));
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<EditorsTestHost> host_;
    std::unique_ptr<frmDKConnection> form_;
};

QTEST_MAIN(EditorsConnectionTest)
#include "tst_editors_connection.moc"
