#include "viewer/connectionfiles.h"

#include <QList>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "app/pathbytes.h"
#include "util/safewrite.h"
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

bool ReplaceConnectionFile(const QString& connection, const QString& scratch, std::string& error) {
    // Through the safe writer, so a connection file the user made read-only
    // is refused, a link is followed and hard links and owner are kept.
    std::ifstream in(PathBytes(scratch), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const bool ok = in.good() || in.eof();
    in.close();
    const bool written = ok && util::WriteWholeFile(PathBytes(connection), bytes, error);
    std::error_code ec;
    std::filesystem::remove(PathBytes(scratch), ec);
    return written;
}

}  // namespace velmor::viewer
