// main() of a GUI test program that needs a real X11 display: a private Xvfb server (its
// number chosen by the server itself, so parallel tests never collide) and the xcb platform,
// then every GoogleTest test. Listing the tests needs no display.
#include <gtest/gtest.h>

#include <QApplication>
#include <cstdio>
#include <cstring>

#include "PrivateXServer.h"

int main(int argc, char** argv) {
    bool listing = false;
    for (int i = 1; i < argc; ++i) listing |= strncmp(argv[i], "--gtest_list", 12) == 0;
    PrivateXServer server;
    if (listing) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    } else {
        if (!server.Start()) {
            fprintf(stderr, "Xvfb did not start (scripts/setup.sh installs it)\n");
            return 1;
        }
        setenv("DISPLAY", server.Display().c_str(), 1);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
    }
    // No desktop of the machine's may take part: the tests bring their own.
    unsetenv("WAYLAND_DISPLAY");
    unsetenv("XDG_CURRENT_DESKTOP");
    unsetenv("DESKTOP_SESSION");
    setenv("LC_ALL", "C.UTF-8", 1);
    unsetenv("LANGUAGE");
    int code = 0;
    {
        QApplication app(argc, argv);
        ::testing::InitGoogleTest(&argc, argv);
        code = RUN_ALL_TESTS();
    }
    server.Stop();
    return code;
}
