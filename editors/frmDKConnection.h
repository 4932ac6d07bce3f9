// The data-connection wizard: settles how the open file is cut into records
// (fixed length and byte offset, or record delimiter, field delimiter and
// text qualifier). Every edit goes straight into the engine's connection and
// the viewer behind redraws, so the viewer is the preview; "Done" only
// closes.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

#include "data/connection.h"
#include "data/fields.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QScrollBar;
class QTabWidget;

namespace velmor::editors {

class ViewerHost;

class frmDKConnection : public QDialog {
    Q_OBJECT
public:
    explicit frmDKConnection(ViewerHost& viewer, QWidget* parent = nullptr);

    enum Tab { FixedTab = 0, DelimitedTab = 1 };

    QTabWidget* SSTab1 = nullptr;
    QComboBox* cboDatabaseType = nullptr;
    /// Fixed length, or variable records after a descriptor word.
    QComboBox* cboRecordFormat = nullptr;
    QLineEdit* txtRecordLength = nullptr;
    QLineEdit* txtByteOffset = nullptr;
    QCheckBox* chkFLFirstRowContainsFieldNames = nullptr;
    QPushButton* cmdRLUp = nullptr;
    QPushButton* cmdRLDown = nullptr;
    QLineEdit* txtDelimiter = nullptr;
    QLineEdit* txtFieldDelimiter = nullptr;
    QLineEdit* txtTextQualifier = nullptr;
    QLineEdit* txtDByteOffset = nullptr;
    QCheckBox* chkDFirstRowContainsFieldNames = nullptr;
    std::array<QPushButton*, 3> cmdGetStringRepresentation{};
    QPushButton* cmddone = nullptr;
    QPushButton* cmdRedraw = nullptr;
    QScrollBar* HScroll1 = nullptr;

    /// Shows the representation composer modally; tests replace it.
    std::function<void()> ShowComposer;

    /// Each showing starts from fresh snapshots: the ones of an earlier
    /// showing may belong to another file.
    void Form_Load();
    void Form_Activate();
    void FixScrollBar();
    void HighlightSelection(QLineEdit* box);
    void RefreshFixedProperties();
    void RefreshDelimitedProperties();
    void ViewFile();

    void txtRecordLength_Change();
    void txtRecordLength_Enter();
    void cmdRLUp_Click();
    void cmdRLDown_Click();
    void txtByteOffset_Change();
    void txtDByteOffset_Change();
    void txtDelimiter_Change();
    void txtFieldDelimiter_Change();
    void txtTextQualifier_Change();
    void chkFLFirstRowContainsFieldNames_Click();
    void chkDFirstRowContainsFieldNames_Click();
    void cboDatabaseType_Click();
    void cboRecordFormat_Click();
    void HScroll1_Change();
    void SSTab1_Click(int tab);
    void cmdRedraw_Click();
    void cmdGetStringRepresentation_Click(int index);
    void cmddone_Click();

    /// The snapshots of the tab last left (for tests of the round trip).
    const data::Connection& FixedSnapshot() const { return fixedSnapshot_; }
    const data::Connection& DelimitedSnapshot() const { return delimitedSnapshot_; }

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QWidget* BuildFixedTab();
    QWidget* BuildDelimitedTab();
    void ConnectHandlers();
    void SelectDatabaseType();
    /// Shows the record format in force; variable records have no length
    /// to type (the box shows the longest record met).
    void ShowRecordFormat();
    void StepRecordLength(int step);
    void NameFieldsFromFirstRecord();
    void SwitchToFixed();
    void SwitchToDelimited();
    std::array<QLineEdit*, 3> DelimiterBoxes() const;
    /// Tells the user about the first delimiter box holding a text that
    /// cannot be read; false when every box reads.
    bool SayUnreadable();
    data::Connection& Conn();

    ViewerHost& viewer_;
    bool LoadingControls = false;
    data::Connection fixedSnapshot_;
    data::Connection delimitedSnapshot_;
    // The field layout goes with each kind's settings: leaving a kind and
    // coming back restores both.
    data::Fields fixedFields_;
    data::Fields delimitedFields_;
};

}  // namespace velmor::editors
