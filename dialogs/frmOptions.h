// The options window: the program's switches and folders ("Look And Feel")
// and the user's file-type groups with their extensions and record settings
// ("File Types"). Edits the settings and profile lists in memory.
#pragma once

#include <QDialog>
#include <array>
#include <functional>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace velmor {

struct ConnectionProfile;

class frmOptions : public QDialog {
public:
    explicit frmOptions(QWidget* parent = nullptr);
    ~frmOptions() override;

    /// Shows the representation composer, which exchanges its text through
    /// Global::StringRepresentation; set by whoever opens this window.
    std::function<void()> ShowComposer;

    void RefreshScreen();
    void RefreshExtensions();
    void SelectFrame();
    void SSTab1_Click(int tab);

    void chkPromptToSaveChanges_Click();
    void txtTempFolderPath_Change();
    void chkStoreConnectionAndIndexingFilesInDataPath_Click();
    void txtSecondaryConnectionAndIndexingPath_Change();
    void chkCreateFormatFileDuringSave_Click();

    void cboName_Click();
    void cboName_Change(const QString& text);
    void cboName_Enter();
    void cboName_LostFocus();
    void txtRecordLength_Change();
    void txtByteOffset_Change();
    void txtDelimiter_Change();
    void txtFieldDelimiter_Change();
    void txtTextQualifier_Change();
    void chkFirstRowContainsFieldNames_Click(QCheckBox* box);
    void cmdGetStringRepresentation_Click(int index);
    void cmdAdd_Click();
    void cmdRemove_Click();
    void cmdAddExt_Click();
    void cmdRemoveExt_Click();
    /// What closing runs: a pending name is stored; after a change to the
    /// groups the shell registration and the derived lists are redone. Once.
    void Form_Unload();

    QTabWidget* SSTab1 = nullptr;
    QCheckBox* chkPromptToSaveChanges = nullptr;
    QLineEdit* txtTempFolderPath = nullptr;
    QCheckBox* chkStoreConnectionAndIndexingFilesInDataPath = nullptr;
    QLineEdit* txtSecondaryConnectionAndIndexingPath = nullptr;
    QCheckBox* chkCreateFormatFileDuringSave = nullptr;

    QComboBox* cboName = nullptr;
    QGroupBox* freProperties = nullptr;
    QListWidget* lstExtensions = nullptr;
    QRadioButton* optFixed = nullptr;
    QRadioButton* optDelimited = nullptr;
    QGroupBox* freFixed = nullptr;
    QGroupBox* freDelimited = nullptr;
    QLineEdit* txtRecordLength = nullptr;
    QLineEdit* txtByteOffset = nullptr;
    QCheckBox* chkFLFirstRowContainsFieldNames = nullptr;
    QCheckBox* chkDFirstRowContainsFieldNames = nullptr;
    QLineEdit* txtDelimiter = nullptr;
    QLineEdit* txtFieldDelimiter = nullptr;
    QLineEdit* txtTextQualifier = nullptr;
    std::array<QPushButton*, 3> cmdGetStringRepresentation{};
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdRemove = nullptr;
    QPushButton* cmdAddExt = nullptr;
    QPushButton* cmdRemoveExt = nullptr;

    bool LoadingControls = false;
    int SelectedGroup = 0;  ///< 1-based into Connections; 0 when none
    QString PendingGroupName;
    bool GroupsChanged = false;

protected:
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    /// Growing for the delimited settings, the window stays on the screen.
    void resizeEvent(QResizeEvent* event) override;

private:
    QWidget* BuildLookAndFeel();
    QWidget* BuildFileTypes();
    QWidget* BuildFixedFrame();
    QWidget* BuildDelimitedFrame();
    void ConnectHandlers();
    void SetKind(bool fixed, bool delimited);
    void StorePendingName();
    void StoreGroupName(const QString& name);
    /// The profile shown, or nullptr while no group is selected.
    ConnectionProfile* Group();

    bool mUnloaded = false;
};

}  // namespace velmor
