#include "dialogs/frmTip.h"

#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/global.h"
#include "app/textdecoding.h"

namespace velmor {

namespace {
const QString kTipsFile = QStringLiteral("TIPOFDAY.TXT");
}

QString frmTip::MissingFileText() {
    return QStringLiteral("That the ") + kTipsFile + QStringLiteral(" file was not found? ") +
           QStringLiteral("\n\n") + QStringLiteral("Create a text file named ") + kTipsFile +
           QStringLiteral(" using NotePad with 1 tip per line. ") +
           QStringLiteral("Then place it in the same directory as the application. ");
}

frmTip::frmTip(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmTip"));
    setWindowTitle(QStringLiteral("Tip of the Day"));
    auto* heading = new QLabel(QStringLiteral("Did you know..."), this);
    QFont bold = heading->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.3);
    heading->setFont(bold);
    lblTipText = new QLabel(this);
    lblTipText->setObjectName(QStringLiteral("lblTipText"));
    lblTipText->setWordWrap(true);
    // A tip is the line as written, never markup.
    lblTipText->setTextFormat(Qt::PlainText);
    lblTipText->setMinimumSize(360, 120);
    lblTipText->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    chkLoadTipsAtStartup = new QCheckBox(QStringLiteral("&Show Tips at Startup"), this);
    chkLoadTipsAtStartup->setObjectName(QStringLiteral("chkLoadTipsAtStartup"));
    cmdNextTip = new QPushButton(QStringLiteral("&Next Tip"), this);
    cmdNextTip->setObjectName(QStringLiteral("cmdNextTip"));
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(chkLoadTipsAtStartup);
    buttons->addStretch();
    buttons->addWidget(cmdNextTip);
    buttons->addWidget(cmdOK);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading);
    layout->addWidget(lblTipText, 1);
    layout->addLayout(buttons);
    connect(cmdNextTip, &QPushButton::clicked, this, [this] { cmdNextTip_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });

    chkLoadTipsAtStartup->setChecked(true);
    mRandom.seed(static_cast<std::mt19937::result_type>(QDateTime::currentMSecsSinceEpoch()));
    if (!LoadTips(Global::ProgramFile(kTipsFile)))
        lblTipText->setText(MissingFileText());
}

bool frmTip::LoadTips(const QString& pathAndName) {
    if (pathAndName.isEmpty() || !QFileInfo(pathAndName).isFile()) return false;
    QFile f(pathAndName);
    if (!f.open(QIODevice::ReadOnly)) return false;
    mTips.clear();
    const QString text = DecodeText(f.readAll());
    QStringList lines = text.split(QLatin1Char('\n'));
    if (text.isEmpty() || text.endsWith(QLatin1Char('\n'))) lines.removeLast();
    for (QString& line : lines) {
        if (line.endsWith(QLatin1Char('\r'))) line.chop(1);
        mTips.append(line);
    }
    DoNextTip();
    return true;
}

void frmTip::DoNextTip() {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    mCurrentTip = static_cast<qint64>(unit(mRandom) * static_cast<double>(mTips.size()) + 1);
    if (mTips.isEmpty()) return;
    mCurrentTip = std::min<qint64>(mCurrentTip, mTips.size());
    lblTipText->setText(mTips.at(mCurrentTip - 1));
}

}  // namespace velmor
