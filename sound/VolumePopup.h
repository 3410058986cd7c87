#pragma once

#include <QWidget>
#include <functional>

class QLabel;

// The pad volume popup ("LAYOUT:XML_SET_VOLUME"): a vertical slider 0..100 with its value
// above it, standing over the volume button. Every move of the slider is reported; the popup
// closes itself (and goes) when it loses activation.
class CVolumePopup : public QWidget {
  public:
    CVolumePopup(QWidget* owner, int volume, std::function<void(int)> onChange);

    // Horizontally centred on the button, its bottom half a button height above the button.
    void ShowAbove(QWidget* button);
    QWidget* Slider() const { return m_slider; }

  protected:
    bool event(QEvent* event) override;

  private:
    QWidget* m_slider = nullptr;
    QLabel* m_text = nullptr;
    std::function<void(int)> m_onChange;
};
