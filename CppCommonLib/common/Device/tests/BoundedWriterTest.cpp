// Writes that may block (a card that stops taking reports) never hold the caller longer
// than it asks; a pipe nobody reads stands in for the stalled device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <vector>

#include "BoundedWriter.h"
#include "VirtualCardBench.h"

namespace {

struct Pipe {
    Pipe() {
        EXPECT_EQ(pipe2(fds, O_CLOEXEC), 0);
        // The smallest buffer the kernel allows, so that filling it takes little.
        fcntl(fds[1], F_SETPIPE_SZ, 4096);
    }
    ~Pipe() {
        for (int fd : fds)
            if (fd >= 0) close(fd);
    }
    // Reads what is there without blocking; the byte count.
    size_t Drain() {
        fcntl(fds[0], F_SETFL, O_NONBLOCK);
        std::vector<uint8_t> buffer(1 << 16);
        size_t total = 0;
        for (ssize_t n; (n = read(fds[0], buffer.data(), buffer.size())) > 0;)
            total += static_cast<size_t>(n);
        return total;
    }
    int fds[2] = {-1, -1};
};

TEST(BoundedWriterTest, AStalledWriteReturnsInTimeAndTheNextOnesFailUntilItEnds) {
    Pipe pipe;
    CBoundedWriter writer(pipe.fds[1]);
    ASSERT_TRUE(writer.Ok());
    const std::vector<uint8_t> report(65, 0x5A);
    EXPECT_TRUE(writer.Write(report.data(), report.size(), 1000));

    // Fill the pipe: the next report cannot go until the reader takes something.
    int accepted = 0;
    while (writer.Write(report.data(), report.size(), 200)) ++accepted;
    EXPECT_GT(accepted, 0);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(writer.Write(report.data(), report.size(), 100)) << "still stuck: fails at once";
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(100));

    // The reader takes everything: the stuck report goes, and writing works again.
    const size_t drained = pipe.Drain();
    EXPECT_GE(drained, report.size() * static_cast<size_t>(accepted + 1));
    // Until the stuck report has landed the writer still refuses at once: try until then.
    EXPECT_TRUE(WaitUntil([&] { return writer.Write(report.data(), report.size(), 100); }));
}

TEST(BoundedWriterTest, ADestroyedWriterLeavesAStuckWriteBehindSafely) {
    Pipe pipe;
    const std::vector<uint8_t> report(4096, 1);
    {
        CBoundedWriter writer(pipe.fds[1]);
        EXPECT_TRUE(writer.Write(report.data(), report.size(), 1000));
        EXPECT_FALSE(writer.Write(report.data(), report.size(), 50));  // the pipe is full
    }  // returns at once; the thread still waits in write()
    close(pipe.fds[1]);
    pipe.fds[1] = -1;
    // The stuck write completes once read; then its thread closes its own descriptor, so
    // the reader sees the end of the pipe.
    std::vector<uint8_t> buffer(8192);
    size_t total = 0;
    for (ssize_t n; (n = read(pipe.fds[0], buffer.data(), buffer.size())) > 0;)
        total += static_cast<size_t>(n);
    EXPECT_EQ(total, 2 * report.size());
}

}  // namespace
