#include "Menus.h"

#include <QCoreApplication>
#include <QFile>
#include <QXmlStreamReader>

namespace {
// For the translation tools: the texts of the menu files (resources/menus), which are
// translated in this context as they load.
[[maybe_unused]] constexpr const char* kMenuTexts[] = {
    QT_TRANSLATE_NOOP("Menus", "设备信息"),
    QT_TRANSLATE_NOOP("Menus", "检查更新"),
    QT_TRANSLATE_NOOP("Menus", "关于"),
};
}  // namespace

QMenu* LoadMenu(const QString& resourcePath, QWidget* parent) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    auto* menu = new QMenu(parent);
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("item")) continue;
        const int id = xml.attributes().value("id").toInt();
        const QByteArray text = xml.attributes().value("text").toUtf8();
        QAction* action = menu->addAction(QCoreApplication::translate("Menus", text.constData()));
        action->setData(id);
        if (id == 8) action->setCheckable(true);
    }
    return menu;
}

QAction* MenuAction(QMenu* menu, int id) {
    if (!menu) return nullptr;
    for (QAction* action : menu->actions())
        if (action->data().toInt() == id) return action;
    return nullptr;
}
