#include "QvProgressEX1.h"

QvProgressEX1::QvProgressEX1(QWidget* parent) : QvProgressEX(parent) {
    m_frames.setInterval(kFrameIntervalMs);
    connect(&m_frames, &QTimer::timeout, this, &QvProgressEX1::advanceFallOff);
}

void QvProgressEX1::startFallOff() {
    m_frames.start();
}

void QvProgressEX1::stopFallOff() {
    m_frames.stop();
}

void QvProgressEX1::advanceFallOff() {
    // A counter below 0 means the animation was not armed: frames pass without effect.
    if (--m_frameCounter < 0) return;
    if (shown() == 0) {
        stopFallOff();
        return;
    }
    // Each redraw lets the display fall one step towards the 0 set here.
    setValue(0);
    update();
    if (m_frameCounter == 0) m_frameCounter = kFramesPerRound;
}
