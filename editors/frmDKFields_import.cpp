// "Import Fields...": a script or a COBOL copybook defines the layout.
#include <QApplication>
#include <QFile>
#include <fstream>
#include <sstream>

#include "app/userprompt.h"
#include "data/copybookfields.h"
#include "data/file.h"
#include "editors/fieldimport.h"
#include "editors/frmDKFields.h"
#include "editors/textbytes.h"
#include "editors/viewerhost.h"

namespace velmor::editors {

void frmDKFields::mnuImportFields_Click() {
    UserPrompt::FileRequest request;
    request.folder = QFile::decodeName(QByteArray::fromStdString(File().FilePath()));
    request.filter =
        QStringLiteral("Velmor Basic Scripts|*.VelmorBasic|COBOL Copybooks|*.cpy;*.cob;*.cbl");
    const QString script = Prompt().OpenFile(request);
    if (script.isEmpty()) return;
    const std::string path = QFile::encodeName(script).toStdString();
    if (data::IsCopybookName(path)) {
        ImportCopybook(path);
        return;
    }

    QApplication::setOverrideCursor(Qt::WaitCursor);
    const auto reportError = [](const std::string& description, int lineNumber) {
        Prompt().Message(FromBytes(description),
                         QStringLiteral("Line Number: ") + QString::number(lineNumber),
                         UserPrompt::Buttons::Ok, UserPrompt::Icon::Critical);
    };
    const FieldImport::Outcome outcome =
        FieldImport::Run(QFile::encodeName(script).toStdString(), File().GetFields(), reportError);
    QApplication::restoreOverrideCursor();

    if (outcome == FieldImport::Outcome::Taken) {
        RefreshScreen();
    } else if (outcome == FieldImport::Outcome::NoFile) {
        Prompt().Message(QStringLiteral("The script created no Velmor_Data.File object, so there "
                                        "are no fields to import. The layout is unchanged."),
                         QString(), UserPrompt::Buttons::Ok, UserPrompt::Icon::Information);
    }
}

void frmDKFields::ImportCopybook(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    std::string error;
    std::vector<std::string> notes;
    if (!in || !data::ImportCopybook(text.str(), {}, File().GetFields(), error, notes)) {
        if (error.empty()) error = "it cannot be read";
        Prompt().Message(QStringLiteral("The copybook cannot be used: ") + FromBytes(error) +
                             QStringLiteral(". The layout is unchanged."),
                         QStringLiteral("Import Fields"), UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Critical);
        return;
    }
    RefreshScreen();
    QString remarks;
    for (const std::string& note : notes) remarks += FromBytes(note) + QLatin1Char('\n');
    if (!remarks.isEmpty())
        Prompt().Message(remarks.trimmed(), QStringLiteral("Import Fields"), UserPrompt::Buttons::Ok,
                         UserPrompt::Icon::Information);
}

}  // namespace velmor::editors
