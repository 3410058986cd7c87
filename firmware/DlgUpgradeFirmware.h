#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <vector>

#include "CardLink.h"
#include "FirmwareWriter.h"
#include "UpgradeContext.h"
#include "UpgradePhases.h"
#include "UpgradeWorker.h"
#include "WindowTimers.h"

class CQvAudioProtocol;
class QAbstractButton;
class QLabel;
class QProgressBar;

// The firmware upgrade dialog: checks the card and reads its versions, asks the service for
// the newest firmware, downloads and unpacks the package, shows the versions and, after the
// user's confirmation, runs the write phase. Each phase runs on the worker and reports with
// 1127 (result) and 1128 (progress); a failed phase is repeated with "重试".
class CDlgUpgradeFirmware : public QDialog {
  public:
    // The phase, which decides what "重试" repeats.
    enum Phase {
        kCheckingCard = 1,
        kCardRead = 2,
        kAskingServer = 3,
        kServerAnswered = 5,
        kServerDone = 6,
        kDownloading = 7,
        kPackageReady = 8,
        kUnpacking = 11,
        kUnpacked = 12,
        kWriting = 17,
        kFinished = 18,
    };
    static constexpr int kTimerStart = 1011;

    // What the dialog works with beyond the card's manager; tests replace parts of it.
    struct Services {
        std::unique_ptr<firmware::ICardLink> card;          // default: through the protocol
        std::unique_ptr<firmware::IFirmwareWriter> writer;  // default: the card's own
        firmware::WriteTimings timings;
        // Holds (true) and gives back (false) the lock against sleep and shutdown.
        std::function<void(bool)> holdSleep;
    };

    // protocol: the program's (null: no card can be reached).
    CDlgUpgradeFirmware(CQvAudioProtocol* protocol, Services services, QWidget* parent);
    ~CDlgUpgradeFirmware() override;

    // Runs the dialog modally; true when an upgrade completed.
    static bool Show(CQvAudioProtocol* protocol, std::function<void(bool)> holdSleep,
                     QWidget* parent);

    int CurrentPhase() const { return m_phase; }
    bool UpgradeCompleted() const { return m_completed; }
    const firmware::UpgradeContext& Context() const { return m_context; }
    // The settings copy made before the last write phase (empty: none).
    const std::string& BackupPath() const { return m_backupPath; }

    // The buttons' handlers.
    void Retry();
    void ConfirmUpgrade();

  private:
    void OnTimer(int id);
    void OnMessage(uint32_t message, uint64_t wParam, int64_t lParam);
    void OnProgress(uint64_t code, int64_t value);
    void OnServerResult(bool ok);
    void OnServerSuccess();
    void OnDownloadResult(bool ok);
    void OnWriteResult(bool ok);

    void CheckDevice();
    void AskServer();
    void Download();
    void StartWrite();

    void ShowMessage(const QString& text, bool error);
    void ShowError();  // errorText in red, when there is one; "重试" in any case
    void SetAction(const QString& text);
    void SetProgress(int value);
    void Hold(bool on);
    firmware::PostFn Poster();

    Services m_services;
    firmware::UpgradeContext m_context;
    std::vector<uint8_t> m_package;
    std::string m_packagePath;
    std::string m_backupPath;
    int m_phase = kCheckingCard;
    bool m_completed = false;
    bool m_holding = false;
    bool m_downloaded = false;  // the package file is this dialog's to delete

    QLabel* m_msg = nullptr;
    QLabel* m_action = nullptr;
    QProgressBar* m_progress = nullptr;
    QAbstractButton* m_retry = nullptr;
    QAbstractButton* m_upgrade = nullptr;

    CWindowTimers* m_timers = nullptr;  // a child
    CMessagePoster m_poster;
    // Last: ends (and is waited for) before the context and the poster it uses go.
    firmware::CUpgradeWorker m_worker;
};
