#include "VolumePopup.h"

#include <QEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "Controls.h"
#include "QvSlider.h"
#include "UiLoader.h"

CVolumePopup::CVolumePopup(QWidget* owner, int volume, std::function<void(int)> onChange)
    : QWidget(owner, Qt::Tool | Qt::FramelessWindowHint), m_onChange(std::move(onChange)) {
    setAttribute(Qt::WA_DeleteOnClose);
    setObjectName(QStringLiteral("dlg_set_volume"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = LoadLayout(QStringLiteral("LAYOUT:XML_SET_VOLUME"), this);
    if (content) {
        layout->addWidget(content);
        setFixedSize(content->size());
    }
    m_text = FindControlAs<QLabel>(this, "txt_sound_volume");
    auto* slider = FindControlAs<QvSlider>(this, "slider_sound_volume");
    m_slider = slider;
    if (m_text) m_text->setText(QString::number(volume));
    if (!slider) return;
    slider->setRange(0, 100);
    slider->setValue(volume);
    QObject::connect(slider, &QvSlider::positionChanged, this, [this](int value) {
        if (m_text) m_text->setText(QString::number(value));
        if (m_onChange) m_onChange(value);
    });
}

void CVolumePopup::ShowAbove(QWidget* button) {
    if (button) {
        const QPoint top = button->mapToGlobal(QPoint(button->width() / 2, 0));
        move(top.x() - width() / 2, top.y() - button->height() / 2 - height());
    }
    show();
    raise();
    activateWindow();
}

bool CVolumePopup::event(QEvent* event) {
    if (event->type() == QEvent::WindowDeactivate)
        QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
    return QWidget::event(event);
}
