// Shared set-up of the window tests: a scripted prompt, no blocking modal
// windows, a scratch program folder and data files copied or generated
// there (connection files go to the test's own XDG data folder).
#pragma once

#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

#include "app/global.h"
#include "app/userprompt.h"
#include "viewer/frmFileView.h"

namespace viewertest {

struct Host {
    QTemporaryDir dir;
    velmor::ScriptedUserPrompt prompt;
    QStringList modal;

    Host() {
        velmor::Global::ResetState();
        velmor::Global::SetProgramFolder(dir.path());
        velmor::Global::Connections = velmor::Global::BuiltInProfiles();
        velmor::Global::MergeFileTypes();
        velmor::SetPrompt(&prompt);
        velmor::frmFileView::ShowModal = [this](QDialog& d) { modal << d.objectName(); };
    }
    ~Host() { velmor::SetPrompt(nullptr); }

    QString Copy(const QString& sample) {
        const QString target = dir.filePath(sample);
        QFile::remove(target);
        QFile::copy(QStringLiteral(VELMOR_SAMPLES) + QLatin1Char('/') + sample, target);
        QFile::setPermissions(target, QFile::permissions(target) | QFileDevice::WriteOwner);
        return target;
    }

    QString Write(const QString& name, const QByteArray& bytes) {
        const QString target = dir.filePath(name);
        QFile f(target);
        if (f.open(QIODevice::WriteOnly)) f.write(bytes);
        return target;
    }

    /// Fixed records of Width bytes plus CR LF; record n starts with its
    /// number, the rest repeats a letter.
    QString Fixed(const QString& name, int records, int width) {
        const QString target = dir.filePath(name);
        QFile f(target);
        if (!f.open(QIODevice::WriteOnly)) return {};
        for (int n = 1; n <= records; ++n) {
            QByteArray line = QByteArray::number(n).rightJustified(8, '0');
            line += QByteArray(width - 8, static_cast<char>('a' + n % 26));
            f.write(line + "\r\n");
        }
        return target;
    }

    std::unique_ptr<velmor::frmFileView> Window(const QString& file = {}) {
        auto w = std::make_unique<velmor::frmFileView>();
        w->resize(800, 600);
        w->show();
        if (!QTest::qWaitForWindowExposed(w.get())) qWarning("window not exposed");
        w->mDrawer->SetLogging(true);
        if (!file.isEmpty() && !w->AddFile(file)) qWarning("could not open %s", qPrintable(file));
        return w;
    }
};

/// The whole name a field label stands for: a name cut short keeps it as
/// its tooltip.
inline QString LabelName(const QLabel* label) {
    return label->toolTip().isEmpty() ? label->text() : label->toolTip();
}

inline void Key(velmor::frmFileView& w, int key, Qt::KeyboardModifiers m = Qt::NoModifier) {
    w.Form_KeyDown(key, m);
}

/// The texts drawn for Record, in drawing order.
inline QList<QByteArray> DrawnFor(velmor::frmFileView& w, qint64 record) {
    QList<QByteArray> out;
    for (const auto& t : w.mDrawer->Log())
        if (t.record == record) out << QByteArray::fromStdString(t.text);
    return out;
}

}  // namespace viewertest
