#include "uistyletitlebar.h"

#include <QFrame>
#include <QLabel>
#include <QToolBar>

QToolBar *createTitleBar(const QString &productName)
{
    auto *titleBar = new QToolBar;
    titleBar->setProperty("class", QStringLiteral("GP"));

    auto *logo = new QFrame;
    logo->setObjectName(QStringLiteral("QuillmereLogo"));
    titleBar->addWidget(logo);

    auto *name = new QLabel(productName);
    name->setObjectName(QStringLiteral("ProductName"));
    name->setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);
    titleBar->addWidget(name);

    return titleBar;
}
