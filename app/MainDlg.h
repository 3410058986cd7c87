#pragma once

#include <QMenu>
#include <QPoint>
#include <QWidget>
#include <memory>
#include <vector>

#include "NotifyCenter.h"
#include "PageHost.h"
#include "WindowTimers.h"

class CDiagnosisBar;
class CMainApp;

// The main window: the layout "LAYOUT:XML_MAINWND" at 974 x 662 with its three pages.
// Control events and window messages go to the effects page, then the sound-pad page, then
// the recording page, and only then to the window itself. The pages reach the window and the
// program's services through it as their host.
class CMainDlg : public QWidget, public IPageHost {
  public:
    static constexpr int kWidth = 974;
    static constexpr int kHeight = 662;
    static constexpr int kTimerUntopmost = 1007;
    static constexpr uint32_t kMsgTransfer = 1125;
    static constexpr uint32_t kMsgUpgradeFirmware = 1126;

    explicit CMainDlg(CMainApp& app);
    ~CMainDlg() override;

    // Runs the window's creation steps (top-most, timer 1007, the pages' Init).
    void InitDialog();

    QWidget* Content() const override { return m_content; }
    QWidget* Find(const QString& name) const;
    QWidget* FindById(int id) const;
    CWindowTimers& Timers() override { return *m_timers; }
    IMessageSink& Messages() { return m_poster; }
    CMainApp& App() { return m_app; }
    // The pages in routing order (effects, sound pads, recording).
    const std::vector<std::unique_ptr<IPageHandler>>& Pages() const { return m_pages; }

    // Routing entry points (also used by tests to inject events).
    void DispatchControlEvent(const ControlEvent& event);
    void DispatchWindowMessage(const WindowMessage& message) override;
    void OnMenuCommand(int index);
    // Replaces a page (tests put a page of their own in the routing order).
    void SetPage(size_t index, std::unique_ptr<IPageHandler> page);
    QMenu* MainMenu() const { return m_mainMenu; }
    // The bar that explains a card that is there but cannot be attached (null before InitDialog).
    CDiagnosisBar* DiagnosisBar() const { return m_diagnosis; }

    // The pages' host: this window and the program's services.
    QWidget* Window() override { return this; }
    CWorkSpace* Workspace() override;
    INotifyCenter& NotifyCenter() override;
    HotkeyConfig& Hotkeys() override;
    QString ExeDir() const override;
    QString UserDir() const override;
    QString EffectListPath() const override;
    void HoldSleepAndShutdown(bool on) override;
    void DetachDevice() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    void OnOwnControlEvent(const ControlEvent& event);
    void OnOwnWindowMessage(const WindowMessage& message);
    void OnDestroy();
    void ShowDeviceInfo();
    void ShowUpgradeDialog();

    CMainApp& m_app;
    QWidget* m_content = nullptr;
    std::unique_ptr<CWindowTimers> m_timers;
    CMessagePoster m_poster;
    std::vector<std::unique_ptr<IPageHandler>> m_pages;
    QMenu* m_mainMenu = nullptr;
    CDiagnosisBar* m_diagnosis = nullptr;
    bool m_destroyed = false;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
