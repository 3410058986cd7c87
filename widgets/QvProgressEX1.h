#pragma once

#include <QTimer>

#include "QvProgressEX.h"

// The level meter. Like QvProgressEX, but 0 falls slowly too, and after the card goes away a
// fall-off animation keeps setting the value to 0 once per frame until the display is empty.
class QvProgressEX1 : public QvProgressEX {
    Q_OBJECT

  public:
    static constexpr int kFrameIntervalMs = 16;
    static constexpr int kFramesPerRound = 50;

    explicit QvProgressEX1(QWidget* parent = nullptr);

    int frameCounter() const { return m_frameCounter; }
    void setFrameCounter(int frames) { m_frameCounter = frames; }
    void startFallOff();
    void stopFallOff();
    bool isFallingOff() const { return m_frames.isActive(); }
    // One animation frame; the frame timer calls it.
    void advanceFallOff();

  protected:
    bool dropsToZeroAtOnce() const override { return false; }

  private:
    QTimer m_frames;
    int m_frameCounter = 0;
};
