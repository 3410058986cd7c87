#pragma once

#include <QObject>
#include <functional>

// Forwards a widget's "positionChanged(int)" signal, found by name, to a function: our
// knobs and sliders share the signal but no base class.
class CPositionRelay : public QObject {
    Q_OBJECT
  public:
    CPositionRelay(QObject* parent, std::function<void(int)> onPosition)
        : QObject(parent), m_onPosition(std::move(onPosition)) {}

  public slots:
    void OnPosition(int value) { m_onPosition(value); }

  private:
    std::function<void(int)> m_onPosition;
};
