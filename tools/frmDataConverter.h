// The data converter: turns the viewer's open file into a file of another
// type through the engine's Converter, and writes the conversion down as a
// script beside the file. That script is also the converter's saved
// settings: opening the window runs it with its conversion line switched
// off. Script texts come from datatools/conversionscript, the matching of
// settings against the file types from converterrules.
#pragma once

#include <QDialog>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <string>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

namespace velmor::basic {
class Interpreter;
}
namespace velmor::data {
class Converter;
}

namespace velmor::tools {

class ToolHost;

class frmDataConverter : public QDialog {
    Q_OBJECT
public:
    explicit frmDataConverter(ToolHost& viewer, QWidget* parent = nullptr);
    ~frmDataConverter() override;

    QLabel* lblFileTypes = nullptr;
    QComboBox* cboFileTypes = nullptr;
    QLabel* lblFileExtension = nullptr;
    QLineEdit* txtFileExtension = nullptr;
    QPushButton* cmdAdvanced = nullptr;
    QPushButton* cmdConvert = nullptr;
    QGroupBox* fraDataBaseType = nullptr;
    QRadioButton* optisDelimited = nullptr;
    QRadioButton* optisFixed = nullptr;
    QGroupBox* fraDelimitedProperties = nullptr;
    QCheckBox* chkDFirstRecordContainsFieldNames = nullptr;
    QLineEdit* txtRecordDelimiterRepresentation = nullptr;
    QLineEdit* txtFieldDelimiterRepresentation = nullptr;
    QLineEdit* txtTextQualifierRepresentation = nullptr;
    std::array<QPushButton*, 3> cmdGetStringRepresentation{};
    QGroupBox* fraFixedProperties = nullptr;
    QCheckBox* chkFLFirstRecordContainsFieldNames = nullptr;
    QProgressBar* prgConvert = nullptr;
    QPushButton* cmdCancel = nullptr;

    /// Shows the representation composer; tests replace it.
    std::function<void()> ShowComposer;

    /// P + T + "C.VelmorBasic" of the viewer's open file.
    QString ScriptPathAndName() const;
    const data::Converter& Converter() const { return *mConverter; }
    /// True while the settings part of the window is shown.
    bool ShowingSettings() const { return mShowingSettings; }

    void Form_Load();
    void Form_Activate();
    void RestoreSavedSettings();
    void ShowSettings();
    void ShowHeaderSetting();
    /// Offers to save the layout the viewer shows when the source would be
    /// read otherwise; false when the user cancels. Carried := the layout the
    /// conversion and its script then use (data::CarriedConnection).
    bool SaveLayoutShown(const std::string& source, std::string& carried);
    bool MatchFileTypes();
    void cboFileTypes_Click();
    void txtRepresentation_Change(int index);
    void txtFileExtension_Change();
    void chkFirstRecordContainsFieldNames_Click(QCheckBox* box);
    void optisFixed_Click();
    void optisDelimited_Click();
    void cmdGetStringRepresentation_Click(int index);
    void cmdAdvanced_Click();
    void cmdConvert_Click();
    void cmdCancel_Click();

protected:
    void changeEvent(QEvent* event) override;

private:
    void BuildControls();
    void ConnectHandlers();
    void FillFileTypes();
    void ShowShort(bool shortWindow);
    bool WriteScript();
    void ShowFailure(const std::string& description);
    int Twips(int twips) const;

    ToolHost& mViewer;
    std::shared_ptr<data::Converter> mConverter;
    std::unique_ptr<basic::Interpreter> mproc;
    bool mError = false;
    bool mLoading = false;
    bool mSync = false;
    bool mKeepSettings = false;
    bool mShowingSettings = false;
    bool mConverting = false;
    bool mCancelConvert = false;
};

}  // namespace velmor::tools
