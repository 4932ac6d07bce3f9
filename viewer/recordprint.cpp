#include "viewer/recordprint.h"

#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QPrinter>
#include <filesystem>

#include "app/pathbytes.h"
#include "data/recorddump.h"

namespace velmor::viewer {

namespace {

constexpr double kLeftInches = 1.15;
constexpr double kTopInches = 0.2;

QFont DumpFont() {
    QFont font(QStringLiteral("Courier New"), 10);
    font.setStyleHint(QFont::TypeWriter);
    font.setFixedPitch(true);
    if (!QFontInfo(font).fixedPitch()) {
        font = QFontDatabase::systemFont(QFontDatabase::FixedFont);
        font.setPointSize(10);
    }
    return font;
}

}  // namespace

QStringList DumpText(const std::vector<std::string>& lines, DisplayEncoding encoding) {
    QStringList text;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (data::RecordDump::IsRecordTextLine(i)) {
            const std::u32string cells = DisplayCells(lines[i], encoding);
            text << QString::fromUcs4(cells.data(), static_cast<qsizetype>(cells.size()));
        } else {
            // The file's name as the title shows it; the other lines are ASCII.
            text << DisplayPath(lines[i]);
        }
    }
    return text;
}

bool PrintDump(QPrinter& printer, const QStringList& lines) {
    printer.setPageOrientation(QPageLayout::Landscape);
    QPainter painter;
    if (!painter.begin(&printer)) return false;
    const QFont font = DumpFont();
    painter.setFont(QFont(font, painter.device()));
    const double dpiY = printer.resolution();
    const int left = static_cast<int>(kLeftInches * printer.resolution());
    const int top = static_cast<int>(kTopInches * dpiY);
    const QFontMetrics metrics = painter.fontMetrics();
    const int pageHeight = printer.pageLayout().paintRectPixels(printer.resolution()).height();
    int y = top;
    for (const QString& line : lines) {
        if (y + metrics.height() > pageHeight && y > top) {
            if (!printer.newPage()) return false;
            y = top;
        }
        painter.drawText(left, y + metrics.ascent(), line);
        y += metrics.height();
    }
    return painter.end();
}

QString SiblingTools::ToolsPathFor(const QString& programFolder) {
    if (programFolder.toUpper().contains(QStringLiteral("DATAPROCESSING")))
        return QStringLiteral("/opt/Velmor/Data");
    return programFolder;
}

bool SiblingTools::HasReformat() const {
    return QFileInfo(reformat()).isFile();
}

bool SiblingTools::HasMatch() const {
    return QFileInfo(match()).isFile();
}

QString SiblingTools::ParentScript(const QString& filePath, const QString& fileTitle) {
    return filePath + fileTitle.left(fileTitle.size() - 1) + QStringLiteral(".VelmorBasic");
}

QChar SiblingTools::ParentKind(const QString& fileTitle) {
    return fileTitle.size() >= 2 ? fileTitle.at(fileTitle.size() - 2).toUpper() : QChar();
}

SiblingTools::MenuState SiblingTools::Evaluate(const QString& pathAndName,
                                               const QString& filePath,
                                               const QString& fileTitle) const {
    MenuState state;
    if (pathAndName.isEmpty()) return state;
    state.reformat = HasReformat();
    state.match = HasMatch();
    state.launch = state.reformat || state.match;
    if (!state.launch) return state;
    const QChar kind = ParentKind(fileTitle);
    const bool sibling = (kind == QLatin1Char('M') && state.match) ||
                         (kind == QLatin1Char('R') && state.reformat);
    std::error_code ec;
    state.parentProcess =
        sibling &&
        std::filesystem::is_regular_file(PathBytes(ParentScript(filePath, fileTitle)), ec);
    return state;
}

QString SiblingTools::ParentProgram(const QString& fileTitle) const {
    const QChar kind = ParentKind(fileTitle);
    if (kind == QLatin1Char('R')) return reformat();
    if (kind == QLatin1Char('M')) return match();
    return {};
}

}  // namespace velmor::viewer
