// "Import Fields...": a script defines the layout.
#include <QApplication>
#include <QFile>

#include "app/userprompt.h"
#include "data/file.h"
#include "editors/fieldimport.h"
#include "editors/frmDKFields.h"
#include "editors/textbytes.h"
#include "editors/viewerhost.h"

namespace velmor::editors {

void frmDKFields::mnuImportFields_Click() {
    UserPrompt::FileRequest request;
    request.folder = QFile::decodeName(QByteArray::fromStdString(File().FilePath()));
    request.filter = QStringLiteral("Velmor Basic Scripts|*.VelmorBasic");
    const QString script = Prompt().OpenFile(request);
    if (script.isEmpty()) return;

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

}  // namespace velmor::editors
