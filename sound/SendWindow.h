#pragma once

#include <QDialog>
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "LibmadDecoder.h"
#include "SoundSender.h"
#include "WindowTimers.h"

class CNotifyGate;
class CQvAudioProtocol;
class EventArgs;
class INotifyCenter;
class QLabel;
class QProgressBar;

// The small modal window that loads a clip into one of the card's sound slots: decoding (busy
// animation), converting, waiting for the card to accept the header, sending (progress), then
// it closes itself, with a message box when something failed. The user cannot close it; while
// it exists the protocol's soundTransferActive is set (the tray refuses Exit, the pad page
// ignores further uploads).
class CSendWindow : public QDialog {
    Q_OBJECT

  public:
    struct Request {
        std::string source;  // a file path, or a built-in clip's resource name
        int slot = 1;        // 1..3
        int padVolume = 100;
        int resourceFlag = 0;  // 1: source is a resource name
        double master = -1;    // master level 0..1; -1: the default output's
        bool quiet = false;    // no message box on failure: onFinished tells whoever asked
    };
    enum class Stage { kDecoding, kWaiting, kSending, kClosed };

    CSendWindow(const Request& request, CQvAudioProtocol& protocol, INotifyCenter& center,
                QWidget* parent);
    ~CSendWindow() override;

    int DecoderVolume() const { return m_decoderVolume; }

    // For whoever asked for the upload besides the user (the control interface): bytes the
    // card acknowledged of the total, and the outcome, told before any message box shows
    // (text empty on success; written as the program's texts are, whatever the UI's language,
    // so that the control interface answers the same in any language).
    std::function<void(uint64_t acknowledged, uint64_t total)> onProgress;
    std::function<void(const QString& failure)> onFinished;

    // Close requests (Escape, the window manager, ids 1 and 2) are swallowed.
    void reject() override {}
    void done(int result) override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void OnDecoderFinished(EventArgs& event);
    void OnMessage(uint32_t message, uint64_t wParam);
    // Closes the window; a text then shows, translated, in a message box over the parent.
    void Finish(const char* text = nullptr, const char* caption = nullptr);

    Request m_request;
    CQvAudioProtocol& m_protocol;
    INotifyCenter& m_center;
    std::shared_ptr<CNotifyGate> m_gate;
    int m_subscription = 0;
    int m_decoderVolume = 0;
    Stage m_stage = Stage::kDecoding;
    bool m_closing = false;
    uint64_t m_total = 0;

    QWidget* m_waiting = nullptr;
    QWidget* m_sending = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_tip = nullptr;

    // Declared in this order so the sender thread ends before the poster it posts to goes.
    CMessagePoster m_poster;
    upload::CLibmadDecoder m_decoder;
    upload::CSoundSender m_sender;
};
