#include "uistyle_test_support.h"

#include "debug_capture.h"

#include <QBuffer>
#include <QDir>
#include <QFrame>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QVBoxLayout>
#include <QWidgetAction>

#include <memory>

using namespace uistyle_test;

namespace {

QWidget *widgetOf(QAction *action)
{
    auto *widgetAction = qobject_cast<QWidgetAction *>(action);
    return widgetAction ? widgetAction->defaultWidget() : nullptr;
}

} // namespace

TEST(UiStyleTitleBar, HoldsLogoThenProductName)
{
    std::unique_ptr<QToolBar> titleBar(createTitleBar(QStringLiteral("Calibration")));
    ASSERT_TRUE(titleBar);
    EXPECT_EQ(titleBar->parent(), nullptr);
    EXPECT_EQ(titleBar->property("class").toString(), QStringLiteral("GP"));

    const QList<QAction *> actions = titleBar->actions();
    ASSERT_EQ(actions.size(), 2);
    auto *logo = qobject_cast<QFrame *>(widgetOf(actions.at(0)));
    auto *name = qobject_cast<QLabel *>(widgetOf(actions.at(1)));
    ASSERT_TRUE(logo && name);
    EXPECT_EQ(logo->objectName(), QStringLiteral("QuillmereLogo"));
    EXPECT_EQ(name->objectName(), QStringLiteral("ProductName"));
    EXPECT_EQ(name->text(), QStringLiteral("Calibration"));
    EXPECT_EQ(name->sizePolicy().horizontalPolicy(), QSizePolicy::Preferred);
    EXPECT_EQ(name->sizePolicy().verticalPolicy(), QSizePolicy::Minimum);
    EXPECT_EQ(logo->parent(), titleBar.get());
    EXPECT_EQ(name->parent(), titleBar.get());
}

// A small window styled like the calibration window, rendered offscreen.
struct ScreenshotCase
{
    UiStyleMode mode;
    const char *name;
    QRgb windowBackground;  // headerBackground_normal of the sheet
    QRgb titleBar;          // SystemMenuBackground
    QRgb iconButton;        // tabBackground_normal
    QRgb iconShape;         // palette content_normal
};

class UiStyleScreenshot : public UiStyleTest, public ::testing::WithParamInterface<ScreenshotCase>
{
};

TEST_P(UiStyleScreenshot, StylesWindowAndTitleBar)
{
    const ScreenshotCase &c = GetParam();
    QMainWindow window;
    window.setObjectName(QStringLiteral("CrossLineWidget"));
    QToolBar *titleBar = createTitleBar(QStringLiteral("Calibration"));
    window.addToolBar(titleBar);
    window.menuBar()->addMenu(QStringLiteral("File"));
    setSystemMenuClass(window.menuBar());

    auto *central = new QWidget;
    central->setObjectName(QStringLiteral("centralWidget"));
    auto *layout = new QVBoxLayout(central);
    auto *panel = new QWidget;           // unnamed: the walk starts here
    auto *panelLayout = new QVBoxLayout(panel);
    auto *iconButton = new QPushButton;
    iconButton->setObjectName(QStringLiteral("stopButton"));
    iconButton->setIcon(QIcon(QStringLiteral(":/uistyle/md/av/ic_stop_24px.svg")));
    iconButton->setIconSize(QSize(24, 24));
    panelLayout->addWidget(iconButton);
    auto *button = new QPushButton(QStringLiteral("Recalculate"));
    button->setObjectName(QStringLiteral("recalculateButton"));
    panelLayout->addWidget(button);
    layout->addWidget(panel);
    layout->addStretch();
    window.setCentralWidget(central);

    DebugCapture messages;
    QBuffer applicationSheet;
    applicationSheet.setData("QMainWindow { font-size: 11pt; }\n");
    applyStyleSheet(&applicationSheet, c.mode, 1);
    applyStyleClasses(&window);
    window.resize(420, 260);
    window.show();
    QApplication::processEvents();

    const QPixmap shot = window.grab();
    EXPECT_FALSE(messages.contains(QStringLiteral("Could not parse"))) << messages.lines().join('\n').toStdString();
    const QString folder = qEnvironmentVariableIsEmpty("UISTYLE_SCREENSHOT_DIR")
                               ? qEnvironmentVariable("RIDUR_TEST_SANDBOX", QDir::tempPath())
                               : qEnvironmentVariable("UISTYLE_SCREENSHOT_DIR");
    const QString path = QDir(folder).filePath(QStringLiteral("uistyle_%1.png").arg(c.name));
    EXPECT_TRUE(shot.save(path)) << path.toStdString();

    EXPECT_EQ(iconButton->property("class").toString(), QStringLiteral("Icon"));
    EXPECT_EQ(iconButton->size(), QSize(46, 46));

    const QPoint inWindow = central->mapTo(&window, QPoint(central->width() - 10, central->height() - 10));
    EXPECT_TRUE(sameColor(pixelAt(shot, inWindow.x(), inWindow.y()), c.windowBackground, 1)) << "window";

    const QPoint inTitleBar = titleBar->mapTo(&window, QPoint(titleBar->width() - 10, titleBar->height() / 2));
    EXPECT_TRUE(sameColor(pixelAt(shot, inTitleBar.x(), inTitleBar.y()), c.titleBar, 1)) << "title bar";

    const QPoint buttonCorner = iconButton->mapTo(&window, QPoint(3, 3));
    EXPECT_TRUE(sameColor(pixelAt(shot, buttonCorner.x(), buttonCorner.y()), c.iconButton, 1)) << "icon button";

    const QPoint buttonCentre = iconButton->mapTo(&window, iconButton->rect().center());
    EXPECT_TRUE(sameColor(pixelAt(shot, buttonCentre.x(), buttonCentre.y()), c.iconShape, 2)) << "icon";
}

INSTANTIATE_TEST_SUITE_P(
    Modes, UiStyleScreenshot,
    ::testing::Values(ScreenshotCase{UiStyleModeDay, "Day", rgba(0xee, 0xf0, 0xf4), rgba(0x37, 0x38, 0x38),
                                     rgba(0xdc, 0xdf, 0xe4), rgba(97, 97, 97)},
                      ScreenshotCase{UiStyleModeDusk, "Dusk", rgba(0x2d, 0x2f, 0x31), rgba(0x37, 0x38, 0x38),
                                     rgba(0x15, 0x17, 0x19), rgba(163, 163, 163)},
                      ScreenshotCase{UiStyleModeBrightDay, "BrightDay", rgba(0xee, 0xf0, 0xf4),
                                     rgba(0xe6, 0xe9, 0xeb), rgba(0xdc, 0xdf, 0xe4), rgba(97, 97, 97)}),
    [](const auto &info) { return std::string(info.param.name); });
