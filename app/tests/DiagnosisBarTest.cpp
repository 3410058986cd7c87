// The bar above the pages on the offscreen platform: a card that is there but that this user
// may not open is explained with its fix, until a card attaches; no bar without a card.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "ChildProcess.h"
#include "DiagnosisBar.h"
#include "DoctorFixtures.h"
#include "IniFile.h"
#include "MainApp.h"
#include "MainDlg.h"
#include "MessageBox.h"

namespace {

using doctor_test::FakeSystem;
using doctor_test::WithoutDacOverride;

class DiagnosisBarTest : public ::testing::Test {
  protected:
    void SetUp() override {
        qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir.Path() + "/data"));
        qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Path() + "/config"));
        qputenv("LW52_VHID_DIR", QByteArray::fromStdString(Vhid()));
        // The card checks look at the fake machine; the panel's own search (udev) finds nothing
        // here, as it finds nothing it may open on a machine without the rule.
        for (const std::string& entry : system.EnvVars()) {
            const size_t eq = entry.find('=');
            qputenv(entry.substr(0, eq).c_str(), QByteArray::fromStdString(entry.substr(eq + 1)));
        }
        msgbox::SetResponder([](const msgbox::Shown&) { return msgbox::kIdOk; });
    }
    void TearDown() override {
        app.reset();
        msgbox::SetResponder(nullptr);
        for (const char* name :
             {"LW52_SYSFS_ROOT", "LW52_DEV_ROOT", "LW52_RUN_ROOT", "LW52_UDEV_RULES_DIRS"})
            qunsetenv(name);
    }
    void Start() {
        CIniFile::CreateUtf16File(dir.Path() + "/data/QvLW52/QvH31ConfigData.db");
        app = std::make_unique<CMainApp>();
        ASSERT_TRUE(app->Init());
        app->StartWindows();
        ASSERT_TRUE(QTest::qWaitFor([&] { return app->MainWindow() != nullptr; }, 5000));
        ASSERT_NE(app->MainWindow()->DiagnosisBar(), nullptr);
    }
    std::string Vhid() const { return dir.Path() + "/vhid"; }

    TempDir dir;
    FakeSystem system;
    std::unique_ptr<CMainApp> app;
};

TEST_F(DiagnosisBarTest, ACardThatCannotBeOpenedIsExplainedUntilOneAttaches) {
    system.AddWorkingUsbCard();
    system.StartUdev();
    chmod(system.Node(0).c_str(), 0);
    WithoutDacOverride notRoot;  // the checks run on this (the UI) thread
    Start();
    CMainDlg* window = app->MainWindow();
    CDiagnosisBar* bar = window->DiagnosisBar();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
    EXPECT_TRUE(bar->isVisible());
    const QString text = bar->Text();
    for (const char* part : {"may not open it: Permission denied", "60-lw52.rules",
                             "sudo udevadm control --reload &amp;&amp; sudo udevadm trigger"})
        EXPECT_TRUE(text.contains(part)) << part << " in " << text.toStdString();
    // Across the window, under its title strip, over the top of the pages.
    EXPECT_TRUE(window->rect().contains(bar->geometry()));
    EXPECT_GE(bar->y(), 50);
    EXPECT_GT(bar->width(), window->width() * 9 / 10);
    const QLabel* label = bar->findChild<QLabel*>("diagnosis_text");
    EXPECT_GE(label->height(), label->heightForWidth(label->width())) << "the text is cut off";

    // A card attaches: no bar. It leaves: the card that refuses is explained again.
    ChildProcess card;
    ASSERT_TRUE(card.Start(LW52_EMULATOR_PATH, {"--dir", Vhid()}));
    ASSERT_NE(card.WaitForLine("listening on", 10000), "");
    ASSERT_TRUE(QTest::qWaitFor([&] { return app->Session().IsConnected(); }, 10000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !bar->isVisible(); }, 5000));
    card.WriteLine("quit");
    EXPECT_EQ(card.Wait(5000), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return bar->isVisible(); }, 10000));
    EXPECT_EQ(bar->Text(), text);

    // Closed, it stays closed for the same diagnosis.
    QTest::mouseClick(bar->CloseButton(), Qt::LeftButton);
    EXPECT_FALSE(bar->isVisible());
    bar->Refresh();
    EXPECT_FALSE(bar->isVisible());
}

TEST_F(DiagnosisBarTest, NoBarWithoutACardOrForACardThatOpens) {
    Start();
    CDiagnosisBar* bar = app->MainWindow()->DiagnosisBar();
    EXPECT_FALSE(bar->isVisible()) << "no card at all is no fault of the machine";
    system.AddWorkingUsbCard();
    bar->Refresh();
    EXPECT_FALSE(bar->isVisible()) << bar->Text().toStdString();
}

}  // namespace
