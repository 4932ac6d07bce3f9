#include "viewer/connectionfiles.h"

#include <QFile>
#include <QList>
#include <filesystem>
#include <string>

#include "util/utilities.h"

namespace velmor::viewer {

namespace {
bool ReadLines(const QString& path, QList<QByteArray>& lines) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) return false;
    while (!f.atEnd()) {
        QByteArray line = f.readLine();
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        lines.append(line.toLower());
    }
    return true;
}
}  // namespace

QString TemporaryConnectionPath(const QString& connection) {
    std::string folder, name, extension;
    util::SplitPath(connection.toStdString(), folder, name, extension);
    return QString::fromStdString(folder + "~" + name + "." + extension);
}

bool ConnectionFilesDiffer(const QString& a, const QString& b) {
    QList<QByteArray> left, right;
    if (!ReadLines(a, left) || !ReadLines(b, right)) return true;
    return left != right;
}

bool ReplaceConnectionFile(const QString& connection, const QString& scratch) {
    QFile target(connection);
    if (target.exists()) target.setPermissions(target.permissions() | QFileDevice::WriteOwner);
    std::error_code ec;
    std::filesystem::rename(scratch.toStdString(), connection.toStdString(), ec);
    return !ec;
}

}  // namespace velmor::viewer
