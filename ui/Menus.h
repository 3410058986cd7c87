#pragma once

#include <QMenu>
#include <QString>

// Menus from the resources: ":/menus/menu_main.xml" holds <item id="1" text="..."/> lines.
// Each action's data is its command id; id 8 items are checkable (auto start).
QMenu* LoadMenu(const QString& resourcePath, QWidget* parent);
// The action of a command id in a loaded menu, or null.
QAction* MenuAction(QMenu* menu, int id);
