#pragma once

#include <QPoint>
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "ICloudEffectHost.h"
#include "PageHost.h"
#include "Records.h"
#include "UiEvents.h"

class CWorkSpace;
class CParamControlBinder;
class COverlayRules;
class QAbstractButton;
class QWidget;
class QvEQ;

// The effects page: the 24 effect buttons, the presets, the mixer, the equaliser curve, the
// meters, the library trees and the overlays. Turns clicks, menu choices and hotkeys into
// workspace calls and follows the workspace's events. UI thread only.
// The text of a hotkey value ("Ctrl+F1").
QString HotkeyTextOf(int value);
// A name cut to what a button holds: `width` Chinese characters, or twice as many letters
// and digits (about half as wide); a cut name keeps room for the ".." it ends in.
QString FitName(const QString& name, int width);

class CKxTreeViewAdapter;
class CCloudEffectListTreeViewAdapter;
class CCloudEffectListDownloader;
class CNotifyGate;
class SInputHotKeyDlg;
class INotifyCenter;

class CEventHandlerEffect : public IPageHandler, public ICloudEffectHost {
  public:
    // Test seam: runs once the set-hotkey dialog's loop is up (to inspect and close it).
    std::function<void(SInputHotKeyDlg&)> onHotkeyDialogOpen;

    static constexpr int kFirstEffectButton = 10000;
    static constexpr int kEffectButtons = 24;
    static constexpr int kTimerThrottle = 1000;
    static constexpr int kTimerCloudRetry = 1005;
    static constexpr int kTimerForbidOperate = 1012;
    static constexpr int kSaveEffectButton = 12100;

    CEventHandlerEffect();
    ~CEventHandlerEffect() override;

    void Init(IPageHost* host) override;
    bool OnControlEvent(const ControlEvent& event) override;
    bool OnWindowMessage(const WindowMessage& message) override;

    // Called by the library trees.
    int ApplyEffectFile(const QString& name, const QString& path) override;
    int StoreEffectFileInSlot(int slot, const QString& name, const QString& path) override;
    // An effect file sent from outside the page (the control interface): applied (slot 0) or
    // stored in custom slot 1..3 as a library item would be. 0 with reason when refused.
    int UploadEffectFromControl(int slot, const QString& path, std::string* reason);
    void SetTipAnchor(int x, int y) override;
    QString CurrentEffectPath() const override;
    CKxTreeViewAdapter* Library() const { return m_library.get(); }
    void RefetchCloudList() override;
    CCloudEffectListTreeViewAdapter* CloudTree() const { return m_cloudTree.get(); }

    // The page's operations (also reached by hotkeys and tests).
    // True when the effect is current afterwards.
    bool SelectEffect(int id);
    void RefreshSelection();
    void RefreshEffectButtons();
    bool SelectPreset(int id);  // true when applied
    void ClearPresetMarks();
    void RestoreGroup(int id);
    void RefreshPresetButtons();
    void ToggleNaturalVoice();
    void OnEffectHotkey(int id);

    // The effect button menu.
    void OpenEffectMenu(int buttonId, const QPoint& globalPos);
    void OnMenuCommand(int id);
    void SetEffectHotkey(int value, int id);
    void LoadEffectHotkeys();
    int MenuButtonId() const { return m_menuButtonId; }
    // The items the menu of a button offers, in order (ids), empty when it opens none.
    std::vector<int> EffectMenuItems(int buttonId) const;

    QAbstractButton* EffectButton(int index) const;
    CParamControlBinder* Binder() const { return m_binder.get(); }
    bool PresetMarked() const { return m_presetMarked; }

  private:
    void Subscribe();
    void OnParamChanged(const EventArgs& event);
    void OnDeviceChanged();
    void OnLevels(const EventArgs& event);
    void OnTransferMessage(uint64_t wParam, int64_t lParam);
    void OnTabChanged(const ControlEvent& event);
    void SaveEffect();
    void SavePreset(int id);
    void SaveToCardSlot(int slot);
    void EditEffectHotkey();
    void ShowForbidOperation(bool visible);
    // An upload the workspace refused (unreadable file, no card): lifts the block at once
    // and says so, as a failed transfer does.
    void EndRefusedUpload();
    void ShowUploadFailedTip();
    void ShowTipAtButton(int id, const QString& text, int ms);
    void SetEqFromValues();
    void ShowCloudFallback();
    void StartCloudFetch();
    void OnCloudListFinished(EventArgs& event);
    void StopCloudWorker();
    int UploadFile(int kind, int slot, const QString& name, const QString& path,
                   std::string* reason = nullptr);
    int HotkeyValue(int id) const;
    void LabelButton(int id, QString text, int hotkey);

    IPageHost* m_host = nullptr;
    INotifyCenter* m_center = nullptr;  // where the page subscribed
    CWorkSpace* m_workspace = nullptr;
    std::unique_ptr<CParamControlBinder> m_binder;
    std::unique_ptr<COverlayRules> m_overlays;
    std::unique_ptr<CKxTreeViewAdapter> m_library;
    std::unique_ptr<CCloudEffectListTreeViewAdapter> m_cloudTree;
    // The list fetch while it runs, its serial, and the gate its result passes: closed when
    // the page goes, so a fetch that outlives the page reaches nothing.
    std::shared_ptr<CCloudEffectListDownloader> m_cloudWorker;
    uint64_t m_cloudSerial = 0;
    std::shared_ptr<CNotifyGate> m_cloudGate;
    std::array<QAbstractButton*, kEffectButtons> m_effectButtons{};
    std::array<std::vector<QAbstractButton*>, 4> m_presetButtons;  // groups 1..3 by position
    QvEQ* m_eq = nullptr;
    std::vector<int> m_subscriptions;

    int m_menuButtonId = -1;
    lw52::EffectRecord m_savedEffect{};
    bool m_presetMarked = false;
    QString m_pendingName;
    QPoint m_tipAnchor;
    int m_pendingKind = 0;  // 1 use, 2 save
};
