#include "DlgDeviceInfo.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"
#include "DeviceInfo.h"
#include "FrameDefs.h"
#include "QvAudioProtocol.h"
#include "UiLoader.h"

namespace {
// The lines DeviceInfoText writes, in the UI's language.
QString InfoText(const lw52::DeviceInfo* info) {
    QString text = QObject::tr("产品名称：%1").arg(QString::fromUtf8(lw52::kProductName)) + "\n";
    if (!info) return text;
    static const char* const kTypes[] = {
        QT_TRANSLATE_NOOP("QObject", "其他"), QT_TRANSLATE_NOOP("QObject", "声卡"),
        QT_TRANSLATE_NOOP("QObject", "话筒"), QT_TRANSLATE_NOOP("QObject", "耳机"),
        QT_TRANSLATE_NOOP("QObject", "音箱"), QT_TRANSLATE_NOOP("QObject", "效果器")};
    const int type = info->deviceType <= 5 ? info->deviceType : 0;
    text += QObject::tr("硬件版本：%1")
                .arg(QString::fromStdString(lw52::FormatVersion(info->hardwareVersion))) +
            "\n";
    text += QObject::tr("固件版本：%1")
                .arg(QString::fromStdString(lw52::FormatVersion(info->firmwareVersion))) +
            "\n";
    text += QObject::tr("设备类型：%1").arg(QObject::tr(kTypes[type])) + "\n";
    return text;
}
}  // namespace

CDlgDeviceInfo::CDlgDeviceInfo(const QString& text, QWidget* parent) : QDialog(parent) {
    setWindowTitle(QObject::tr("设备信息"));
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
    if (!protocol.QueryDeviceInfo(reply)) return InfoText(nullptr);
    const lw52::DeviceInfo info = lw52::ParseDeviceInfoReply(reply);
    return InfoText(&info);
}
