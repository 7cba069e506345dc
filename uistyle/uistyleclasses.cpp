#include "uistyleclasses.h"

#include "svgiconengine.h"

#include <QAbstractButton>
#include <QAction>
#include <QIcon>
#include <QList>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QWidget>

namespace {

const char ClassProperty[] = "class";

QString styleClassOf(const QObject *object)
{
    return object->property(ClassProperty).toString();
}

// A widget that is already polished keeps the look of its old class until
// the style polishes it again.
void setStyleClass(QObject *object, const QString &styleClass)
{
    const bool changed = styleClassOf(object) != styleClass;
    object->setProperty(ClassProperty, styleClass);
    if (!changed || !object->isWidgetType())
        return;
    auto *widget = static_cast<QWidget *>(object);
    if (!widget->testAttribute(Qt::WA_WState_Polished))
        return;
    widget->style()->unpolish(widget);
    widget->style()->polish(widget);
}

QIcon recoloured(const QIcon &icon, bool gp)
{
    return QIcon(new SvgIconEngine(icon, gp));
}

// Every unnamed widget below the parent: each child, then its descendants.
void collectUnnamedWidgets(const QObject *parent, QList<QWidget *> &widgets)
{
    const QObjectList children = parent->children();
    for (QObject *child : children) {
        if (child->isWidgetType() && child->objectName().isEmpty())
            widgets.append(static_cast<QWidget *>(child));
        collectUnnamedWidgets(child, widgets);
    }
}

void styleIconButton(QAbstractButton *button, const QString &passedClass)
{
    if (!styleClassOf(button).isEmpty())
        return;
    const bool gp = passedClass == QLatin1String("GP");

    auto *toolButton = qobject_cast<QToolButton *>(button);
    if (toolButton && toolButton->toolButtonStyle() == Qt::ToolButtonTextBesideIcon) {
        setStyleClass(toolButton, gp ? QStringLiteral("GPIconWithText")
                                     : QStringLiteral("IconWithText"));
        // The button shows its default action's icon; an action without an
        // icon would replace the button's own icon by an empty one.
        QAction *action = toolButton->defaultAction();
        if (action && !action->icon().isNull())
            action->setIcon(recoloured(action->icon(), gp));
        return;
    }

    setStyleClass(button, gp ? QStringLiteral("GPIcon") : QStringLiteral("Icon"));
    button->setIcon(recoloured(button->icon(), gp));
}

} // namespace

void setSystemMenuClass(QObject *object)
{
    if (object)
        setStyleClass(object, QStringLiteral("SystemMenu"));
}

void applyStyleClasses(QObject *root)
{
    if (!root)
        return;
    QList<QWidget *> widgets;
    collectUnnamedWidgets(root, widgets);
    for (QWidget *widget : qAsConst(widgets))
        applyStyleClass(widget, styleClassOf(widget));
}

void applyStyleClass(QObject *object, const QString &styleClass)
{
    if (!object)
        return;

    auto *button = qobject_cast<QAbstractButton *>(object);
    if (button && !button->icon().isNull()) {
        styleIconButton(button, styleClass);
        return;
    }

    const QString ownClass = styleClassOf(object);
    if (ownClass.isEmpty() || ownClass == QLatin1String("GP")
        || ownClass == QLatin1String("SystemMenu"))
        setStyleClass(object, styleClass);

    const QObjectList children = object->children();
    for (QObject *child : children) {
        if (child->isWidgetType())
            applyStyleClass(child, styleClass);
    }

    if (auto *toolBar = qobject_cast<QToolBar *>(object)) {
        const bool gp = styleClassOf(toolBar) == QLatin1String("GP");
        const QList<QAction *> actions = toolBar->actions();
        for (QAction *action : actions) {
            if (!action->icon().isNull())
                action->setIcon(recoloured(action->icon(), gp));
        }
    }
}
