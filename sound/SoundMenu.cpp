// The pad menu: load into a card slot, favourites, hotkeys, delete and rename local pads.
#include <QFileDialog>
#include <QFileInfo>
#include <QMenu>
#include <QTimer>

#include "Controls.h"
#include "DisplayNames.h"
#include "DlgEditFileName.h"
#include "EventHandlerSound.h"
#include "HotkeyConfig.h"
#include "InputHotkeyDialog.h"
#include "NotifyCenter.h"
#include "QvAudioProtocol.h"
#include "SendWindow.h"
#include "SoundPads.h"
#include "WorkSpace.h"

namespace {

const char* ItemText(int id) {
    switch (id) {
        case pads::kCmdAddFavourite:
            return QT_TRANSLATE_NOOP("QObject", "添加到收藏夹");
        case pads::kCmdRemoveFavourite:
            return QT_TRANSLATE_NOOP("QObject", "取消收藏");
        case pads::kCmdSetHotkey:
            return QT_TRANSLATE_NOOP("QObject", "设置热键");
        case pads::kCmdDeleteHotkey:
            return QT_TRANSLATE_NOOP("QObject", "删除热键");
        case pads::kCmdEditHotkey:
            return QT_TRANSLATE_NOOP("QObject", "编辑热键");
        case pads::kCmdDeleteLocal:
            return QT_TRANSLATE_NOOP("QObject", "删除特效");
        case pads::kCmdRename:
            return QT_TRANSLATE_NOOP("QObject", "重命名");
        default:
            return "";
    }
}

}  // namespace

std::vector<int> CEventHandlerSound::PadMenuItems(int id) const {
    if (!pads::InMenuRange(id)) return {};
    bool noMenu = false;
    const std::vector<int> own =
        pads::MenuItemsAfterLoad(id,
                                 m_host->Hotkeys().GetFavouriteHotkey(
                                     static_cast<size_t>(std::max(0, id - pads::kFavouriteBase))),
                                 noMenu);
    if (noMenu) return {};
    std::vector<int> items = {pads::kCmdLoadIntoDevice};
    items.insert(items.end(), own.begin(), own.end());
    return items;
}

void CEventHandlerSound::OpenPadMenu(int id, const QPoint& globalPos) {
    m_lastRightClickId = id;
    if (!pads::InMenuRange(id)) {
        m_menuPadId = 0;
        return;
    }
    m_menuPadId = id;
    const std::vector<int> items = PadMenuItems(id);
    if (items.empty()) return;
    int chosen = 0;
    {
        ModalScope modal(*this);
        chosen = chooseMenuItem ? chooseMenuItem(items) : RunPadMenu(items, globalPos);
    }
    if (chosen)
        m_host->DispatchWindowMessage({WindowMessage::kCommand, static_cast<uint32_t>(chosen)});
}

int CEventHandlerSound::RunPadMenu(const std::vector<int>& items, const QPoint& globalPos) {
    QMenu menu(m_host->Window());
    menu.setObjectName(QStringLiteral("menu_mood_hotkey"));
    for (int item : items) {
        if (item == pads::kCmdLoadIntoDevice) {
            QMenu* load = menu.addMenu(QObject::tr("载入设备"));
            load->menuAction()->setData(pads::kCmdLoadIntoDevice);
            const char* slots_[] = {QT_TRANSLATE_NOOP("QObject", "自定义1"),
                                    QT_TRANSLATE_NOOP("QObject", "自定义2"),
                                    QT_TRANSLATE_NOOP("QObject", "自定义3")};
            for (int s = 0; s < 3; ++s)
                load->addAction(QObject::tr(slots_[s]))->setData(pads::kCmdSlot1 + s);
            continue;
        }
        menu.addAction(QObject::tr(ItemText(item)))->setData(item);
    }
    const QAction* chosen = menu.exec(globalPos);
    return chosen ? chosen->data().toInt() : 0;
}

void CEventHandlerSound::OnMenuCommand(int id) {
    switch (id) {
        case pads::kCmdSlot1:
        case pads::kCmdSlot2:
        case pads::kCmdSlot3:
            SendToSlot(id - pads::kCmdSlot1 + 1);
            break;
        case pads::kCmdAddFavourite:
            AddToFavourites();
            break;
        case pads::kCmdRemoveFavourite:
            m_host->Hotkeys().RemoveFavourite(
                static_cast<size_t>(m_menuPadId - pads::kFavouriteBase));
            RebuildFavourites();
            break;
        case pads::kCmdSetHotkey:
        case pads::kCmdEditHotkey:
            EditFavouriteHotkey();
            break;
        case pads::kCmdDeleteHotkey:
            DeleteFavouriteHotkey();
            break;
        case pads::kCmdDeleteLocal:
            DeleteLocalPad();
            break;
        case pads::kCmdRename:
            RenameLocalPad();
            break;
        default:
            break;
    }
}

void CEventHandlerSound::SendToSlot(int slot) {
    if (!CardConnected()) {
        ShowMessage(QObject::tr("未连接设备！"));
        return;
    }
    SoundEntry entry;
    if (pads::FindEntry(m_host->Hotkeys(), m_menuPadId, entry) != pads::Lookup::kFound) return;
    m_sendSlot = slot;
    int resourceFlag = 0;
    std::string path;
    if (entry.kind == SoundEntry::kBuiltIn) {
        resourceFlag = 1;
        path = entry.PathUtf8();
    } else if (entry.kind == SoundEntry::kFile) {
        path = entry.PathUtf8();
    } else if (entry.kind == SoundEntry::kCloud) {
        auto downloaded = DownloadedOrFetch(m_menuPadId, pads::kFollowSend);
        if (!downloaded) return;
        path = downloaded->PathUtf8();
    } else {
        return;
    }
    auto event = std::make_shared<EventDoSendData>(this);
    event->path = path;
    event->resourceFlag = resourceFlag;
    m_host->NotifyCenter().FireEvent(*event);
}

void CEventHandlerSound::OnDoSendData(EventArgs& e) {
    auto& event = static_cast<EventDoSendData&>(e);
    CWorkSpace* workspace = m_host->Workspace();
    CQvAudioProtocol* protocol = workspace ? workspace->Protocol() : nullptr;
    if (m_uploadWindowOpen || !protocol || protocol->soundTransferActive.load()) return;
    if (onSendRequest) {
        onSendRequest(event.path, event.resourceFlag, m_sendSlot);
        return;
    }
    CSendWindow::Request request;
    request.source = event.path;
    request.slot = m_sendSlot;
    request.padVolume = m_host->Hotkeys().Volume();
    request.resourceFlag = event.resourceFlag;
    UploadClip(request, onSendWindowOpen);
}

bool CEventHandlerSound::UploadClip(const CSendWindow::Request& request,
                                    const std::function<void(CSendWindow&)>& onOpen) {
    CWorkSpace* workspace = m_host ? m_host->Workspace() : nullptr;
    CQvAudioProtocol* protocol = workspace ? workspace->Protocol() : nullptr;
    if (m_uploadWindowOpen || !protocol || protocol->soundTransferActive.load()) return false;
    ModalScope modal(*this);
    m_uploadWindowOpen = true;
    {
        CSendWindow window(request, *protocol, m_host->NotifyCenter(), m_host->Window());
        if (onOpen) onOpen(window);
        window.exec();
    }
    m_uploadWindowOpen = false;
    return true;
}

void CEventHandlerSound::AddToFavourites() {
    HotkeyConfig& config = m_host->Hotkeys();
    SoundEntry entry;
    if (pads::FindEntry(config, m_menuPadId, entry) != pads::Lookup::kFound) return;
    if (entry.kind == SoundEntry::kCloud) {
        auto downloaded = DownloadedOrFetch(m_menuPadId, pads::kFollowFavourite);
        if (!downloaded) return;
        entry = *downloaded;
    }
    if (config.IsFavourite(entry)) {
        ShowTipAtPad(m_menuPadId, QObject::tr("收藏夹中已经存在“%1”")
                                      .arg(DisplayName(QString::fromStdU16String(entry.Name()))));
        return;
    }
    entry.hotkey = 0;
    config.AddFavourite(entry);
    RebuildFavourites();
    ShowTipAtPad(m_menuPadId, QObject::tr("成功添加到收藏夹！"));
}

void CEventHandlerSound::EditFavouriteHotkey() {
    HotkeyConfig& hotkeys = m_host->Hotkeys();
    const int id = m_menuPadId;
    const size_t index = static_cast<size_t>(id - pads::kFavouriteBase);
    if (index >= hotkeys.Favourites().size()) return;
    const uint32_t current = hotkeys.GetFavouriteHotkey(index);
    // While the dialog is open nothing is grabbed: the keys must reach the dialog.
    const bool enabled = hotkeys.HotkeysEnabled();
    if (enabled) hotkeys.UnregisterHotkeys();
    SInputHotKeyDlg dialog(SInputHotKeyDlg::kLayoutName, current, QString(), m_host->Window());
    dialog.SetHotkeyId(HotkeyConfig::kHotkeyIdBase + static_cast<int>(index));
    if (onHotkeyDialogOpen)
        QTimer::singleShot(0, &dialog, [this, &dialog] { onHotkeyDialogOpen(dialog); });
    int result = 0;
    {
        ModalScope modal(*this);
        result = dialog.exec();
    }
    if (result == 1 && dialog.Hotkey() != current) {
        if (hotkeys.IsHotkeyUsed(dialog.Hotkey())) {
            ShowTipAtPad(id, QObject::tr("此热键已经被占用！"));
        } else {
            hotkeys.SetFavouriteHotkey(index, dialog.Hotkey());
            RebuildFavourites();
        }
    }
    if (enabled) hotkeys.RegisterHotkeys();
}

void CEventHandlerSound::DeleteFavouriteHotkey() {
    HotkeyConfig& hotkeys = m_host->Hotkeys();
    const bool enabled = hotkeys.HotkeysEnabled();
    if (enabled) hotkeys.UnregisterHotkeys();
    hotkeys.SetFavouriteHotkey(static_cast<size_t>(m_menuPadId - pads::kFavouriteBase), 0);
    if (enabled) hotkeys.RegisterHotkeys();
    RebuildFavourites();
}

void CEventHandlerSound::DeleteLocalPad() {
    HotkeyConfig& config = m_host->Hotkeys();
    const size_t index = static_cast<size_t>(m_menuPadId - pads::kLocalBase);
    if (index >= config.Locals().size()) return;
    const SoundEntry entry = config.Locals()[index];
    if (entry.Name() == m_curEntry.Name() && entry.Path() == m_curEntry.Path()) Stop();
    config.RemoveLocal(index);
    RebuildLocal();
    if (config.RemoveFavouritesLike(entry)) RebuildFavourites();
}

std::optional<QString> CEventHandlerSound::AskClipName(const QString& offered) {
    if (askClipName) return askClipName(offered);
    ModalScope modal(*this);
    CDlgEditFileName dialog(offered, m_host->Window());
    if (dialog.exec() != 1) return std::nullopt;
    return dialog.Name();
}

void CEventHandlerSound::RenameLocalPad() {
    HotkeyConfig& config = m_host->Hotkeys();
    const size_t index = static_cast<size_t>(m_menuPadId - pads::kLocalBase);
    if (index >= config.Locals().size()) return;
    const QString offered = QString::fromStdU16String(config.Locals()[index].Name());
    const std::optional<QString> name = AskClipName(offered);
    if (!name) return;
    config.RenameLocal(index, name->left(CDlgEditFileName::kMaxNameLength).toStdU16String());
    RebuildLocal();
}

void CEventHandlerSound::AddLocalClip() {
    QString file;
    if (askClipFile) {
        file = askClipFile();
    } else {
        ModalScope modal(*this);
        file = QFileDialog::getOpenFileName(m_host->Window(), QString(), QString(),
                                            QObject::tr("mp3文件(*.mp3)"));
    }
    if (file.isEmpty()) return;
    const QString fileName = QFileInfo(file).fileName();
    const QString offered = fileName.left(std::max<qsizetype>(0, fileName.size() - 4));
    const std::optional<QString> name = AskClipName(offered);
    if (!name) return;
    std::string reason;
    if (!m_host->Hotkeys().AddLocalFile(name->toStdU16String(), file.toStdString(), &reason)) {
        ShowMessage(CoreMessage(reason));
        return;
    }
    RebuildLocal();
}
