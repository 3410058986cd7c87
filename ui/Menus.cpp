#include "Menus.h"

#include <QFile>
#include <QXmlStreamReader>

QMenu* LoadMenu(const QString& resourcePath, QWidget* parent) {
    QFile file(resourcePath);
    if (!file.open(QIODevice::ReadOnly)) return nullptr;
    auto* menu = new QMenu(parent);
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement() || xml.name() != QLatin1String("item")) continue;
        const int id = xml.attributes().value("id").toInt();
        QAction* action = menu->addAction(xml.attributes().value("text").toString());
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
