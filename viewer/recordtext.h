// Texts the grid shows: a record's cells, the column ruler, and the display
// line of a delimited record.
#pragma once

#include <QFontMetrics>
#include <QString>
#include <QtGlobal>
#include <string>
#include <string_view>
#include <vector>

namespace velmor::viewer {

/// A record's bytes as grid cells: every CR LF pair removed, then every
/// code below 30 shown as a space.
std::string CellText(std::string text);

/// The ruler over columns First..Last: as many lines as Last has digits,
/// joined with CR LF. Higher digits only above multiples of ten, never as
/// leading zeros.
std::string BuildByteBarText(qint64 first, qint64 last, int& lineCount);

/// One field of a delimited record as the field-name view lays it out.
struct FieldCell {
    std::string value;
    qint64 length = 0;
};

/// The line shown for a delimited record: the fields side by side, each cut
/// or padded to its length, or the raw text padded to RecordLength.
std::string DelimitedDisplayLine(const std::string& raw, bool showFieldNames,
                                 const std::vector<FieldCell>& fields, qint64 recordLength);

/// Characters First..Last (1-based) of Line; shorter when the line ends.
std::string ColumnRange(const std::string& line, qint64 first, qint64 last);

/// How a file's bytes become characters on screen, in the search window and
/// in the printed dump. Whatever the choice, every byte keeps its own cell,
/// so columns, the byte bar and positions stay those of the bytes.
enum class DisplayEncoding {
    Windows1252,  ///< one character per byte
    Latin1,       ///< one character per byte, for the engine's EBCDIC translation
    Utf8,         ///< a character in the cell of its first byte
};

/// UTF-8 when Sample (the file's first bytes) is valid UTF-8 holding at least
/// one character of more than one byte (a character cut by the sample's end
/// counts as valid); otherwise Windows-1252, or Latin-1 for an EBCDIC file.
DisplayEncoding ChooseDisplayEncoding(std::string_view sample, bool ebcdic);

/// One character per byte cell of Bytes. In UTF-8 each character stands in
/// the cell of its first byte and the cells of its other bytes hold spaces;
/// continuation bytes at the very start belong to a character drawn before
/// them and are spaces too; a byte that begins no valid character stands for
/// itself (as Latin-1). Bytes may run on past the cells a caller draws, so
/// that a character begun in the last cell is complete.
std::u32string DisplayCells(std::string_view bytes, DisplayEncoding encoding);

/// Bytes as plain text (field names, values in lists, printed lines): the
/// characters of DisplayCells without the spaces of continuation bytes.
QString DisplayText(std::string_view bytes, DisplayEncoding encoding);

/// A field name in a column Width pixels wide: whole when it fits, else its
/// beginning elided at the end (never a middle cut from both sides).
struct LabelFit {
    QString text;
    bool whole = true;
};
LabelFit FitLabel(const QString& name, const QFontMetrics& metrics, int width);

}  // namespace velmor::viewer
