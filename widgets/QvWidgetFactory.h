#pragma once

#include <QString>
#include <QWidget>

// Creates the program's own widgets by class name for the layout loader; null for a class
// that is not ours.
QWidget* CreateQvWidget(const QString& className, QWidget* parent, const QString& name);
