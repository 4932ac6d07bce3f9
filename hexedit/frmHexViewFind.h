// Find and replace of a byte sequence in the file of the hex view: the
// texts are read as hex lists or as characters, and the search itself is
// the hex view's SearchAndOrReplace.
#pragma once

#include <QDialog>
#include <cstdint>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace velmor::hexedit {

class frmHexView;

class frmHexViewFind : public QDialog {
    Q_OBJECT
public:
    explicit frmHexViewFind(frmHexView& view, QWidget* parent = nullptr);

    void cmdFind_Click();
    void txtFind_Change();
    void txtReplace_Change();

    QLabel* lblFind = nullptr;
    QLineEdit* txtFind = nullptr;
    QLabel* lblReplace = nullptr;
    QLineEdit* txtReplace = nullptr;
    QRadioButton* OptHex = nullptr;
    QRadioButton* OptCHR = nullptr;
    QPushButton* cmdFind = nullptr;

    std::int64_t LastMatch = 0;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateFindCaption();
    static bool IsValidHexList(const QString& text);
    /// False after the conversion's failure was shown.
    static bool HexListToText(const QString& text, std::string& bytes);
    /// The bytes a box stands for; false when the user was told why not.
    bool BytesOf(const QString& text, std::string& bytes) const;

    frmHexView& mView;
};

}  // namespace velmor::hexedit
