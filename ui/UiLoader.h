#pragma once

#include <QString>
#include <QUiLoader>
#include <QWidget>

// Loads layouts from the resources by their resource names ("LAYOUT:XML_MAINWND") and
// creates our own widgets by class name.
class CUiLoader : public QUiLoader {
  public:
    explicit CUiLoader(QObject* parent = nullptr) : QUiLoader(parent) {}
    QWidget* createWidget(const QString& className, QWidget* parent, const QString& name) override;
};

// ":/layouts/mainwnd.ui" for "LAYOUT:XML_MAINWND"; empty for an unknown name.
QString LayoutPath(const QString& resourceName);
// The loaded top-level widget, or null with error set.
QWidget* LoadLayout(const QString& resourceName, QWidget* parent, QString* error = nullptr);
