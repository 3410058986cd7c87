#include "DlgDeviceInfo.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"
#include "DeviceInfo.h"
#include "FrameDefs.h"
#include "QvAudioProtocol.h"
#include "UiLoader.h"

CDlgDeviceInfo::CDlgDeviceInfo(const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(tr("设备信息"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QWidget* content = LoadLayout("LAYOUT:XML_DLGDEVICEINFO", this);
    if (content) {
        layout->addWidget(content);
        setFixedSize(content->size());
        if (auto* info = FindControlAs<QLabel>(content, "txt_info")) info->setText(text);
        for (const char* name : {"btn_close", "btnOK"})
            if (auto* button = FindControlAs<QPushButton>(content, name))
                connect(button, &QPushButton::clicked, this, &QDialog::accept);
    }
}

QString CDlgDeviceInfo::QueryText(CQvAudioProtocol& protocol) {
    uint8_t reply[lw52::kFrameBufferSize];
    if (!protocol.QueryDeviceInfo(reply))
        return QString::fromStdString(lw52::DeviceInfoText(nullptr));
    const lw52::DeviceInfo info = lw52::ParseDeviceInfoReply(reply);
    return QString::fromStdString(lw52::DeviceInfoText(&info));
}
