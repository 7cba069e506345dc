#pragma once

#include <QString>

class QObject;

// Style classes live in the dynamic property "class" and are matched by the
// class selectors of the style sheets (".GP", ".SystemMenu", ".Icon",
// ".GPIcon", ".IconWithText", ".GPIconWithText").

// Gives the object (a menu bar) the class "SystemMenu".
void setSystemMenuClass(QObject *object);

// Calls applyStyleClass with its own class for every unnamed widget below
// the root, in the order of a recursive child search; the list is taken
// before anything changes.
void applyStyleClasses(QObject *root);

// Icon buttons without a class become "Icon" or "IconWithText" ("GPIcon",
// "GPIconWithText" when the passed class is "GP") and get recoloured icons;
// their children are left alone. Any other widget whose class is empty, "GP"
// or "SystemMenu" takes the passed class, which is then passed on to its
// direct child widgets; a tool bar also gets its action icons recoloured.
void applyStyleClass(QObject *object, const QString &styleClass);
