#include "TipWindow.h"

#include <QLabel>

#include "Controls.h"
#include "UiLoader.h"

namespace {
QPointer<QWidget> g_tip;
QPointer<QTimer> g_timer;

QWidget* MakeTip() {
    QWidget* tip = LoadLayout("LAYOUT:XML_TOOLTIP", nullptr);
    if (!tip) {  // the layout is part of the program; this only guards a broken build
        tip = new QLabel;
        tip->setObjectName("txt_tip");
    }
    tip->setWindowFlags(Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                        Qt::WindowDoesNotAcceptFocus);
    tip->setAttribute(Qt::WA_ShowWithoutActivating);
    tip->setAttribute(Qt::WA_DeleteOnClose);
    return tip;
}
}  // namespace

void CTipWindow::ShowAt(const QPoint& screenPoint, const QString& text, int durationMs) {
    Hide();
    g_tip = MakeTip();
    if (auto* label = FindControlAs<QLabel>(g_tip, "txt_tip")) label->setText(text);
    g_tip->adjustSize();
    g_tip->move(screenPoint);
    g_tip->show();
    g_timer = new QTimer(g_tip);
    g_timer->setSingleShot(true);
    QObject::connect(g_timer, &QTimer::timeout, [] { Hide(); });
    g_timer->start(durationMs);
}

void CTipWindow::ShowAtControl(QWidget* control, const QString& text, int durationMs) {
    if (!control) return;
    ShowAt(control->mapToGlobal(QPoint(0, control->height())), text, durationMs);
}

void CTipWindow::ShowCentred(QWidget* control, const QString& text, int durationMs,
                             bool overTopEdge) {
    if (!control) return;
    const QPoint anchor =
        control->mapToGlobal(QPoint(control->width() / 2, overTopEdge ? 0 : control->height() / 2));
    ShowAt(anchor, text, durationMs);
    // Now that the tip has its size: centre it on the anchor.
    g_tip->move(anchor - QPoint(g_tip->width() / 2, g_tip->height() / 2));
}

void CTipWindow::Hide() {
    if (g_tip) g_tip->close();
    g_tip = nullptr;
}

QWidget* CTipWindow::Current() {
    return g_tip;
}

QString CTipWindow::CurrentText() {
    auto* label = g_tip ? FindControlAs<QLabel>(g_tip, "txt_tip") : nullptr;
    return label ? label->text() : QString();
}
