// Services of the application shell that need no main window: start with the desktop,
// crash reports, the transient tip.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <QThread>
#include <thread>

#include "AutoStart.h"
#include "ChildProcess.h"
#include "CrashHandler.h"
#include "QtNotifyCenter.h"
#include "TipWindow.h"

TEST(ShellServicesTest, AutoStartEntryNamesThisProgram) {
    TempDir dir;
    qputenv("XDG_CONFIG_HOME", QByteArray::fromStdString(dir.Path()));
    EXPECT_FALSE(IsAutoStart());
    ASSERT_TRUE(SetAutoStart(true));
    EXPECT_TRUE(IsAutoStart());
    QFile entry(AutoStartEntryPath());
    ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
    EXPECT_TRUE(entry.readAll().contains(
        ("Exec=\"" + QCoreApplication::applicationFilePath() + "\"").toUtf8()));
    entry.close();
    ASSERT_TRUE(SetAutoStart(false));
    EXPECT_FALSE(IsAutoStart());
    // An entry for another program is not ours.
    QDir().mkpath(dir.Path().c_str() + QString("/autostart"));
    QFile other(AutoStartEntryPath());
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.write("[Desktop Entry]\nExec=\"/usr/bin/other\" x\n");
    other.close();
    EXPECT_FALSE(IsAutoStart());
    qunsetenv("XDG_CONFIG_HOME");
}

TEST(ShellServicesTest, AFatalSignalLeavesAReportWithABacktrace) {
    TempDir dir;
    const std::string folder = dir.Path() + "/crash/reports";  // created on the way
    const pid_t child = fork();
    if (child == 0) {
        InstallCrashHandler(folder.c_str());
        raise(SIGSEGV);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status)) << "the signal still ends the program";
    const QStringList reports =
        QDir(QString::fromStdString(folder)).entryList({"*_*.dmp"}, QDir::Files);
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(QRegularExpression("^.+_\\d{14}\\.dmp$").match(reports[0]).hasMatch())
        << reports[0].toStdString();
    QFile report(QString::fromStdString(folder) + "/" + reports[0]);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray text = report.readAll();
    EXPECT_TRUE(text.contains("fatal signal 11"));
    EXPECT_TRUE(text.contains("backtrace"));
}

TEST(ShellServicesTest, OneTipAtATimeForItsDuration) {
    CTipWindow::ShowAt(QPoint(10, 10), "第一条", 1000);
    QWidget* first = CTipWindow::Current();
    ASSERT_NE(first, nullptr);
    CTipWindow::ShowAt(QPoint(20, 20), "第二条", 1000);
    EXPECT_EQ(CTipWindow::CurrentText(), "第二条") << "a new tip replaces the old";
    EXPECT_TRUE(QTest::qWaitFor([] { return CTipWindow::Current() == nullptr; }, 5000))
        << "the tip goes away by itself";
}

TEST(ShellServicesTest, EventsFiredOnWorkerThreadsArriveOnTheUiThread) {
    CQtNotifyCenter center;
    const QThread* ui = QThread::currentThread();
    std::vector<int> values;
    center.Subscribe(
        EventForbidNoiseReductionLevelParam::kId, EventForbidNoiseReductionLevelParam::kName,
        [&](EventArgs& e) {
            EXPECT_EQ(QThread::currentThread(), ui);
            values.push_back(static_cast<EventForbidNoiseReductionLevelParam&>(e).value);
        });
    std::thread worker([&] {
        for (int i = 0; i < 3; ++i) {
            auto event = std::make_shared<EventForbidNoiseReductionLevelParam>();
            event->value = i;
            center.FireEventAsync(event);
        }
    });
    worker.join();
    EXPECT_TRUE(values.empty()) << "nothing is delivered on the worker";
    EXPECT_TRUE(QTest::qWaitFor([&] { return values.size() == 3; }, 5000));
    EXPECT_EQ(values, (std::vector<int>{0, 1, 2}));
}
