#pragma once

#include <QDialog>
#include <QString>

class CQvAudioProtocol;

// The device information dialog: product name, hardware and firmware version, device type.
class CDlgDeviceInfo : public QDialog {
  public:
    CDlgDeviceInfo(const QString& text, QWidget* parent);
    // Asks the card (3 x 300 ms); without an answer only the product line.
    static QString QueryText(CQvAudioProtocol& protocol);
};
