// The field-definition editor: names, starting positions, lengths and ending
// positions of the fields of a record, edited straight in the engine's layout
// with the viewer behind redrawn as the preview.
#pragma once

#include <QDialog>
#include <functional>
#include <optional>
#include <string>

class QAction;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QMenuBar;
class QPushButton;
class QRadioButton;
class QScrollBar;

namespace velmor::data {
class Field;
class File;
}  // namespace velmor::data

namespace velmor::editors {

class ViewerHost;

class frmDKFields : public QDialog {
    Q_OBJECT
public:
    explicit frmDKFields(ViewerHost& viewer, QWidget* parent = nullptr);
    ~frmDKFields() override;

    QMenuBar* menuBar = nullptr;
    QAction* mnuImportFields = nullptr;
    QAction* mnuLayoutConverter = nullptr;
    QListWidget* lstfieldname = nullptr;
    QPushButton* cmdnewfield = nullptr;
    QPushButton* cmdInsertField = nullptr;
    QPushButton* cmdrename = nullptr;
    QPushButton* cmdSplit = nullptr;
    QPushButton* cmdDeleteField = nullptr;
    QPushButton* cmdOK = nullptr;
    QGroupBox* freFieldProperties = nullptr;
    QLineEdit* txtstartingposition = nullptr;
    QLineEdit* txtlength = nullptr;
    QLineEdit* txtEndingPosition = nullptr;
    QGroupBox* freViewerMargin = nullptr;
    QRadioButton* optShowByteBar = nullptr;
    QRadioButton* optShowFieldNames = nullptr;
    QScrollBar* HScroll1 = nullptr;

    /// Shows the layout converter modally; while unset its menu item stays
    /// disabled.
    void SetLayoutConverter(std::function<void()> show);

    void Form_Activate();
    void RefreshScreen();
    void RefreshFieldProperties();
    void SetupScrollBar();
    void HighlightSelection(QLineEdit* box);
    std::string FormatFileName() const;

    void lstfieldname_Click();
    void txtstartingposition_Change();
    void txtlength_Change();
    void txtEndingPosition_Change();
    void txtlength_Enter();
    void txtEndingPosition_Enter();
    void cmdnewfield_Click();
    void cmdInsertField_Click();
    void cmdrename_Click();
    void cmdSplit_Click();
    void cmdDeleteField_Click();
    void optShowByteBar_Click();
    void optShowFieldNames_Click();
    void HScroll1_Change();
    void mnuImportFields_Click();
    void mnuLayoutConverter_Click();
    void cmdOK_Click();

    void done(int result) override;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildControls();
    void ConnectHandlers();
    /// The asked name; nullopt when the user gave none or kept the field's
    /// own name.
    std::optional<std::string> AskFieldName(int index);
    /// Index of the field the selected row carries, 0 with no row selected.
    int SelectedField() const;
    data::Field* SelectedFieldItem();
    void SelectRow(int row);
    /// Takes the layout of a COBOL copybook, or shows why it cannot.
    void ImportCopybook(const std::string& path);
    void SetBox(QLineEdit* box, long long value);
    long long BoxNumber(const QLineEdit* box) const;
    void AfterReorder(int row);
    data::File& File();

    ViewerHost& viewer_;
    bool LoadingControls = false;
    std::function<void()> layoutConverter_;
};

}  // namespace velmor::editors
