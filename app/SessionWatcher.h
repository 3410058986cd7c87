#pragma once

#include <QObject>
#include <QString>
#include <memory>

class QSocketNotifier;

// What the system says before it sleeps, wakes or shuts down, and the request to end the
// program: the login manager on the system bus (PrepareForSleep, PrepareForShutdown) and
// SIGTERM. While held, a delay lock ("sleep:shutdown") asks the login manager to wait for us
// (up to its limit) before it goes on. Without a system bus or a login manager it stays quiet
// and the program works as before.
class CSessionWatcher : public QObject {
    Q_OBJECT

  public:
    explicit CSessionWatcher(QObject* parent = nullptr);
    ~CSessionWatcher() override;

    // Listens on the system bus (DBUS_SYSTEM_BUS_ADDRESS chooses another one) and for SIGTERM.
    void Start();
    bool OnSystemBus() const { return m_onBus; }

    // Takes (on) or gives back (off) the delay lock; the answer comes asynchronously, so the
    // UI never waits for the bus. Holding() is what was asked last.
    void Hold(bool on);
    bool Holding() const { return m_delay.wanted; }
    bool LockHeld() const { return m_delay.fd >= 0; }

    // While firmware is written, sleep and shutdown are blocked outright (a delay lock would
    // give way after a few seconds, half-way through an image).
    void HoldForFirmware(bool on);
    bool FirmwareLockHeld() const { return m_block.fd >= 0; }

  signals:
    void sleepPreparing(bool starting);  // true: about to sleep; false: woke up
    void shutdownPreparing();
    void shutdownCancelled();
    void terminateRequested();    // SIGTERM
    void lockChanged(bool held);  // the delay lock

  private slots:
    void OnPrepareForSleep(bool starting);
    void OnPrepareForShutdown(bool starting);

  private:
    struct Lock {
        const char* mode;  // "delay" or "block"
        const char* why;
        bool wanted = false;
        int fd = -1;
        unsigned request = 0;  // numbers Inhibit calls, so a late answer to an old one is dropped
    };
    void SetLock(Lock& lock, bool on);
    void ReleaseLock(Lock& lock);
    void OnSignalPipe();

    QString m_busName;
    bool m_onBus = false;
    Lock m_delay{"delay", "A recording is being finished"};
    Lock m_block{"block", "Firmware is being written to the sound card"};
    std::unique_ptr<QSocketNotifier> m_signalNotifier;
};
