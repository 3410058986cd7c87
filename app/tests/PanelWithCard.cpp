#include "PanelWithCard.h"

#include <sys/stat.h>

#include <QByteArray>
#include <QTest>

#include "MessageBox.h"

PanelWithCard::~PanelWithCard() {
    app.reset();  // before the card goes
    msgbox::SetResponder(nullptr);
}

bool PanelWithCard::StartCard(const std::vector<std::string>& cardArgs) {
    const std::string vhid = dir.Path() + "/vhid";
    std::vector<std::string> args = {"--dir", vhid};
    args.insert(args.end(), cardArgs.begin(), cardArgs.end());
    if (!card.Start(LW52_EMULATOR_PATH, args) || card.WaitForLine("listening on", 10000).empty())
        return false;
    const std::string runtime = dir.Path() + "/run";
    mkdir(runtime.c_str(), 0700);
    qputenv("XDG_RUNTIME_DIR", QByteArray::fromStdString(runtime));
    qputenv("LW52_VHID_DIR", QByteArray::fromStdString(vhid));
    qputenv("XDG_DATA_HOME", QByteArray::fromStdString(DataDir()));
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Path() + "/config"));
    msgbox::SetResponder([](const msgbox::Shown&) { return msgbox::kIdOk; });
    return true;
}

bool PanelWithCard::StartPanel(const std::string& language,
                               const std::function<void(CMainApp&)>& beforeWindows) {
    app = std::make_unique<CMainApp>();
    app->SetLanguageOption(language);
    if (!app->Init() || !app->Workspace()->IsConnected()) return false;
    if (beforeWindows) beforeWindows(*app);
    app->StartWindows();
    if (!QTest::qWaitFor([&] { return app->MainWindow() != nullptr; }, 5000)) return false;
    window = app->MainWindow();
    return true;
}

std::string PanelWithCard::CardCommand(const std::string& line) {
    card.WriteLine(line);
    std::string answer;
    card.ReadLine(answer, 5000);
    return answer;
}

Json::Value PanelWithCard::CardState() {
    Json::Value value;
    Json::CharReaderBuilder builder;
    std::string errors;
    const std::string text = CardCommand("state");
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    reader->parse(text.data(), text.data() + text.size(), &value, &errors);
    return value;
}

bool PanelWithCard::CardParamBecomes(int id, int value) {
    return QTest::qWaitFor([&] { return CardState()["params"][id].asInt() == value; }, 5000);
}
