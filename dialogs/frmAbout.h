// The about box: the program's name and version, and a link to its maker.
#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

namespace velmor {

class frmAbout : public QDialog {
public:
    explicit frmAbout(QWidget* parent = nullptr);

    static QString ProgramTitle();
    static QString MakerAddress();

    void lblLink_Click();
    /// The link turns magenta under the mouse and blue again over the window.
    void SetLinkHot(bool hot);

    QLabel* lblTitle = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblDescription = nullptr;
    QLabel* lblLink = nullptr;
    QLabel* picIcon = nullptr;
    QPushButton* cmdOK = nullptr;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace velmor
