#include "StandInConsole.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>

StandInConsole::StandInConsole(std::function<void(const std::string&)> onCommand, QObject* parent)
    : QObject(parent),
      m_onCommand(std::move(onCommand)),
      m_input(STDIN_FILENO, QSocketNotifier::Read) {
    connect(&m_input, &QSocketNotifier::activated, this, &StandInConsole::ReadInput);
}

void StandInConsole::Say(const QString& line) {
    printf("%s\n", line.toUtf8().constData());
    fflush(stdout);
}

void StandInConsole::ReadInput() {
    char chunk[512];
    const ssize_t n = read(STDIN_FILENO, chunk, sizeof chunk);
    if (n <= 0) {
        m_input.setEnabled(false);
        QCoreApplication::quit();
        return;
    }
    m_pending.append(chunk, static_cast<size_t>(n));
    for (size_t end; (end = m_pending.find('\n')) != std::string::npos;) {
        const std::string line = m_pending.substr(0, end);
        m_pending.erase(0, end + 1);
        m_onCommand(line);
    }
}
