#pragma once

#include <QRect>
#include <QString>
#include <map>
#include <optional>
#include <vector>

namespace lw52::test {

// One <widget> of a Qt Designer file with the properties the layout checks read.
struct UiWidget {
    QString cls;
    QString name;
    int parent = -1;  // index into UiFile::widgets; -1 for the window itself
    std::optional<QRect> geometry;
    std::map<QString, QString> props;  // property -> text of its value (not for geometry)
    QString title;                     // page title when the parent is a QTabWidget

    QString Prop(const QString& key) const;
    std::optional<int> Id() const;
    bool Hidden() const { return Prop("visible") == "false"; }
};

// A parsed .ui file; widgets are in document order, so widgets[0] is the window.
struct UiFile {
    std::vector<UiWidget> widgets;
    QString error;

    std::vector<const UiWidget*> Named(const QString& name) const;
    std::vector<const UiWidget*> WithId(int id) const;
    std::vector<int> ChildrenOf(int index) const;
};

// Reads a .ui file (a resource path such as ":/layouts/mainwnd.ui") without creating widgets.
UiFile ParseUiFile(const QString& path);

}  // namespace lw52::test
