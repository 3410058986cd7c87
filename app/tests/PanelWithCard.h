#pragma once

#include <json/json.h>

#include <QPointer>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "MainApp.h"
#include "MainDlg.h"

// The panel in this process with a virtual card of its own: the card runs as a child
// process, the panel's runtime, data and config folders are in a temporary folder, and
// message boxes are answered with OK. Tests and benchmarks of the whole panel start here.
class PanelWithCard {
  public:
    PanelWithCard() = default;
    ~PanelWithCard();
    PanelWithCard(const PanelWithCard&) = delete;
    PanelWithCard& operator=(const PanelWithCard&) = delete;

    // The card (cardArgs added to its options) and the panel's folders. False when the card
    // did not start.
    bool StartCard(const std::vector<std::string>& cardArgs = {});
    // The panel attached to the card with its main window up (window). language: as --lang;
    // beforeWindows runs between Init and the windows, where the program starts its control
    // interface. False when it did not start, attach the card or show the window.
    bool StartPanel(const std::string& language = {},
                    const std::function<void(CMainApp&)>& beforeWindows = {});

    // The card's answer to one console command.
    std::string CardCommand(const std::string& line);
    // The card's state ("state": params, sound slots, effect file, faults).
    Json::Value CardState();
    // Waits (bounded, the event loop running) until the card's parameter id holds value.
    bool CardParamBecomes(int id, int value);
    // The panel's data folder ($XDG_DATA_HOME).
    std::string DataDir() const { return dir.Path() + "/data"; }

    TempDir dir;
    ChildProcess card;
    std::unique_ptr<CMainApp> app;
    QPointer<CMainDlg> window;
};
