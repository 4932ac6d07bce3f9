// The main window: the open data file as a grid of record lines composed
// from four cached tiles, its navigation, the ruler or field-name strip and
// the menus that open every other window.
#pragma once

#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <array>
#include <functional>
#include <map>
#include <memory>
#include <vector>

#include "data/file.h"
#include "viewer/recordsource.h"
#include "viewer/slidedrawer.h"
#include "viewer/slides.h"
#include "viewer/viewerwidgets.h"
#include "viewer/viewgeometry.h"

class QAction;
class QDialog;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressDialog;
class QScrollBar;
class QTimer;
class QToolButton;

namespace velmor {

class frmFileView : public QMainWindow {
public:
    explicit frmFileView(QWidget* parent = nullptr);
    ~frmFileView() override;

    // ---- what other windows use ----
    data::File& File() { return *mFile; }
    bool AddFile(const QString& pathAndName);
    void RefreshView();
    void ResizeContainer();
    void EraseSlides();
    void MoveTo(qint64 record);
    /// How the open file's bytes are shown; windows that show record text
    /// (search, printing) pass it to viewer::DisplayText or DisplayCells.
    viewer::DisplayEncoding TextEncoding() const { return mDrawer->Encoding(); }

    /// Lets another window be opened from the menu item MenuName (its
    /// object name, e.g. "mnudataconnection"); the item is enabled from then.
    void SetWindowOpener(const QString& menuName, std::function<void()> open);
    /// Other windows register themselves so that the viewer lists them and
    /// closes them when it ends.
    void RegisterWindow(QWidget* window);
    void UnloadOtherWindows();

    /// How modal windows are shown; tests replace it so nothing blocks.
    static std::function<void(QDialog&)> ShowModal;

    // ---- start-up and the file's lifecycle ----
    void Form_Load(bool commandLineEmpty);
    void Form_KeyDown(int key, Qt::KeyboardModifiers modifiers);
    bool ConfirmSaveConnection();
    void ShowHideControls();
    void UpdateCaption();
    void UpdateLaunchMenu();
    void DropFiles(const QStringList& paths);
    void Timer1_Timer();

    // ---- menu handlers ----
    void mnuAddDataFile_Click();
    void mnuSaveDataConnection_Click();
    void mnuclose_Click();
    void mnuexit_Click();
    void mnuLaunchConnectionWizard_Click();
    void mnuabout_Click();
    void mnuByteBar_Click();
    void mnuFieldNames_Click();
    void mnuprintrecord_Click();
    void mnuReformat_Click();
    void mnuMatch_Click();
    void mnuParentProcess_Click();
    void mnuUtf8_Click();

    // ---- navigation ----
    void PositionView(qint64& record, qint64& column, bool keepRow);
    void SetupScrollBars();
    void ShowVScroll(bool visible);
    void HScroll1_Change(int value);
    void VScroll1_Change(int value);
    /// The vertical bar's arrows and page area move by records, not by the
    /// bar's scaled steps.
    void VScroll1_Action(int action);
    /// A wheel turn over the grid or the vertical bar.
    void WheelTurned(int angleDelta);
    void cmdFirstRecord_Click();
    void cmdBackOneRecord_Click();
    void cmdForwardOneRecord_Click();
    void cmdLastRecord_Click();
    void txtRecord_KeyPress(int key);
    void ImgS_MouseDown(int imageIndex, Qt::MouseButton button, int y);
    void pcttop_MouseDown(Qt::MouseButton button, QPoint position);

    // ---- engine events ----
    void mFile_Error(const std::string& description, bool& cancel);
    void mFile_ConnectionEstablished();
    void mFile_RecordNumberChanged(data::RecordNo& record);
    void mFile_RecordUpdated();

    // ---- rendering ----
    void ComposeView(const viewer::ViewRecord& view);
    void MoveRecordIndicator(qint64 row);
    void ShowFieldLabels();
    /// True when the connection tells how records are divided.
    bool DivisionSet() const;

    // ---- controls ----
    QWidget* central = nullptr;
    QWidget* pctContainer = nullptr;
    std::array<viewer::PressablePicture*, 5> ImgS{};  ///< 1..4
    QWidget* fraTop = nullptr;                        ///< clips the sliding strip
    viewer::PressablePicture* pcttop = nullptr;
    std::vector<QLabel*> lblFields;  ///< 0 is the template
    QWidget* pctLeft = nullptr;
    QLabel* pctRecordIndicator = nullptr;
    QFrame* FraRecordIndicator = nullptr;
    QLineEdit* txtRecord = nullptr;
    QToolButton* cmdFirstRecord = nullptr;
    QToolButton* cmdBackOneRecord = nullptr;
    QToolButton* cmdForwardOneRecord = nullptr;
    QToolButton* cmdLastRecord = nullptr;
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QWidget* pctSize = nullptr;
    QLabel* lblNoDivision = nullptr;
    QTimer* Timer1 = nullptr;

    QMenu* mnuFile = nullptr;
    QAction* mnuOptions = nullptr;
    QAction* mnudash1 = nullptr;
    QAction* mnuAddDataFile = nullptr;
    QAction* mnuSaveDataConnection = nullptr;
    QAction* mnuclose = nullptr;
    QAction* mnudash2 = nullptr;
    QAction* mnuexit = nullptr;
    QMenu* mnutools = nullptr;
    QAction* mnuLaunchConnectionWizard = nullptr;
    QAction* mnudataconnection = nullptr;
    QAction* mnufields = nullptr;
    QAction* mnuSep1 = nullptr;
    QAction* mnufindrecord = nullptr;
    QAction* mnuhexeditor = nullptr;
    QAction* mnusep3 = nullptr;
    QAction* mnuDataConverter = nullptr;
    QAction* mnuFieldCodeCounter = nullptr;
    QAction* mnuSep2 = nullptr;
    QMenu* mnuprint = nullptr;
    QAction* mnuprintrecord = nullptr;
    QMenu* mnuLaunch = nullptr;
    QAction* mnuParentProcess = nullptr;
    QAction* mnuReformat = nullptr;
    QAction* mnuMatch = nullptr;
    QMenu* mnuwindow = nullptr;
    QAction* mnuabout = nullptr;
    QMenu* mnuViewerTop = nullptr;
    QAction* mnuByteBar = nullptr;
    QAction* mnuFieldNames = nullptr;
    QAction* mnuUtf8 = nullptr;  ///< checked: the open file is shown as UTF-8

    // ---- state ----
    std::unique_ptr<data::File> mFile;
    viewer::EngineRecordSource mSource;
    viewer::SlideSet mSlides;
    std::unique_ptr<viewer::SlideDrawer> mDrawer;
    std::array<QPixmap, 5> mSlidePictures;    ///< by image index 1..4
    std::array<QPixmap, 5> mByteBarPictures;  ///< by image index 1..4
    viewer::ViewRecord mCurrentView;
    viewer::ScreenMetrics mScreen;
    qint64 mViewColumns = 0;
    qint64 mViewRecords = 0;
    qint64 mFirstRecord = 0;
    qint64 mLastRecord = 0;
    qint64 mCurrentRecord = 0;
    bool mBusy = false;
    bool mEngineError = false;
    QString ToolsPath;

protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void LayOut();
    void BuildMenus();
    void BuildControls();
    void ConnectEngine();
    void BuildDisplayMenu();
    /// Chooses the display for a file just opened; a reopened file keeps it.
    void SettleTextEncoding();
    QAction* AddItem(QMenu* menu, const QString& name, const QString& caption,
                     void (frmFileView::*handler)() = nullptr);
    QAction* AddSeparator(QMenu* menu, const QString& name);
    void OpenWindow(const QString& menuName);
    /// False when the user cancelled the question asked instead.
    bool SaveConnectionQuietly();
    void LaunchSibling(const QString& program, const QString& path);
    void ShowClosedState();
    void ShowEmptyGrid();
    void RebuildWindowMenu();
    void ShowNoDivision();
    void SetThumbs();
    void PasteByteBars();
    /// Moves to Move's target once pending input has been handled; moves
    /// asked for meanwhile only replace the target.
    void QueueMove(viewer::KeyMove move);
    void FlushMoves();
    void HideFieldLabels();
    void PlaceSlideImages();
    bool DrawSlide(viewer::Slide& slide);
    bool ReportProgress(std::int64_t done, std::int64_t total);
    void FinishProgress();
    qint64 ColumnH() const;
    int Px(double inches) const;
    int PxY(double inches) const;

    int mViewportTopPx = 0;
    int mViewportLeftPx = 0;
    int mLastHValue = 1;
    int mLastVValue = 1;
    double mHScale = 1.0;
    double mVScale = 1.0;
    bool mInPosition = false;
    bool mRetryingAfterError = false;
    std::string mLastError;
    bool mRefreshPending = false;
    bool mLayoutRedetected = false;  ///< the wizard replaced the layout; not yet saved
    viewer::PendingMove mPendingMove;
    int mWheelRemainder = 0;
    int mRefreshCount = 0;
    std::map<QString, std::function<void()>> mOpeners;
    std::vector<QPointer<QWidget>> mWindows;
    QPointer<QProgressDialog> mProgress;
    QPixmap mTopImage;
    std::string mEncodingPath;
    std::string mDrawnLayout;  ///< LayoutStamp of the tiles on screen  ///< the file the display choice belongs to
};

}  // namespace velmor
