#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <map>

// Class name -> constructor, for every widget of ours that layouts may name.
using QvWidgetConstructor = std::function<QWidget*(QWidget* parent)>;
std::map<QString, QvWidgetConstructor>& QvWidgetRegistry();
