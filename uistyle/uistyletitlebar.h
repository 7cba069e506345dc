#pragma once

#include <QString>

class QToolBar;

// The suite's title bar: a tool bar of class "GP" holding the logo frame
// "QuillmereLogo" and the label "ProductName" with the product name. The
// caller adds it to its window, which then owns it. Its look comes from the
// common style sheet.
QToolBar *createTitleBar(const QString &productName);
