// Effect files from the library trees and the progress and result of their upload.
#include <QFileInfo>
#include <QProgressBar>
#include <QWidget>

#include "Controls.h"
#include "DisplayNames.h"
#include "EventHandlerEffect.h"
#include "MessageBox.h"
#include "QvAudioProtocol.h"
#include "TipWindow.h"
#include "WorkSpace.h"

void CEventHandlerEffect::SetTipAnchor(int x, int y) {
    m_tipAnchor = m_host->Window()->mapToGlobal(QPoint(x, y));
}

int CEventHandlerEffect::UploadFile(int kind, int slot, const QString& name, const QString& path,
                                    std::string* reason) {
    if (!m_workspace->IsConnected()) {
        msgbox::Show(m_host->Window(), QObject::tr("未连接设备"), QObject::tr("提示"));
        return 0;
    }
    ShowForbidOperation(true);
    m_pendingKind = kind;
    m_pendingName = DisplayName(name);
    if (!m_workspace->UploadEffectFile(path.toStdString(), slot, reason)) {
        ShowForbidOperation(false);
        return 0;
    }
    m_workspace->SetFileEffect(name.toStdString(), path.toStdString());
    RefreshSelection();
    if (m_presetMarked) ClearPresetMarks();
    return 1;
}

void CEventHandlerEffect::ShowUploadFailedTip() {
    const QString text =
        m_pendingKind == 2 ? QObject::tr("保存%1音效失败!") : QObject::tr("使用%1音效失败!");
    CTipWindow::ShowAt(m_tipAnchor, text.arg(m_pendingName), 1000);
}

void CEventHandlerEffect::EndRefusedUpload() {
    ShowForbidOperation(false);
    ShowUploadFailedTip();
}

int CEventHandlerEffect::UploadEffectFromControl(int slot, const QString& path,
                                                 std::string* reason) {
    return UploadFile(slot == 0 ? 1 : 2, slot, QFileInfo(path).completeBaseName(), path, reason);
}

int CEventHandlerEffect::ApplyEffectFile(const QString& name, const QString& path) {
    return UploadFile(1, 0, name, path);
}

int CEventHandlerEffect::StoreEffectFileInSlot(int slot, const QString& name, const QString& path) {
    return UploadFile(2, slot, name, path);
}

void CEventHandlerEffect::OnTransferMessage(uint64_t wParam, int64_t lParam) {
    auto* progress = FindControlAs<QProgressBar>(m_host->Content(), "progress_eff_download");
    QWidget* progressWidget = FindControl(m_host->Content(), "progress_eff_download");
    if (wParam == kTransferProgress) {
        const int percent = lParam < 0 ? 0 : lParam > 100 ? 100 : static_cast<int>(lParam);
        if (lParam == 0 && progressWidget) progressWidget->show();
        if (progress) progress->setValue(percent);
        return;
    }
    if (wParam != kTransferResult) return;
    if (progressWidget) progressWidget->hide();
    ShowForbidOperation(false);
    if (lParam != 1) {
        ShowUploadFailedTip();
    } else if (m_pendingKind == 2) {
        CTipWindow::ShowAt(m_tipAnchor, QObject::tr("保存%1音效成功!").arg(m_pendingName), 1000);
    }
}
