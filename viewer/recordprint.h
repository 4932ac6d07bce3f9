// Printing the record dump, and the sibling programs of the Launch menu.
#pragma once

#include <QString>
#include <QStringList>
#include <string>
#include <vector>

#include "viewer/recordtext.h"

class QPrinter;

namespace velmor::viewer {

/// The record dump's lines as printed: the record's bytes one character per
/// position in the viewer's encoding, the other lines as the UTF-8 they are.
QStringList DumpText(const std::vector<std::string>& lines, DisplayEncoding encoding);

/// Prints Lines as the record dump is printed: landscape, "Courier New" 10
/// point (a monospaced font of that size where it is missing), every line
/// 1.15 inch from the left, the first 0.2 inch from the top, a new page when
/// one is full. False when the printer could not be started.
bool PrintDump(QPrinter& printer, const QStringList& lines);

/// Where the sibling programs are looked for, and which of them apply.
struct SiblingTools {
    /// "/opt/Velmor/Data" for a program folder whose path, upper-cased,
    /// contains "DATAPROCESSING"; otherwise the program folder.
    static QString ToolsPathFor(const QString& programFolder);

    QString toolsPath;
    QString reformat() const { return toolsPath + QStringLiteral("/Velmor_Reformat"); }
    QString match() const { return toolsPath + QStringLiteral("/Velmor_Match"); }
    bool HasReformat() const;
    bool HasMatch() const;

    /// The script a match or reformat output came from: the file's folder,
    /// its title without the last character, ".VelmorBasic".
    static QString ParentScript(const QString& filePath, const QString& fileTitle);
    /// The upper-cased last-but-one character of the title ("M" for ORDERSM1),
    /// or a null character for a shorter title.
    static QChar ParentKind(const QString& fileTitle);

    struct MenuState {
        bool launch = false;
        bool reformat = false;
        bool match = false;
        bool parentProcess = false;
    };
    /// What the Launch menu shows for the open file ("" when none).
    MenuState Evaluate(const QString& pathAndName, const QString& filePath,
                       const QString& fileTitle) const;

    /// The program that reruns the parent script, or "" when the title names
    /// no sibling's output.
    QString ParentProgram(const QString& fileTitle) const;
};

}  // namespace velmor::viewer
