// The tip of the day: one line of the tips file beside the program, shown
// when the program starts without a file.
#pragma once

#include <QDialog>
#include <QStringList>
#include <random>

class QCheckBox;
class QLabel;
class QPushButton;

namespace velmor {

class frmTip : public QDialog {
public:
    explicit frmTip(QWidget* parent = nullptr);

    /// Reads every line of the file as a tip and shows one at random;
    /// false when there is no such file.
    bool LoadTips(const QString& pathAndName);
    void DoNextTip();
    void cmdNextTip_Click() { DoNextTip(); }
    void cmdOK_Click() { accept(); }

    const QStringList& Tips() const { return mTips; }
    qint64 CurrentTip() const { return mCurrentTip; }

    static QString MissingFileText();

    QLabel* lblTipText = nullptr;
    QCheckBox* chkLoadTipsAtStartup = nullptr;
    QPushButton* cmdNextTip = nullptr;
    QPushButton* cmdOK = nullptr;

private:
    QStringList mTips;
    qint64 mCurrentTip = 0;
    std::mt19937 mRandom;
};

}  // namespace velmor
