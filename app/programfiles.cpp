// Files the program ships: found beside the executable in a build, or in
// the shared-data folder an install puts them in.
#include <QFileInfo>
#include <QIcon>

#include "app/global.h"

#ifndef VELMOR_SHARED_FROM_BIN
#define VELMOR_SHARED_FROM_BIN "../share/velmor_dravik"
#endif

namespace velmor::Global {

QString ProgramFile(const QString& name) {
    const QString beside = ProgramFolder() + QLatin1Char('/') + name;
    if (QFileInfo::exists(beside)) return beside;
    const QString installed = ProgramFolder() + QStringLiteral("/" VELMOR_SHARED_FROM_BIN "/") + name;
    return QFileInfo::exists(installed) ? QFileInfo(installed).canonicalFilePath() : beside;
}

QIcon ProgramIcon() {
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/velmor/icons/hicolor/%1x%1/apps/velmor_dravik.png").arg(size),
                     QSize(size, size));
    return icon;
}

}  // namespace velmor::Global
