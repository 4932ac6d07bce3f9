// The record search window: one field of the layout, a search text, and
// Find First / Find Next through the engine's Find; the viewer moves to
// each record found. Modeless; it hides when it loses the focus and the
// viewer brings it back when the viewer is activated.
#pragma once

#include <QDialog>
#include <cstdint>

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace velmor {

class frmFileView;

class frmFind2 : public QDialog {
public:
    explicit frmFind2(frmFileView& viewer);

    void RefreshFields();
    void cmdFind_Click();
    void cmdFindNext_Click();
    void txtSearchPhrase_KeyUp(int key);
    void Form_Activate();
    void Form_LostFocus();
    /// Hidden because the program lost the focus, not because the user went
    /// to the viewer: the viewer shows it again when it is activated.
    bool ComesBackWithViewer() const;

    QListWidget* lstFields = nullptr;
    QLabel* lblSearchText = nullptr;
    QLineEdit* txtSearchPhrase = nullptr;
    QPushButton* cmdFind = nullptr;
    QPushButton* cmdFindNext = nullptr;

    std::int64_t mPosition = 0;  ///< where the next search goes on; 0 from the start
    bool mStaysHidden = false;   ///< hidden for the viewer: shown again only from its menu

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    /// The record found from the search position, 0 when none or cancelled
    /// (Cancelled then says so).
    std::int64_t Search(bool& cancelled);
    void SetButtonsEnabled(bool enabled);

    frmFileView& mViewer;
    bool mBusy = false;
};

/// Registers the window on the viewer's "&Search..." item: created on first
/// use, shown modeless, reused until it is closed.
void RegisterSearchWindow(frmFileView& viewer);

}  // namespace velmor
