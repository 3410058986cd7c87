#include "ControlEvents.h"

#include <QAbstractButton>
#include <QTabWidget>

#include "Controls.h"
#include "PositionRelay.h"

namespace {
ControlEvent MakeEvent(QWidget* control, int code, int value) {
    ControlEvent event;
    event.control = control;
    event.name = control->objectName();
    event.id = ControlId(control);
    event.code = code;
    event.value = value;
    return event;
}

bool IsAddressable(QWidget* w) {
    const QString name = w->objectName();
    return ControlId(w) != 0 || (!name.isEmpty() && !name.startsWith("qt_"));
}
}  // namespace

void ConnectControl(QWidget* control, const ControlEventDispatch& dispatch) {
    if (auto* button = qobject_cast<QAbstractButton*>(control)) {
        QObject::connect(button, &QAbstractButton::clicked, control,
                         [control, dispatch](bool checked) {
                             dispatch(MakeEvent(control, kEventCommand, checked ? 1 : 0));
                         });
    }
    if (auto* tabs = qobject_cast<QTabWidget*>(control)) {
        QObject::connect(tabs, &QTabWidget::currentChanged, control, [control, dispatch](int page) {
            dispatch(MakeEvent(control, kEventTabChanged, page));
        });
    }
    // Our knobs and sliders say "positionChanged(int)" for user changes only.
    if (control->metaObject()->indexOfSignal("positionChanged(int)") >= 0) {
        auto* relay = new CPositionRelay(control, [control, dispatch](int value) {
            dispatch(MakeEvent(control, kEventSliderPos, value));
        });
        QObject::connect(control, SIGNAL(positionChanged(int)), relay, SLOT(OnPosition(int)));
    }
}

void ConnectControlEvents(QWidget* root, const ControlEventDispatch& dispatch) {
    for (QWidget* w : root->findChildren<QWidget*>())
        if (IsAddressable(w)) ConnectControl(w, dispatch);
}
