// Small helpers shared by the engine's tests: writing data files and
// collecting what a File reports.
#pragma once

#include <iconv.h>

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

#include "data/file.h"

namespace enginetest {

inline bool WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
    return file.write(bytes) == bytes.size();
}

inline QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QString Str(const std::string& s) {
    return QString::fromLatin1(s.data(), static_cast<qsizetype>(s.size()));
}

/// A dBase III table with character fields of the given names and widths.
inline QByteArray DbaseTable(const QList<QPair<QByteArray, int>>& columns,
                             const QList<QStringList>& rows, int statedCount = -1,
                             bool endMarker = true) {
    int recordLength = 1;
    for (auto& c : columns) recordLength += c.second;
    int headerLength = 32 + 32 * static_cast<int>(columns.size()) + 1;
    int count = statedCount < 0 ? static_cast<int>(rows.size()) : statedCount;
    QByteArray out(32, '\0');
    out[0] = 0x03;
    out[1] = 124;
    out[2] = 5;
    out[3] = 17;
    for (int i = 0; i < 4; ++i) out[4 + i] = static_cast<char>((count >> (8 * i)) & 0xFF);
    out[8] = static_cast<char>(headerLength & 0xFF);
    out[9] = static_cast<char>(headerLength >> 8);
    out[10] = static_cast<char>(recordLength & 0xFF);
    out[11] = static_cast<char>(recordLength >> 8);
    for (auto& c : columns) {
        QByteArray d(32, '\0');
        d.replace(0, std::min<qsizetype>(c.first.size(), 10), c.first.left(10));
        d[11] = 'C';
        d[16] = static_cast<char>(c.second);
        out += d;
    }
    out += '\x0D';
    for (auto& row : rows) {
        out += ' ';
        for (int i = 0; i < columns.size(); ++i)
            out += row.value(i).toLatin1().leftJustified(columns[i].second, ' ', true);
    }
    if (endMarker) out += '\x1A';
    return out;
}

// Bytes converted with the C library's own tables.
inline QByteArray Iconv(const QByteArray& bytes, const char* from, const char* to) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return {};
    QByteArray in = bytes, out(bytes.size() * 4, '\0');
    char* src = in.data();
    char* dst = out.data();
    size_t left = static_cast<size_t>(in.size()), room = static_cast<size_t>(out.size());
    size_t done = iconv(cd, &src, &left, &dst, &room);
    iconv_close(cd);
    if (done == static_cast<size_t>(-1)) return {};
    out.truncate(out.size() - static_cast<qsizetype>(room));
    return out;
}

/// Every error description the file raised.
struct ErrorLog {
    QStringList messages;
    void Attach(velmor::data::File& file) {
        file.OnError = [this](const std::string& d, bool& cancel) {
            messages << Str(d);
            cancel = true;
        };
    }
};

/// velmor-data, built into the tests' own bin folder.
inline QString VelmorData() {
    const QDir here(QCoreApplication::applicationDirPath());
    for (const char* candidate : {"velmor-data", "../bin/velmor-data", "../../bin/velmor-data"})
        if (QFile::exists(here.filePath(candidate))) return here.filePath(candidate);
    return {};
}

struct CliResult {
    int status = -1;  // also when it hung or crashed
    QByteArray out, err;
};

inline CliResult RunVelmorData(const QStringList& args, int msecs = 60000) {
    QProcess p;
    p.start(VelmorData(), args);
    CliResult r;
    if (!p.waitForFinished(msecs)) return r;
    r.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = p.readAllStandardOutput();
    r.err = p.readAllStandardError();
    return r;
}

}  // namespace enginetest
