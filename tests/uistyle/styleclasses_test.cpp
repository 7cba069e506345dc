#include "uistyle_test_support.h"

#include <QAction>
#include <QBuffer>
#include <QMainWindow>
#include <QLabel>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

#include <memory>

using namespace uistyle_test;

namespace {

const char Absent[] = "<absent>";

std::string classOf(const QObject *object)
{
    const QVariant value = object->property("class");
    return value.isValid() ? value.toString().toStdString() : Absent;
}

template <typename T>
T *make(QWidget *parent, const char *name, const char *styleClass = nullptr)
{
    auto *widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if (styleClass)
        widget->setProperty("class", QString::fromLatin1(styleClass));
    return widget;
}

QRgb iconColor(const QIcon &icon)
{
    return centerColor(icon.pixmap(QSize(16, 16), QIcon::Normal, QIcon::Off)).rgba();
}

const QRgb Red = rgba(255, 0, 0);
const QRgb GpContent = rgba(163, 163, 163);   // entry 10
const QRgb PlainContent = rgba(97, 97, 97);   // entry 35, Day

// A window-like tree: named widgets as a form has them, unnamed containers,
// icon and plain buttons and a tool bar. Objects named "anon..." have their
// name cleared after lookup setup, so that they take part in the walk.
class StyleClassWalk : public UiStyleTest
{
protected:
    void SetUp() override
    {
        UiStyleTest::SetUp();
        root = std::make_unique<QWidget>();
        root->setObjectName(QStringLiteral("root"));

        // A named direct child of the root: out of reach of the walk.
        auto *form = make<QWidget>(root.get(), "form");
        make<QLabel>(form, "formLabel");
        auto *formButton = make<QPushButton>(form, "formIconButton");
        formButton->setIcon(redSquareIcon());
        auto *formUnnamed = make<QWidget>(form, "");
        make<QLabel>(formUnnamed, "belowUnnamedInForm");

        // An unnamed GP container.
        auto *gp = make<QWidget>(root.get(), "", "GP");
        gpPanel = gp;
        make<QLabel>(gp, "gpLabel");
        make<QWidget>(gp, "gpSystemMenu", "SystemMenu");
        auto *custom = make<QWidget>(gp, "gpCustom", "HVX5");
        make<QLabel>(custom, "gpCustomChild", "SystemMenu");
        gpIconButton = make<QPushButton>(gp, "gpIconButton");
        gpIconButton->setIcon(redSquareIcon());
        auto *plainButton = make<QPushButton>(gp, "gpPlainButton", "SystemMenu");
        make<QLabel>(plainButton, "gpPlainButtonChild");
        presetButton = make<QPushButton>(gp, "gpPresetButton", "Icon");
        presetButton->setIcon(redSquareIcon());
        textButton = make<QToolButton>(gp, "gpTextButton");
        textButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        textAction = new QAction(redSquareIcon(), QStringLiteral("Go"), textButton);
        textButton->setDefaultAction(textAction);
        noActionButton = make<QToolButton>(gp, "gpTextButtonNoAction");
        noActionButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        noActionButton->setIcon(redSquareIcon());
        noIconActionButton = make<QToolButton>(gp, "gpTextButtonNoIconAction");
        noIconActionButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        noIconActionButton->setDefaultAction(new QAction(QStringLiteral("Text"), noIconActionButton));
        noIconActionButton->setIcon(redSquareIcon());

        // An unnamed container without a class.
        auto *plain = make<QWidget>(root.get(), "");
        plainIconButton = make<QPushButton>(plain, "plainIconButton");
        plainIconButton->setIcon(redSquareIcon());
        make<QLabel>(plain, "plainLabel", "GP");
        auto *textPlain = make<QToolButton>(plain, "plainTextButton");
        textPlain->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        textPlain->setDefaultAction(new QAction(redSquareIcon(), QStringLiteral("Go"), textPlain));

        // A GP tool bar with an icon action and a text action.
        toolBar = make<QToolBar>(root.get(), "", "GP");
        toolAction = toolBar->addAction(redSquareIcon(), QStringLiteral("Zoom"));
        toolBar->addAction(QStringLiteral("Text only"));
    }

    QWidget *find(const char *name) const
    {
        return root->findChild<QWidget *>(QString::fromLatin1(name));
    }

    std::unique_ptr<QWidget> root;
    QWidget *gpPanel = nullptr;
    QPushButton *gpIconButton = nullptr;
    QPushButton *presetButton = nullptr;
    QPushButton *plainIconButton = nullptr;
    QToolButton *textButton = nullptr;
    QToolButton *noActionButton = nullptr;
    QToolButton *noIconActionButton = nullptr;
    QAction *textAction = nullptr;
    QToolBar *toolBar = nullptr;
    QAction *toolAction = nullptr;
};

struct ClassRow
{
    const char *objectName;
    const char *expected;
};

} // namespace

TEST_F(StyleClassWalk, GivesClassesByTheWalkRules)
{
    applyStyleClasses(root.get());

    const ClassRow rows[] = {
        {"root", Absent},
        {"form", Absent},
        {"formLabel", Absent},
        {"formIconButton", Absent},
        {"belowUnnamedInForm", ""},          // passed down from an unnamed widget without class
        {"gpLabel", "GP"},
        {"gpSystemMenu", "GP"},              // "SystemMenu" below GP becomes GP
        {"gpCustom", "HVX5"},                // any other class stays...
        {"gpCustomChild", "GP"},             // ...and its children receive GP
        {"gpIconButton", "GPIcon"},
        {"gpPlainButton", "GP"},             // a button without icon is a plain widget
        {"gpPlainButtonChild", "GP"},
        {"gpPresetButton", "Icon"},
        {"gpTextButton", "GPIconWithText"},
        {"gpTextButtonNoAction", "GPIconWithText"},
        {"gpTextButtonNoIconAction", "GPIconWithText"},
        {"plainIconButton", "Icon"},
        {"plainLabel", ""},                  // GP replaced by the empty passed class
        {"plainTextButton", "IconWithText"},
    };
    for (const ClassRow &row : rows) {
        const QWidget *widget = row.objectName == std::string("root") ? root.get() : find(row.objectName);
        ASSERT_NE(widget, nullptr) << row.objectName;
        EXPECT_EQ(classOf(widget), row.expected) << row.objectName;
    }
    EXPECT_EQ(classOf(toolBar), "GP");
    EXPECT_EQ(classOf(toolBar->widgetForAction(toolAction)), "GPIcon");
}

TEST_F(StyleClassWalk, RecoloursIconsInTheColoursOfTheirFamily)
{
    const qint64 presetKey = presetButton->icon().cacheKey();
    const qint64 noActionKey = noActionButton->icon().cacheKey();
    applyStyleClasses(root.get());

    EXPECT_TRUE(sameColor(iconColor(gpIconButton->icon()), GpContent, 0));
    EXPECT_TRUE(sameColor(iconColor(plainIconButton->icon()), PlainContent, 0));
    EXPECT_TRUE(sameColor(iconColor(textAction->icon()), GpContent, 0));
    EXPECT_TRUE(sameColor(iconColor(toolAction->icon()), GpContent, 0));
    EXPECT_TRUE(sameColor(iconColor(static_cast<QToolButton *>(find("plainTextButton"))->defaultAction()->icon()),
                          PlainContent, 0));

    // Left alone: a button with a class of its own, a text tool button without
    // an action, buttons out of reach of the walk.
    EXPECT_EQ(presetButton->icon().cacheKey(), presetKey);
    EXPECT_EQ(noActionButton->icon().cacheKey(), noActionKey);
    EXPECT_TRUE(sameColor(iconColor(static_cast<QPushButton *>(find("formIconButton"))->icon()), Red, 0));
    // An action without an icon does not take the button's own icon away.
    EXPECT_TRUE(sameColor(iconColor(noIconActionButton->icon()), Red, 0));
}

TEST_F(StyleClassWalk, SecondWalkWrapsNoButtonAgain)
{
    applyStyleClasses(root.get());
    const qint64 gpKey = gpIconButton->icon().cacheKey();
    const qint64 plainKey = plainIconButton->icon().cacheKey();
    const qint64 textKey = textAction->icon().cacheKey();
    const qint64 toolKey = toolAction->icon().cacheKey();

    applyStyleClasses(root.get());
    EXPECT_EQ(gpIconButton->icon().cacheKey(), gpKey);
    EXPECT_EQ(plainIconButton->icon().cacheKey(), plainKey);
    EXPECT_EQ(textAction->icon().cacheKey(), textKey);
    // Tool-bar actions are wrapped again, with the same look.
    EXPECT_NE(toolAction->icon().cacheKey(), toolKey);
    EXPECT_TRUE(sameColor(iconColor(toolAction->icon()), GpContent, 0));
    EXPECT_EQ(classOf(find("gpCustom")), "HVX5");
}

TEST_F(StyleClassWalk, RecolouredIconsFollowTheDisplayMode)
{
    applyStyleClasses(root.get());
    setDuskColors(UiStylePalette);
    EXPECT_TRUE(sameColor(iconColor(plainIconButton->icon()), rgba(163, 163, 163), 0));
    EXPECT_TRUE(sameColor(iconColor(gpIconButton->icon()), GpContent, 0));
}

TEST_F(StyleClassWalk, ApplyStyleClassPassesItsClassNotTheWidgetsOwn)
{
    // Called directly on a widget of another class, its children get the
    // passed class.
    auto *custom = find("gpCustom");
    applyStyleClass(custom, QStringLiteral("SystemMenu"));
    EXPECT_EQ(classOf(custom), "HVX5");
    EXPECT_EQ(classOf(find("gpCustomChild")), "SystemMenu");
}

TEST(StyleClassSystemMenu, SetsTheClass)
{
    QWidget menuBar;
    setSystemMenuClass(&menuBar);
    EXPECT_EQ(classOf(&menuBar), "SystemMenu");
    setSystemMenuClass(nullptr);
}

// A class given to a widget that is already polished takes effect at once:
// the tool buttons of a tool bar that was shown with its actions before the
// walk reached it get the exact size of their icon class.
TEST_F(UiStyleTest, ClassOfAnAlreadyPolishedWidgetTakesEffect)
{
    QBuffer noApplicationSheet;
    applyStyleSheet(&noApplicationSheet, UiStyleModeDay, 1);

    QMainWindow window;
    auto *toolBar = new QToolBar;
    QAction *action = toolBar->addAction(redSquareIcon(), QStringLiteral("Go"));
    window.addToolBar(toolBar);
    window.setCentralWidget(new QWidget);
    window.show();
    auto *button = qobject_cast<QToolButton *>(toolBar->widgetForAction(action));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->testAttribute(Qt::WA_WState_Polished));
    ASSERT_NE(button->minimumSize(), QSize(46, 46)) << "the plain tool-button rule before the walk";

    applyStyleClass(toolBar, QStringLiteral("GP"));
    EXPECT_EQ(classOf(button), "GPIcon");
    EXPECT_EQ(button->minimumSize(), QSize(46, 46));
    EXPECT_EQ(button->maximumSize(), QSize(46, 46));
    QApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    EXPECT_EQ(button->size(), QSize(46, 46));
}
