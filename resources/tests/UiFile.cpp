#include "UiFile.h"

#include <QFile>
#include <QXmlStreamReader>

namespace lw52::test {

namespace {

QRect ReadRect(QXmlStreamReader& xml) {
    QRect r;
    while (xml.readNextStartElement()) {
        const int v = xml.readElementText().toInt();
        if (xml.name() == u"x") r.moveLeft(v);
        if (xml.name() == u"y") r.moveTop(v);
        if (xml.name() == u"width") r.setWidth(v);
        if (xml.name() == u"height") r.setHeight(v);
    }
    return r;
}

// At <property> or <attribute>: stores its one value under its name.
void ReadProperty(QXmlStreamReader& xml, UiWidget& w, bool attribute) {
    const QString key = xml.attributes().value(QLatin1String("name")).toString();
    while (xml.readNextStartElement()) {
        if (xml.name() == u"rect" && key == u"geometry") {
            w.geometry = ReadRect(xml);
            continue;
        }
        const QString text = xml.readElementText(QXmlStreamReader::IncludeChildElements);
        if (attribute && key == u"title") w.title = text;
        if (!attribute) w.props[key] = text;
    }
}

void ReadWidget(QXmlStreamReader& xml, UiFile& file, int parent) {
    const int index = static_cast<int>(file.widgets.size());
    UiWidget w;
    w.cls = xml.attributes().value(QLatin1String("class")).toString();
    w.name = xml.attributes().value(QLatin1String("name")).toString();
    w.parent = parent;
    file.widgets.push_back(w);
    while (xml.readNextStartElement()) {
        if (xml.name() == u"property" || xml.name() == u"attribute")
            ReadProperty(xml, file.widgets[index], xml.name() == u"attribute");
        else if (xml.name() == u"widget")
            ReadWidget(xml, file, index);
        else
            xml.skipCurrentElement();
    }
}

}  // namespace

QString UiWidget::Prop(const QString& key) const {
    const auto it = props.find(key);
    return it == props.end() ? QString() : it->second;
}

std::optional<int> UiWidget::Id() const {
    bool ok = false;
    const int id = Prop("id").toInt(&ok);
    return ok ? std::optional<int>(id) : std::nullopt;
}

std::vector<const UiWidget*> UiFile::Named(const QString& name) const {
    std::vector<const UiWidget*> found;
    for (const auto& w : widgets)
        if (w.name == name) found.push_back(&w);
    return found;
}

std::vector<const UiWidget*> UiFile::WithId(int id) const {
    std::vector<const UiWidget*> found;
    for (const auto& w : widgets)
        if (w.Id() == id) found.push_back(&w);
    return found;
}

std::vector<int> UiFile::ChildrenOf(int index) const {
    std::vector<int> found;
    for (int i = 0; i < static_cast<int>(widgets.size()); ++i)
        if (widgets[i].parent == index) found.push_back(i);
    return found;
}

UiFile ParseUiFile(const QString& path) {
    UiFile file;
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        file.error = "cannot open " + path;
        return file;
    }
    QXmlStreamReader xml(&f);
    if (xml.readNextStartElement() && xml.name() == u"ui") {
        while (xml.readNextStartElement()) {
            if (xml.name() == u"widget")
                ReadWidget(xml, file, -1);
            else
                xml.skipCurrentElement();
        }
    }
    if (xml.hasError()) file.error = xml.errorString();
    if (file.widgets.empty() && file.error.isEmpty()) file.error = "no widget in " + path;
    return file;
}

}  // namespace lw52::test
