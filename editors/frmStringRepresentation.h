// The composer of representation texts: the user picks characters from a
// table of all 256 codes and builds a text such as "CHR$(13) & CHR$(10)".
// It exchanges the text with its caller through Global::StringRepresentation.
#pragma once

#include <QDialog>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace velmor::editors {

class frmStringRepresentation : public QDialog {
    Q_OBJECT
public:
    explicit frmStringRepresentation(QWidget* parent = nullptr);

    QLabel* lblHeading = nullptr;
    QListWidget* lstCharacters = nullptr;
    QLineEdit* txtStringRepresentation = nullptr;
    QPushButton* cmdAdd = nullptr;
    QPushButton* cmdreplace = nullptr;
    QPushButton* cmddone = nullptr;

    void Form_Load();
    void Form_Activate();
    void txtStringRepresentation_Change();
    void cmdAdd_Click();
    void cmdreplace_Click();
    void cmddone_Click();

protected:
    void showEvent(QShowEvent* event) override;

private:
    std::string CollectSelectedCharacters();
};

}  // namespace velmor::editors
