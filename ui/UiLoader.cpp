#include "UiLoader.h"

#include <QFile>
#include <map>

#include "QvWidgetFactory.h"

QWidget* CUiLoader::createWidget(const QString& className, QWidget* parent, const QString& name) {
    if (QWidget* ours = CreateQvWidget(className, parent, name)) return ours;
    return QUiLoader::createWidget(className, parent, name);
}

QString LayoutPath(const QString& resourceName) {
    static const std::map<QString, QString> layouts = {
        {"LAYOUT:XML_MAINWND", ":/layouts/mainwnd.ui"},
        {"LAYOUT:XML_TOOLTIP", ":/layouts/tooltip.ui"},
        {"LAYOUT:XML_DLGDEVICEINFO", ":/layouts/deviceinfo.ui"},
        {"LAYOUT:XML_ABOUT", ":/layouts/about.ui"},
        {"LAYOUT:XML_MSGBOX", ":/layouts/msgbox.ui"},
        {"LAYOUT:XML_SET_VOLUME", ":/layouts/setvolume.ui"},
        {"LAYOUT:XML_SAVEEFFECT", ":/layouts/saveeffect.ui"},
        {"LAYOUT:XML_SAVEPRESET", ":/layouts/savepreset.ui"},
        {"LAYOUT:XML_EDIT_ADDFILENAME", ":/layouts/editfilename.ui"},
        {"LAYOUT:XML_SENDDATA", ":/layouts/senddata.ui"},
        {"LAYOUT:XML_UPGRADEFIRMWARE", ":/layouts/upgradefirmware.ui"},
    };
    const auto it = layouts.find(resourceName);
    return it == layouts.end() ? QString() : it->second;
}

QWidget* LoadLayout(const QString& resourceName, QWidget* parent, QString* error) {
    const QString path = LayoutPath(resourceName);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        if (error) *error = "no layout " + resourceName;
        return nullptr;
    }
    CUiLoader loader;
    // Texts are translated as they load, in the context of the layout's class ("mainWindow",
    // "dlgMsgBox", ...); the layouts mark the strings that are not texts notr.
    loader.setTranslationEnabled(true);
    QWidget* widget = loader.load(&file, parent);
    if (!widget && error) *error = loader.errorString();
    return widget;
}
