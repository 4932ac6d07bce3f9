// The hex view: 256 bytes of the open data file from StartingByte, as hex
// digits and as characters, with one-cell edit boxes that write every byte
// typed straight into the file. Its arithmetic lives in HexCursor,
// HexBoxKeys and ScrollScale; every write goes through WriteByte.
#pragma once

#include <QDialog>
#include <QString>
#include <cstdint>
#include <functional>
#include <string>

#include "hexedit/hexboxkeys.h"
#include "hexedit/hexcursor.h"
#include "hexedit/hexpane.h"

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QMenuBar;
class QScrollBar;

namespace velmor::hexedit {

class HexViewHost;
class frmHexViewFind;

class frmHexView : public QDialog {
    Q_OBJECT
public:
    explicit frmHexView(HexViewHost& host, QWidget* parent = nullptr);
    ~frmHexView() override;

    // ---- what other windows use ----
    std::int64_t StartingByte() const { return mCursor.startingByte; }
    void SetStartingByte(double value);
    void PlaceTextBox(int& Row, int& Column);
    void ProcessCursorMovement(int& KeyCode);
    void RefreshHexBox();
    /// False when nothing could be written (refused or failed; a position
    /// past the end counts as done).
    bool UpdateCharacter(int& Row, int& Column, int& ASCIIValue);
    void SearchAndOrReplace(const std::string& FindString, const std::string& ReplaceString,
                            std::int64_t& BytePosition);
    HexViewHost& Host() { return mHost; }

    // ---- handlers ----
    void Form_Load();
    /// A key in the hex box: its navigation code (0 for none) and the
    /// character it types (0 for none).
    void txtHex_KeyPress(int key, char32_t character);
    void txtCHR_KeyDown(int key);
    void txtCHR_KeyPress(char32_t character);
    void pctHex_MouseDown(QPointF pixels);
    void pctCHR_MouseDown(QPointF pixels);
    void pctHex_DblClick();
    void VScroll1_Change(int value);
    void mnuPrintForm_Click();
    void mnuFind_Click();

    // ---- controls ----
    QMenuBar* menuBar = nullptr;
    QMenu* mnuTools = nullptr;
    QAction* mnuPrintForm = nullptr;
    QAction* mnuFind = nullptr;
    HexPane* pctHex = nullptr;
    HexPane* pctCHR = nullptr;
    QLineEdit* txtHex = nullptr;
    QLineEdit* txtCHR = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QLabel* lblStatus = nullptr;

    // ---- state ----
    HexCursor mCursor;
    CellGrid CellValues{};
    std::int64_t mFileLength = 0;
    std::int64_t mBytesRead = 0;  ///< every byte read from the file, for checks
    bool mRefreshing = false;
    ScrollScale mScale;

    /// Tests and batch printing: print to this PDF instead of a printer.
    static QString PrintToPdf;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void BuildControls();
    void LayOut();
    void DrawCell(int Column, int Row, int Value);
    void SelectOne(QLineEdit* box, int caret);
    /// The hex box's digits and selection as HexBoxKeys holds them.
    void ShowBoxes();
    void ClickPane(QPointF pixels, double cellWidthPx, QLineEdit* box);
    void ShowFailure(const std::string& description);
    double HexCellPx() const;
    double CellHeightPx() const;

    HexViewHost& mHost;
    HexBoxKeys mHexKeys;
    double mCharacterCellPx = 12;
    frmHexViewFind* mFind = nullptr;
};

}  // namespace velmor::hexedit
