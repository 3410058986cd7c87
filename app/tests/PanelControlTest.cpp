// The running panel's control interface as its clients use it: lw52ctl from another process,
// programs on the session bus, and clients that misbehave on the socket. The panel runs on
// the offscreen platform with a virtual card.
#include <gtest/gtest.h>
#include <json/json.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QLabel>
#include <QLocalSocket>
#include <QProcess>
#include <QTest>
#include <algorithm>
#include <memory>
#include <sstream>

#include "ChildProcess.h"
#include "ControlBus.h"
#include "ControlResults.h"
#include "ControlSocketServer.h"
#include "EventHandlerEffect.h"
#include "InputHotkeyDialog.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MessageBox.h"
#include "PanelWithCard.h"
#include "PrivateSessionBus.h"

namespace {

Json::Value Parse(const std::string& text) {
    Json::Value value;
    std::istringstream in(text);
    Json::CharReaderBuilder builder;
    std::string errors;
    Json::parseFromStream(builder, in, &value, &errors);
    return value;
}

struct CtlResult {
    int code = -1;
    std::string out;
    std::string err;
};

// Receives the panel's bus signals on a connection of its own.
class SignalSink : public QObject {
    Q_OBJECT
  public slots:
    void OnParamChanged(int id, int raw, const QString& text) {
        changes.push_back({id, raw});
        lastText = text;
    }

  public:
    std::vector<std::pair<int, int>> changes;
    QString lastText;
};

class PanelControlTest : public ::testing::Test, protected PanelWithCard {
  protected:
    static void SetUpTestSuite() { PrivateSessionBus::StartForProgram(); }

    void SetUp() override {
        ASSERT_TRUE(StartCard());
        ASSERT_TRUE(StartPanel({}, [](CMainApp& panel) {
            panel.StartControl(QString::fromStdString(control::SocketPath()));
        }));
        ASSERT_NE(app->Control()->SocketServer(), nullptr);
    }

    // lw52ctl in its own process while the panel's event loop runs.
    CtlResult Ctl(const QStringList& args, int timeoutMs = 30000) {
        QProcess p;
        p.start(LW52CTL_PATH, args);
        CtlResult r;
        if (!QTest::qWaitFor([&] { return p.state() == QProcess::NotRunning; }, timeoutMs)) {
            p.kill();
            p.waitForFinished();
        } else if (p.exitStatus() == QProcess::NormalExit) {
            r.code = p.exitCode();
        }
        r.out = p.readAllStandardOutput().toStdString();
        r.err = p.readAllStandardError().toStdString();
        return r;
    }
    bool ButtonChecked(int id) {
        auto* button = qobject_cast<QAbstractButton*>(window->FindById(id));
        return button && button->isChecked();
    }
    int SliderValue(int id) {
        auto* slider = qobject_cast<QAbstractSlider*>(window->FindById(id));
        return slider ? slider->value() : -1;
    }
    std::unique_ptr<QLocalSocket> Client() {
        auto socket = std::make_unique<QLocalSocket>();
        socket->connectToServer(QString::fromStdString(control::SocketPath()));
        return socket;
    }
    // The next line a client receives (bounded wait, the event loop running).
    static std::string NextLine(QLocalSocket& socket, int timeoutMs = 5000) {
        if (!QTest::qWaitFor([&] { return socket.canReadLine(); }, timeoutMs)) return {};
        return socket.readLine().trimmed().toStdString();
    }
};

TEST_F(PanelControlTest, LwctlChangesTheCardThroughThePanelAndThePageFollows) {
    struct stat st {};
    ASSERT_EQ(stat(control::SocketPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    EXPECT_EQ(st.st_uid, getuid());

    CtlResult r = Ctl({"--verbose", "effect", "2"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "音效 2 喊麦\n");
    EXPECT_NE(r.err.find("through the running panel"), std::string::npos) << r.err;
    EXPECT_TRUE(CardParamBecomes(4, 2));
    EXPECT_TRUE(ButtonChecked(10002)) << "the effect button follows";

    r = Ctl({"set", "36", "50"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, "36 混响音量 = 50 (50)\n");
    EXPECT_TRUE(CardParamBecomes(36, 50));
    EXPECT_EQ(SliderValue(8023), 50) << "the knob follows";
    EXPECT_EQ(qobject_cast<QLabel*>(window->FindById(6023))->text(), "50");

    // Failures and their exit codes as on the direct path.
    r = Ctl({"custom", "5"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "lw52ctl: that user effect is empty\n");
    r = Ctl({"effect", "12"});
    EXPECT_EQ(r.code, 2) << "usage errors stay with lw52ctl";
    r = Ctl({"--direct", "effect", "3"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("device busy"), std::string::npos) << r.err;

    // A file effect is sent with progress and answered when the card has it all.
    r = Ctl({"--json", "upload-effect", LW52_EFFECT_FILE});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(Parse(r.out)["uploaded"].asString(), LW52_EFFECT_FILE);
    EXPECT_EQ(CardState()["effectFile"]["status"].asString(), "ok");

    // A clip that cannot be decoded is refused with lw52ctl's own words, and leaves nothing
    // waiting for a click: the next upload runs.
    r = Ctl({"upload-sound", "builtin:NO_SUCH_CLIP", "--slot", "2", "--master", "1"});
    EXPECT_EQ(r.code, 1);
    EXPECT_EQ(r.err, "lw52ctl: 特效解码失败 (no built-in clip named NO_SUCH_CLIP)\n");
    // A clip goes into a sound slot through the panel's own upload window.
    r = Ctl({"upload-sound", "builtin:DJ_ZS", "--slot", "2", "--master", "1"}, 60000);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out.rfind("uploaded builtin:DJ_ZS to sound slot 2: ", 0), 0u) << r.out;
    EXPECT_TRUE(CardState()["sound"][1]["complete"].asBool());

    // The window closed to the tray lets the card go; a watcher is told and gets it back,
    // and so does a request.
    auto watcher = Client();
    watcher->write("{\"op\":\"subscribe\",\"levels\":false}\n");
    EXPECT_EQ(Parse(NextLine(*watcher))["result"]["connected"].asBool(), true);
    app->DestroyWindows();
    EXPECT_EQ(Parse(NextLine(*watcher))["event"].asString(), "disconnected");
    EXPECT_EQ(Parse(NextLine(*watcher))["event"].asString(), "connected");
    r = Ctl({"effect", "5"});
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(CardParamBecomes(4, 5));
    // The panel that ends without its window lets the card go all the same.
    app.reset();
    EXPECT_FALSE(CardState()["hostConnected"].asBool());
}

TEST_F(PanelControlTest, OneTransferAtATimeAndPadsNeedTheWindow) {
    // A slow card: the effect file's transfer lasts long enough to ask for more meanwhile.
    card.WriteLine("fault delay 20");
    auto uploader = Client();
    uploader->write(QByteArray("{\"id\":1,\"op\":\"upload-effect\",\"file\":\"") +
                    LW52_EFFECT_FILE + "\"}\n");
    EXPECT_EQ(Parse(NextLine(*uploader))["event"].asString(), "progress");
    auto other = Client();
    other->write("{\"id\":2,\"op\":\"effect\",\"index\":3}\n");
    EXPECT_EQ(Parse(NextLine(*other))["error"].asString(), CPanelControl::kBusyText);
    std::string answer;
    while ((answer = NextLine(*uploader, 30000)).find("\"ok\"") == std::string::npos &&
           !answer.empty()) {
    }
    EXPECT_EQ(Parse(answer)["ok"].asBool(), true) << answer;
    card.WriteLine("fault clear");
    CtlResult r = Ctl({"effect", "3"});
    EXPECT_EQ(r.code, 0) << r.err;

    app->DestroyWindows();
    r = Ctl({"pad", "play", "14000"});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("window is closed"), std::string::npos) << r.err;
}

TEST_F(PanelControlTest, WatchSeesAKnobTurnedOnTheCardWhileThePanelOwnsIt) {
    QProcess watch;
    watch.start(LW52CTL_PATH, {"--json", "watch", "--no-levels"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.canReadLine(); }, 10000));
    const Json::Value first = Parse(watch.readLine().toStdString());
    EXPECT_EQ(first["event"].asString(), "connected");
    // The subscription is in place once the panel counts the watcher.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return app->Control()->SocketServer()->ClientCount() == 1; }, 5000));

    card.WriteLine("knob 36 70");
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.canReadLine(); }, 5000));
    const Json::Value change = Parse(watch.readLine().toStdString());
    EXPECT_EQ(change["event"].asString(), "change");
    EXPECT_EQ(change["id"].asInt(), 36);
    EXPECT_EQ(change["raw"].asInt(), 70);
    EXPECT_TRUE(QTest::qWaitFor([&] { return SliderValue(8023) == 70; }, 5000));

    watch.terminate();
    ASSERT_TRUE(QTest::qWaitFor([&] { return watch.state() == QProcess::NotRunning; }, 5000));
    EXPECT_EQ(watch.exitCode(), 0);
}

TEST_F(PanelControlTest, TheSessionBusOffersTheSameOperations) {
    const QByteArray address = qgetenv("DBUS_SESSION_BUS_ADDRESS");
    ASSERT_FALSE(address.isEmpty()) << "no private session bus";
    ASSERT_NE(app->Control()->Bus(), nullptr);
    // A desktop tool: a connection of its own, asynchronous calls (the panel answers from
    // this same thread).
    QDBusConnection client = QDBusConnection::connectToBus(QString(address), "desktop-tool");
    ASSERT_TRUE(client.isConnected());
    // Plain messages: an interface object would ask this very thread to introspect first.
    auto call = [&](const QString& method, const QList<QVariant>& args,
                    const char* interface = CControlBus::kInterface) {
        QDBusMessage message = QDBusMessage::createMethodCall(
            CControlBus::kService, CControlBus::kPath, interface, method);
        message.setArguments(args);
        QDBusPendingCall pending = client.asyncCall(message);
        EXPECT_TRUE(QTest::qWaitFor([&] { return pending.isFinished(); }, 10000))
            << method.toStdString();
        return QDBusPendingReply<QString>(pending);
    };

    SignalSink sink;
    ASSERT_TRUE(client.connect(CControlBus::kService, CControlBus::kPath, CControlBus::kInterface,
                               "ParamChanged", &sink, SLOT(OnParamChanged(int, int, QString))));

    auto reply = call("Effect", {4});
    ASSERT_FALSE(reply.isError()) << reply.error().message().toStdString();
    EXPECT_EQ(Parse(reply.value().toStdString())["effect"].asInt(), 4);
    EXPECT_TRUE(CardParamBecomes(4, 4));
    EXPECT_TRUE(ButtonChecked(10004));

    reply = call("Effect", {30});
    ASSERT_TRUE(reply.isError());
    EXPECT_EQ(reply.error().name(), CControlBus::kFailed);
    EXPECT_EQ(reply.error().message(), "\"index\" must be a whole number 0..11");

    reply = call("Call", {R"({"id":8,"op":"set","changes":[[36,40]]})"});
    EXPECT_EQ(Parse(reply.value().toStdString())["ok"].asBool(), true);
    EXPECT_TRUE(CardParamBecomes(36, 40));

    card.WriteLine("knob 36 65");
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return !sink.changes.empty() && sink.changes.back() == std::make_pair(36, 65); },
        5000));

    const QString xml = call("Introspect", {}, "org.freedesktop.DBus.Introspectable").value();
    for (const char* part : {"net.lw52.Panel1", "UploadEffect", "ParamChanged"})
        EXPECT_TRUE(xml.contains(part)) << part;
    QDBusConnection::disconnectFromBus("desktop-tool");
}

TEST_F(PanelControlTest, BadClientsGetClearErrorsAndCannotHoldThePanel) {
    auto a = Client();
    ASSERT_TRUE(a->waitForConnected(2000));
    a->write("not json\n{\"op\":\"format-disk\"}\n");
    EXPECT_EQ(Parse(NextLine(*a))["error"].asString(), "not JSON: one object per line is expected");
    EXPECT_EQ(Parse(NextLine(*a))["error"].asString(), "unknown operation \"format-disk\"");
    // An endless line is refused once, without being held, and the client carries on.
    a->write(QByteArray(300 * 1024, 'x') + "\n{\"id\":1,\"op\":\"state\"}\n");
    EXPECT_EQ(Parse(NextLine(*a))["error"].asString(), "request too long (at most 65536 bytes)");
    EXPECT_EQ(Parse(NextLine(*a))["id"].asInt(), 1);

    // A client that closes its sending end after its request still gets the answer.
    {
        const int once = socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        snprintf(address.sun_path, sizeof address.sun_path, "%s", control::SocketPath().c_str());
        ASSERT_EQ(::connect(once, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        const std::string request = "{\"id\":5,\"op\":\"state\"}\n";
        ASSERT_EQ(send(once, request.data(), request.size(), MSG_NOSIGNAL),
                  static_cast<ssize_t>(request.size()));
        shutdown(once, SHUT_WR);
        std::string got;
        EXPECT_TRUE(QTest::qWaitFor(
            [&] {
                char buffer[4096];
                const ssize_t n = recv(once, buffer, sizeof buffer, MSG_DONTWAIT);
                if (n > 0) got.append(buffer, static_cast<size_t>(n));
                return n == 0 || got.find('\n') != std::string::npos;
            },
            5000));
        EXPECT_EQ(Parse(got.substr(0, got.find('\n')))["id"].asInt(), 5) << got.substr(0, 200);
        close(once);
    }

    // A subscriber that asks and asks and never reads is dropped rather than waited for.
    const int greedy = socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    snprintf(address.sun_path, sizeof address.sun_path, "%s", control::SocketPath().c_str());
    ASSERT_EQ(::connect(greedy, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    std::string requests = "{\"op\":\"subscribe\"}\n";
    for (int i = 0; i < 3000; ++i) requests += "{\"op\":\"state\"}\n";
    size_t sent = 0;
    EXPECT_TRUE(QTest::qWaitFor(
        [&] {
            if (sent < requests.size()) {
                const ssize_t n =
                    send(greedy, requests.data() + sent, requests.size() - sent, MSG_NOSIGNAL);
                if (n > 0) sent += static_cast<size_t>(n);
            }
            return app->Control()->SocketServer()->ClientCount() == 1;
        },
        20000))
        << "the greedy client is still connected";
    close(greedy);

    // Sixty-four clients at once all get their answers; one more is told why not.
    std::vector<std::unique_ptr<QLocalSocket>> many;
    for (size_t i = 1; i < CControlSocketServer::kMaxClients; ++i) many.push_back(Client());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            return std::all_of(many.begin(), many.end(), [](const auto& c) {
                return c->state() == QLocalSocket::ConnectedState;
            });
        },
        10000));
    for (size_t i = 0; i < many.size(); ++i)
        many[i]->write(QByteArray("{\"id\":") + QByteArray::number(static_cast<int>(i)) +
                       ",\"op\":\"info\"}\n");
    for (size_t i = 0; i < many.size(); ++i)
        EXPECT_EQ(Parse(NextLine(*many[i]))["id"].asInt(), static_cast<int>(i));
    auto extra = Client();
    EXPECT_EQ(Parse(NextLine(*extra))["error"].asString(), "too many clients (at most 64)");
    // The first client was served all along.
    a->write("{\"id\":2,\"op\":\"state\"}\n");
    EXPECT_EQ(Parse(NextLine(*a))["id"].asInt(), 2);
}

// On a desktop without X11 key grabs (here: the offscreen platform) the panel binds its
// hotkeys through the desktop portal; an activation selects the effect on the card, and the
// hotkey dialog shows what the desktop confirmed.
// The desktop portal is there before the panel starts, as on a Wayland desktop.
class PanelPortalTest : public PanelControlTest {
  protected:
    void SetUp() override {
        ASSERT_TRUE(portal.Start(LW52_PORTAL_STANDIN, {}));
        ASSERT_NE(portal.WaitForLine("ready", 10000), "");
        PanelControlTest::SetUp();
    }
    ChildProcess portal;
};

TEST_F(PanelPortalTest, HotkeysGoThroughTheDesktopPortalWithoutX11) {
    auto* effects = dynamic_cast<CEventHandlerEffect*>(window->Pages()[0].get());
    ASSERT_NE(effects, nullptr);

    app->Hotkeys().EnableHotkeys(true);
    effects->SetEffectHotkey((2 << 16) | 0x70, 10003);  // Ctrl+F1 on effect button 4
    std::string bound;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            std::string line;
            while (portal.ReadLine(line, 10))
                if (line.find("bind effect-10003") == 0) bound = line;
            return !bound.empty();
        },
        5000));
    EXPECT_EQ(bound, "bind effect-10003 CTRL+F1 LW52 effect button 4");

    ASSERT_TRUE(SInputHotKeyDlg::desktopStatus);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return SInputHotKeyDlg::desktopStatus(10003).contains("CTRL+F1"); }, 5000))
        << SInputHotKeyDlg::desktopStatus(10003).toStdString();
    SInputHotKeyDlg dialog(SInputHotKeyDlg::kLayoutName, 0, QString(), window);
    dialog.SetHotkeyId(10003);
    EXPECT_EQ(dialog.DesktopStatusText(), "桌面已确认此热键：CTRL+F1");

    portal.WriteLine("activate effect-10003");
    EXPECT_TRUE(CardParamBecomes(4, 3));
    EXPECT_TRUE(ButtonChecked(10003));
}

}  // namespace

#include "PanelControlTest.moc"
