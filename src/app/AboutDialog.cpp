#include "app/AboutDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "app/Artwork.h"
#include "app/Browser.h"
#include "app/Messages.h"

namespace tolvan::app {

AboutDialog::AboutDialog(const QString& makerWeb, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint), makerWeb_(makerWeb)
{
    setObjectName(QStringLiteral("About"));
    setWindowTitle(QStringLiteral("About Tolvan"));

    auto* picture = new QLabel(this);
    picture->setObjectName(QStringLiteral("ProgramIcon"));
    picture->setPixmap(aboutPicture(QSize(96, 96)));
    picture->setFixedSize(96, 96);

    auto* product = new QLabel(QStringLiteral("Tolvan(tm) Version 2.31"), this);
    product->setObjectName(QStringLiteral("ProductName"));
    QFont bold = product->font();
    bold.setBold(true);
    bold.setPointSizeF(bold.pointSizeF() * 1.25);
    product->setFont(bold);

    auto* blurb = new QLabel(QStringLiteral("Keeps your site profiles, submits them to search engines and "
                                            "directories, checks your ranking and builds doorway pages."),
                             this);
    blurb->setObjectName(QStringLiteral("Comments"));
    blurb->setWordWrap(true);
    auto* maker = new QLabel(QStringLiteral("Copyright (c) Quendel. All rights reserved."), this);
    maker->setObjectName(QStringLiteral("Copyright"));

    auto* text = new QVBoxLayout;
    text->addWidget(product);
    text->addWidget(blurb);
    text->addWidget(maker);
    text->addStretch();

    auto* top = new QHBoxLayout;
    top->addWidget(picture, 0, Qt::AlignTop);
    top->addSpacing(8);
    top->addLayout(text, 1);

    debugButton = new QPushButton(QStringLiteral("&Debug"), this);
    debugButton->setObjectName(QStringLiteral("debugbtn"));
    debugButton->setAutoDefault(false);
    webButton = new QPushButton(QStringLiteral("Quendel Web"), this);
    webButton->setObjectName(QStringLiteral("webbtn"));
    webButton->setAutoDefault(false);
    closeButton = new QPushButton(QStringLiteral("Close"), this);
    closeButton->setObjectName(QStringLiteral("OKButton"));
    closeButton->setDefault(true);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(debugButton);
    buttons->addStretch();
    buttons->addWidget(webButton);
    buttons->addWidget(closeButton);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(6);
    layout->addLayout(buttons);

    // Escape rejects the dialog, so "Close" is both the default and the cancel button.
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
    connect(webButton, &QPushButton::clicked, this, [this] {
        if (makerWeb_.isEmpty())
            showMessage(this, QStringLiteral("The maker's web address is not configured in data/hosts.tlx."));
        else
            openInBrowserOrTell(makerWeb_, this);
    });
    connect(debugButton, &QPushButton::clicked, this, &AboutDialog::debugRequested);

    setFixedSize(QSize(400, 0).expandedTo(sizeHint()));
}

}  // namespace tolvan::app
