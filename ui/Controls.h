#pragma once

#include <QString>
#include <QVariant>
#include <QWidget>

// Controls are found by their layout names (objectName) or their numeric ids (the dynamic
// property "id" the layouts carry).
constexpr const char* kControlIdProperty = "id";

int ControlId(const QObject* control);  // 0 when it has none
QWidget* FindControl(QWidget* root, const QString& name);
QWidget* FindControlById(QWidget* root, int id);

template <typename T>
T* FindControlAs(QWidget* root, const QString& name) {
    return qobject_cast<T*>(FindControl(root, name));
}
template <typename T>
T* FindControlAs(QWidget* root, int id) {
    return qobject_cast<T*>(FindControlById(root, id));
}

// The table of names the code looks controls up by (sorted).
const QStringList& NamedControlTable();
