#include "AutoStart.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>
#include <QTextStream>

QString AutoStartEntryPath() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/autostart/QvLW52.desktop";
}

bool IsAutoStart() {
    QFile file(AutoStartEntryPath());
    if (!file.open(QIODevice::ReadOnly)) return false;
    const QString exe = QCoreApplication::applicationFilePath();
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        if (!line.startsWith("Exec=")) continue;
        // The text between the first and the last double quote is the program.
        const int first = line.indexOf('"');
        const int last = line.lastIndexOf('"');
        if (first < 0 || last <= first) return false;
        return line.mid(first + 1, last - first - 1).compare(exe, Qt::CaseInsensitive) == 0;
    }
    return false;
}

bool SetAutoStart(bool enable) {
    const QString path = AutoStartEntryPath();
    if (!enable) return QFile::remove(path);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    QTextStream out(&file);
    out << "[Desktop Entry]\nType=Application\nName=林雾LW52\n"
        << QString("Exec=\"%1\" %2\n").arg(QCoreApplication::applicationFilePath(), "autostart")
        << "X-GNOME-Autostart-enabled=true\n";
    out.flush();
    return file.commit();
}
