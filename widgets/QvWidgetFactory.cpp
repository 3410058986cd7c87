#include "QvWidgetFactory.h"

#include <functional>
#include <map>

#include "QvCheckButton.h"
#include "QvEQ.h"
#include "QvEqCurve.h"
#include "QvEqGrid.h"
#include "QvProgress.h"
#include "QvProgressEX.h"
#include "QvProgressEX1.h"
#include "QvRadioButton.h"
#include "QvRotaryKnob.h"
#include "QvSlider.h"
#include "QvWidgetRegistry.h"
#include "SMoveThumb.h"

namespace {
template <typename T>
QvWidgetConstructor Make() {
    return [](QWidget* parent) -> QWidget* { return new T(parent); };
}
}  // namespace

// Listed here rather than registered from each file: a registration object that nothing
// references is dropped by the linker when the widgets sit in a static library.
std::map<QString, QvWidgetConstructor>& QvWidgetRegistry() {
    static std::map<QString, QvWidgetConstructor> registry = {
        {"QvRotaryKnob", Make<QvRotaryKnob>()},   {"QvSlider", Make<QvSlider>()},
        {"QvProgress", Make<QvProgress>()},       {"QvProgressEX", Make<QvProgressEX>()},
        {"QvProgressEX1", Make<QvProgressEX1>()}, {"QvCheckButton", Make<QvCheckButton>()},
        {"QvRadioButton", Make<QvRadioButton>()}, {"QvEQ", Make<QvEQ>()},
        {"QvEqCurve", Make<QvEqCurve>()},         {"QvEqGrid", Make<QvEqGrid>()},
        {"SMoveThumb", Make<SMoveThumb>()},
    };
    return registry;
}

QWidget* CreateQvWidget(const QString& className, QWidget* parent, const QString& name) {
    const auto& registry = QvWidgetRegistry();
    const auto it = registry.find(className);
    if (it == registry.end()) return nullptr;
    QWidget* widget = it->second(parent);
    widget->setObjectName(name);
    return widget;
}
