// The layout converter: the open file's field layout as a standard layout
// listing, a record type declaration or a format file, cased, printed or
// saved. The text itself comes from datatools/layoutreport.
#pragma once

#include <QDialog>
#include <QString>
#include <string>

#include "datatools/layoutreport.h"

class QAction;
class QActionGroup;
class QMenu;
class QMenuBar;
class QPlainTextEdit;

namespace velmor::tools {

class ToolHost;

class frmLayoutConverter : public QDialog {
    Q_OBJECT
public:
    explicit frmLayoutConverter(ToolHost& viewer, QWidget* parent = nullptr);

    QMenuBar* menuBar = nullptr;
    QMenu* mnufile = nullptr;
    QAction* mnuSaveAs = nullptr;
    QAction* mnuprint = nullptr;
    QMenu* mnutypes = nullptr;
    QAction* mnustandardlayout = nullptr;
    QAction* mnutypestatement = nullptr;
    QAction* mnuformatfile = nullptr;
    QMenu* mnucasing = nullptr;
    QAction* mnuupper = nullptr;
    QAction* mnulower = nullptr;
    QAction* mnuproper = nullptr;
    QAction* mnunone = nullptr;
    QPlainTextEdit* txtOutput = nullptr;

    /// When set, the printer chosen prints into this PDF file.
    QString PrintToFile;

    void Form_Load();
    void Redraw();
    void DrawStandardLayout();
    void DrawFormatFile();
    void DrawTypeStatement();
    void ResizeTextBox();
    void mnuSaveAs_Click();
    void mnuprint_Click();
    /// Marks an item of "&Layout Type" or "&Casing" and redraws.
    void ChooseItem(QAction* item);

    datatools::LayoutType MarkedType() const;
    datatools::Casing MarkedCasing() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void Show(const std::string& text);
    /// The box's text as bytes: exactly what was drawn unless the user edited it.
    std::string BoxBytes() const;
    int Twips(int twips, bool vertical) const;

    ToolHost& mViewer;
    std::string mDrawn;  ///< the last text drawn, as bytes
};

}  // namespace velmor::tools
