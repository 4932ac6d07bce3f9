#include "dialogs/frmAbout.h"

#include <QEvent>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

#include "app/global.h"
#include "app/userprompt.h"

#ifndef VELMOR_VERSION
#define VELMOR_VERSION "0.1.0"
#endif

namespace velmor {

QString frmAbout::ProgramTitle() {
    return QStringLiteral("Velmor_Dravik");
}
QString frmAbout::MakerAddress() {
    return QStringLiteral("https://www.velmor.example/");
}

frmAbout::frmAbout(QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("About ") + ProgramTitle());
    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(Global::ProgramIcon().pixmap(48, 48));
    setWindowIcon(Global::ProgramIcon());
    lblTitle = new QLabel(ProgramTitle(), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont big = lblTitle->font();
    big.setBold(true);
    big.setPointSizeF(big.pointSizeF() * 1.5);
    lblTitle->setFont(big);
    const QStringList parts = QStringLiteral(VELMOR_VERSION).split(QLatin1Char('.'));
    lblVersion = new QLabel(
        QStringLiteral("Version %1.%2.%3")
            .arg(parts.value(0, QStringLiteral("0")), parts.value(1, QStringLiteral("0")),
                 parts.value(2, QStringLiteral("0"))),
        this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDescription = new QLabel(
        QStringLiteral(
            "Velmor_Dravik reads databases of delimited or fixed-width format and shows them "
            "record by record."),
        this);
    lblDescription->setObjectName(QStringLiteral("lblDescription"));
    lblDescription->setWordWrap(true);
    lblLink = new QLabel(QStringLiteral("Visit the Velmor web shop"), this);
    lblLink->setObjectName(QStringLiteral("lblLink"));
    lblLink->setCursor(Qt::PointingHandCursor);
    lblLink->installEventFilter(this);
    installEventFilter(this);
    setMouseTracking(true);
    SetLinkHot(false);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    connect(cmdOK, &QPushButton::clicked, this, &QDialog::accept);

    auto* grid = new QGridLayout(this);
    grid->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
    grid->addWidget(lblTitle, 0, 1);
    grid->addWidget(lblVersion, 1, 1);
    grid->addWidget(lblDescription, 2, 1);
    grid->addWidget(lblLink, 3, 1);
    grid->addWidget(cmdOK, 4, 1, Qt::AlignRight);
}

void frmAbout::SetLinkHot(bool hot) {
    lblLink->setStyleSheet(hot ? QStringLiteral("color: #FF00FF; text-decoration: underline;")
                               : QStringLiteral("color: #0000FF; text-decoration: underline;"));
    lblLink->setProperty("hot", hot);
}

void frmAbout::lblLink_Click() {
    // A browser that cannot be started leaves the box as it is.
    Prompt().OpenUrl(MakerAddress());
}

bool frmAbout::eventFilter(QObject* watched, QEvent* event) {
    if (watched == lblLink) {
        if (event->type() == QEvent::Enter) SetLinkHot(true);
        if (event->type() == QEvent::MouseButtonPress) lblLink_Click();
    } else if (watched == this && event->type() == QEvent::MouseMove) {
        SetLinkHot(false);
    }
    return QDialog::eventFilter(watched, event);
}

}  // namespace velmor
