// The wizard behind a real record viewer: changing the record length and
// byte offset re-divides the file and the viewer's tiles draw the new
// records.
#include <QDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QtTest>

#include "app/global.h"
#include "app/userprompt.h"
#include "editors/editorwindows.h"
#include "editors/frmDKConnection.h"
#include "viewer/frmFileView.h"

using namespace velmor;

namespace {

// Record n of the sample is "R" + n in three digits + letters, 10 bytes.
QByteArray SampleBytes(int records) {
    QByteArray bytes("HDR");  // three bytes before the first record
    for (int n = 1; n <= records; ++n) {
        bytes += QByteArray("R") + QByteArray::number(n).rightJustified(3, '0') + "abcdef";
    }
    return bytes;
}

}  // namespace

class EditorsEndToEndTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void cleanupTestCase();
    void wizardRedividesViewer();
    void menuOpensSingleInstances();

private:
    QString DrawnRecord(frmFileView& viewer, qint64 record) const;

    ScriptedUserPrompt prompt_;
    QTemporaryDir dir_;
    QString path_;
};

void EditorsEndToEndTest::initTestCase() {
    QVERIFY(dir_.isValid());
    Global::SetProgramFolder(dir_.path());
    Global::StoreConnectionAndIndexingFilesInDataPath = true;
    SetPrompt(&prompt_);
    frmFileView::ShowModal = [](QDialog&) {};
    path_ = dir_.filePath("orders.dat");
    QFile file(path_);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(SampleBytes(40));
}

void EditorsEndToEndTest::cleanupTestCase() {
    SetPrompt(nullptr);
}

QString EditorsEndToEndTest::DrawnRecord(frmFileView& viewer, qint64 record) const {
    for (const viewer::DrawnText& line : viewer.mDrawer->Log()) {
        if (line.record == record && line.firstColumn == 1) {
            return QString::fromLatin1(line.text.data(), qsizetype(line.text.size()));
        }
    }
    return {};
}

void EditorsEndToEndTest::wizardRedividesViewer() {
    frmFileView viewer;
    viewer.resize(800, 600);
    viewer.show();
    QVERIFY(viewer.AddFile(path_));
    viewer.mDrawer->SetLogging(true);

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
    QCOMPARE(qint64(c.RecordLength()), qint64(10));
    QCOMPARE(qint64(c.ByteOffset()), qint64(3));
    QTRY_VERIFY(!DrawnRecord(viewer, 2).isEmpty());
    QCOMPARE(DrawnRecord(viewer, 1).left(10), QString("R001abcdef"));
    QCOMPARE(DrawnRecord(viewer, 2).left(10), QString("R002abcdef"));

    // One byte shorter and no offset: every record now starts one byte
    // earlier than the last.
    viewer.mDrawer->ClearLog();
    wizard.txtByteOffset->setText("0");
    wizard.cmdRLDown_Click();
    QCOMPARE(qint64(c.RecordLength()), qint64(9));
    QTRY_VERIFY(!DrawnRecord(viewer, 2).isEmpty());
    QCOMPARE(DrawnRecord(viewer, 1).left(9), QString("HDRR001ab"));
    QCOMPARE(DrawnRecord(viewer, 2).left(9), QString("cdefR002a"));

    // The composer is shown the program's modal way, and closing it
    // unchanged hands back the box's own text.
    wizard.txtTextQualifier->setText("CHR$(34)");
    wizard.cmdGetStringRepresentation_Click(2);
    QCOMPARE(wizard.txtTextQualifier->text(), QString("CHR$(34)"));
}

void EditorsEndToEndTest::menuOpensSingleInstances() {
    frmFileView viewer;
    editors::RegisterEditorWindows(viewer);
    QVERIFY(viewer.AddFile(path_));
    QVERIFY(viewer.mnudataconnection->isEnabled());
    QVERIFY(viewer.mnufields->isEnabled());
    viewer.mnudataconnection->trigger();
    viewer.mnudataconnection->trigger();
    viewer.mnufields->trigger();
    QCOMPARE(viewer.findChildren<editors::frmDKConnection*>().size(), qsizetype(1));
}

QTEST_MAIN(EditorsEndToEndTest)
#include "tst_editors_endtoend.moc"
