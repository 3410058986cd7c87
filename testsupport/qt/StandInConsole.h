#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <functional>
#include <string>

// The console of a stand-in desktop service run by a test: what it has to say goes to stdout
// a line at a time, and the test's commands come from stdin a line at a time. The end of
// stdin (the test has gone) ends the application.
class StandInConsole : public QObject {
  public:
    explicit StandInConsole(std::function<void(const std::string& line)> onCommand,
                            QObject* parent = nullptr);

    static void Say(const QString& line);
    static void Say(const std::string& line) { Say(QString::fromStdString(line)); }

  private:
    void ReadInput();

    std::function<void(const std::string&)> m_onCommand;
    QSocketNotifier m_input;
    std::string m_pending;
};
