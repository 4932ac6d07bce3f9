#include "viewer/connectionfiles.h"

#include <QList>
#include <filesystem>
#include <fstream>
#include <string>

#include "app/pathbytes.h"
#include "util/utilities.h"

namespace velmor::viewer {

namespace {
bool ReadLines(const QString& path, QList<QByteArray>& lines) {
    std::ifstream f(PathBytes(path), std::ios::binary);
    if (!f) return false;
    std::string text;
    while (std::getline(f, text)) {
        QByteArray line = QByteArray::fromStdString(text);
        while (line.endsWith('\n') || line.endsWith('\r')) line.chop(1);
        lines.append(line.toLower());
    }
    return true;
}
}  // namespace

QString TemporaryConnectionPath(const QString& connection) {
    std::string folder, name, extension;
    util::SplitPath(PathBytes(connection), folder, name, extension);
    return PathFromBytes(folder + "~" + name + "." + extension);
}

bool ConnectionFilesDiffer(const QString& a, const QString& b) {
    QList<QByteArray> left, right;
    if (!ReadLines(a, left) || !ReadLines(b, right)) return true;
    return left != right;
}

bool ReplaceConnectionFile(const QString& connection, const QString& scratch) {
    const std::string target = PathBytes(connection);
    std::error_code ec;
    if (std::filesystem::exists(target, ec))
        std::filesystem::permissions(target, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add, ec);
    ec.clear();
    std::filesystem::rename(PathBytes(scratch), target, ec);
    return !ec;
}

}  // namespace velmor::viewer
