// The write phase against the virtual card, with a writer in this process standing in for a
// card that can take firmware (the card's command set has none, so nothing goes on the wire).
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "ChildProcess.h"
#include "DeviceManager.h"
#include "FrameDefs.h"
#include "HidDeviceBuilder.h"
#include "PackageReader.h"
#include "Packages.h"
#include "QvAudioProtocol.h"
#include "UpgradePhases.h"

namespace {

using Message = std::pair<uint64_t, int64_t>;  // progress code, argument

// Writes in steps of 56 bytes (a 64-byte packet less its header); the first failAttempts
// attempts of every step fail after sending half of the image.
class ScriptedWriter : public firmware::IFirmwareWriter {
  public:
    bool CanWrite(std::string&) override { return true; }
    bool WriteImage(const firmware::FirmwareStep& step, int index, const Progress& progress,
                    const std::atomic<bool>& stop) override {
        const int attempt = ++attempts[index];
        const int64_t size = static_cast<int64_t>(step.image.size());
        const int64_t end = attempt <= failAttempts ? size / 2 : size;
        progress(firmware::kProgressRange, size);
        for (int64_t done = 0; done < end && !stop.load();) {
            done = std::min(done + 56, size);
            progress(firmware::kProgressPosition, done);
            if (slow) std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return attempt > failAttempts && !stop.load();
    }
    int failAttempts = 0;
    bool slow = false;
    std::map<int, int> attempts;
};

class WriteFirmwareTest : public ::testing::Test {
  protected:
    // A card with hardware 1.0 and firmware 1.0: both steps of the package hold.
    void SetUp() override {
        setenv("LW52_VHID_DIR", dir.Path().c_str(), 1);
        ASSERT_TRUE(
            card.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path(), "--hw", "0x10", "--fw", "0x10"}));
        ASSERT_NE(card.WaitForLine("listening on", 10000), "");
        builder = std::make_unique<CHidDeviceBuilder>();
        ASSERT_TRUE(builder->Init(&protocol) && builder->FindDevices(lw52::kProductId61) == 1 &&
                    builder->OpenFirstFound());
        link = std::make_unique<firmware::CProtocolCardLink>(&protocol);
        ASSERT_TRUE(link->QueryVersions(context.hardwareVersion, context.firmwareVersion));
        ASSERT_EQ(context.firmwareVersion, "1.0");
        ASSERT_TRUE(firmware::ExtractPackage(context, LoadPackage("valid.zip")))
            << context.errorText;
    }
    void TearDown() override {
        builder.reset();
        unsetenv("LW52_VHID_DIR");
    }
    bool Write(firmware::IFirmwareWriter& writer) {
        messages.clear();
        return firmware::WriteFirmware(context, *link, writer,
                                       [this](uint32_t message, uint64_t code, int64_t value) {
                                           EXPECT_EQ(message, firmware::kMsgProgress);
                                           std::lock_guard<std::mutex> lock(mutex);
                                           messages.emplace_back(code, value);
                                       },
                                       stop, {0, 0, 0});
    }
    std::string Console(const std::string& line) {
        card.WriteLine(line);
        std::string reply;
        card.ReadLine(reply, 10000);
        return reply;
    }
    long HostFrames() {
        const std::string state = Console("state");
        const size_t at = state.find("\"hostFrames\":");
        return at == std::string::npos ? -1 : std::stol(state.substr(at + 13));
    }
    // What one successful attempt at step index posts.
    void ExpectStep(std::vector<Message>& expected, int index) {
        const int64_t size =
            static_cast<int64_t>(context.steps[static_cast<size_t>(index)].image.size());
        expected.emplace_back(firmware::kProgressStep, index);
        expected.emplace_back(firmware::kProgressRange, size);
        for (int64_t done = 0; done < size;) {
            done = std::min<int64_t>(done + 56, size);
            expected.emplace_back(firmware::kProgressPosition, done);
        }
    }

    TempDir dir;
    ChildProcess card;
    CQvAudioProtocol protocol;
    std::unique_ptr<CHidDeviceBuilder> builder;
    std::unique_ptr<firmware::CProtocolCardLink> link;
    firmware::UpgradeContext context;
    std::atomic<bool> stop{false};
    std::mutex mutex;
    std::vector<Message> messages;
};

TEST_F(WriteFirmwareTest, WritesEveryStepThatHoldsInOrderAndRestartsTheProgress) {
    ScriptedWriter writer;
    ASSERT_TRUE(Write(writer)) << context.errorText;
    std::vector<Message> expected = {{firmware::kProgressConnecting, 0}};
    ExpectStep(expected, 0);
    ExpectStep(expected, 1);
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(context.selectedStep, 1);
    EXPECT_EQ(writer.attempts, (std::map<int, int>{{0, 1}, {1, 1}}));
}

TEST_F(WriteFirmwareTest, AStepGetsThreeAttempts) {
    ScriptedWriter writer;
    writer.failAttempts = 2;
    EXPECT_TRUE(Write(writer)) << context.errorText;
    EXPECT_EQ(writer.attempts, (std::map<int, int>{{0, 3}, {1, 3}}));

    ScriptedWriter failing;
    failing.failAttempts = 3;
    EXPECT_FALSE(Write(failing));
    EXPECT_EQ(context.errorText, "固件升级失败：写入固件失败");
    EXPECT_EQ(failing.attempts, (std::map<int, int>{{0, 3}})) << "the next step is not tried";
    EXPECT_EQ(std::count(messages.begin(), messages.end(),
                         Message{firmware::kProgressRange,
                                 static_cast<int64_t>(context.steps[0].image.size())}),
              3);
}

TEST_F(WriteFirmwareTest, TheCardsOwnWriterSaysItCannotWriteAfterTheChecks) {
    firmware::CCardFirmwareWriter writer;
    const long before = HostFrames();
    EXPECT_FALSE(Write(writer));
    EXPECT_EQ(context.errorText, firmware::CCardFirmwareWriter::kCannotWriteText);
    EXPECT_EQ(messages, (std::vector<Message>{{firmware::kProgressConnecting, 0}}));
    EXPECT_EQ(HostFrames(), before + 1) << "the card heard the version query and nothing else";
}

TEST_F(WriteFirmwareTest, TheChecksBeforeWritingRefuseWithTheirTexts) {
    ScriptedWriter writer;
    // Another card swapped in since the versions were shown.
    ASSERT_EQ(Console("versions 0x10 0x11"), "ok");
    EXPECT_FALSE(Write(writer));
    EXPECT_EQ(context.errorText,
              "当前设备的版本不同于之前检测到的设备，无法升级。请稍后再重新打开固件升级界面重新升级"
              "。      ");
    EXPECT_EQ(context.firmwareVersion, "1.0") << "the versions shown are kept";

    // A card on which no step's condition holds.
    ASSERT_EQ(Console("versions 0x10 0x12"), "ok");
    context.firmwareVersion = "1.2";
    EXPECT_FALSE(Write(writer));
    EXPECT_EQ(context.errorText, "没有进行固件更新，因为没有找到合适的固件");
    EXPECT_EQ(context.selectedStep, -1);
    context.firmwareVersion = "1.0";
    ASSERT_EQ(Console("versions 0x10 0x10"), "ok");

    // A second card on the computer.
    ChildProcess second;
    ASSERT_TRUE(second.Start(LW52_EMULATOR_PATH, {"--dir", dir.Path(), "--instance", "emu1"}));
    ASSERT_NE(second.WaitForLine("listening on", 10000), "");
    EXPECT_FALSE(Write(writer));
    EXPECT_EQ(context.errorText, firmware::kTwoCardsText);
    second.Stop();

    // The card let go of: nothing to add to what the dialog already shows.
    builder->GetDeviceManager()->DetachDevice();
    context.errorText.clear();
    EXPECT_FALSE(Write(writer));
    EXPECT_EQ(context.errorText, "");
    EXPECT_TRUE(writer.attempts.empty()) << "nothing was written in any of these";
}

TEST_F(WriteFirmwareTest, StoppingEndsTheWriteAtOnce) {
    ScriptedWriter writer;
    writer.slow = true;
    std::thread stopper([&] {
        while (true) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                if (messages.size() > 3) break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        stop = true;
    });
    EXPECT_FALSE(Write(writer));
    stopper.join();
    EXPECT_EQ(writer.attempts, (std::map<int, int>{{0, 1}}));
}

}  // namespace
