#include "DisplayNames.h"

#include <QCoreApplication>
#include <QRegularExpression>

namespace {
constexpr const char* kContext = "DisplayNames";

// For the translation tools: the names the program ships. DisplayName looks any name up in
// this context, so a name that is not listed here is simply shown as it is.
[[maybe_unused]] constexpr const char* kShippedNames[] = {
    // Built-in effects.
    QT_TRANSLATE_NOOP("DisplayNames", "聊天"),
    QT_TRANSLATE_NOOP("DisplayNames", "K歌"),
    QT_TRANSLATE_NOOP("DisplayNames", "喊麦"),
    QT_TRANSLATE_NOOP("DisplayNames", "男变女"),
    QT_TRANSLATE_NOOP("DisplayNames", "女变男"),
    QT_TRANSLATE_NOOP("DisplayNames", "电话音"),
    QT_TRANSLATE_NOOP("DisplayNames", "娃娃音"),
    QT_TRANSLATE_NOOP("DisplayNames", "电音"),
    QT_TRANSLATE_NOOP("DisplayNames", "听湿录干"),
    // Built-in presets (the voice changer's share names with the effects above).
    QT_TRANSLATE_NOOP("DisplayNames", "恢复默认"),
    QT_TRANSLATE_NOOP("DisplayNames", "明亮"),
    QT_TRANSLATE_NOOP("DisplayNames", "磁性"),
    QT_TRANSLATE_NOOP("DisplayNames", "温暖"),
    QT_TRANSLATE_NOOP("DisplayNames", "大众"),
    QT_TRANSLATE_NOOP("DisplayNames", "动圈麦"),
    QT_TRANSLATE_NOOP("DisplayNames", "动圈麦2"),
    QT_TRANSLATE_NOOP("DisplayNames", "专业歌手"),
    QT_TRANSLATE_NOOP("DisplayNames", "业余歌手"),
    QT_TRANSLATE_NOOP("DisplayNames", "现场表演"),
    QT_TRANSLATE_NOOP("DisplayNames", "说唱表演"),
    QT_TRANSLATE_NOOP("DisplayNames", "歌手1"),
    QT_TRANSLATE_NOOP("DisplayNames", "歌手2"),
    QT_TRANSLATE_NOOP("DisplayNames", "歌手3"),
    QT_TRANSLATE_NOOP("DisplayNames", "魔兽音"),
    // The effect library as it comes.
    QT_TRANSLATE_NOOP("DisplayNames", "默认列表"),
    QT_TRANSLATE_NOOP("DisplayNames", "明亮人声"),
    QT_TRANSLATE_NOOP("DisplayNames", "小房间"),
    QT_TRANSLATE_NOOP("DisplayNames", "温暖大厅"),
    // Built-in clips.
    QT_TRANSLATE_NOOP("DisplayNames", "非诚勿扰"),
    QT_TRANSLATE_NOOP("DisplayNames", "鄙视"),
    QT_TRANSLATE_NOOP("DisplayNames", "欢呼"),
    QT_TRANSLATE_NOOP("DisplayNames", "掌声"),
    QT_TRANSLATE_NOOP("DisplayNames", "大哄笑"),
    QT_TRANSLATE_NOOP("DisplayNames", "小哄笑"),
    QT_TRANSLATE_NOOP("DisplayNames", "打耳光"),
    QT_TRANSLATE_NOOP("DisplayNames", "么么哒"),
    QT_TRANSLATE_NOOP("DisplayNames", "乌鸦"),
    QT_TRANSLATE_NOOP("DisplayNames", "点关注"),
    QT_TRANSLATE_NOOP("DisplayNames", "欢迎大哥"),
    QT_TRANSLATE_NOOP("DisplayNames", "来了老弟"),
    QT_TRANSLATE_NOOP("DisplayNames", "贼拉拉"),
    QT_TRANSLATE_NOOP("DisplayNames", "打他"),
    QT_TRANSLATE_NOOP("DisplayNames", "胜利"),
    QT_TRANSLATE_NOOP("DisplayNames", "打的不错"),
    QT_TRANSLATE_NOOP("DisplayNames", "救命"),
    // A numbered slot: "自定义4", also with a hotkey after it ("自定义4(Ctrl+4)").
    QT_TRANSLATE_NOOP("DisplayNames", "自定义%1"),
};

// For the translation tools: the messages of the parts below the UI that reach the screen.
[[maybe_unused]] constexpr const char* kCoreMessages[] = {
    // Leads a message may start with.
    QT_TRANSLATE_NOOP("CoreMessages", "固件升级失败："),
    QT_TRANSLATE_NOOP("CoreMessages", "解析steps.xml失败："),
    // The firmware package and its steps.
    QT_TRANSLATE_NOOP("CoreMessages", "内存分配失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "解压缩固件失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "打开固件文件失败！"),
    QT_TRANSLATE_NOOP("CoreMessages", "获取固件文件大小失败！"),
    QT_TRANSLATE_NOOP("CoreMessages", "读取固件文件失败！"),
    QT_TRANSLATE_NOOP("CoreMessages", "打开压缩文件失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "固件压缩包中未找到steps.xml"),
    QT_TRANSLATE_NOOP("CoreMessages", "解压缩steps.xml文件失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "压缩包中未找到固件"),
    QT_TRANSLATE_NOOP("CoreMessages", "压缩包中未找到Flash文件"),
    QT_TRANSLATE_NOOP("CoreMessages", "未找到<%1>节点"),
    QT_TRANSLATE_NOOP("CoreMessages", "未找到%1节点"),
    QT_TRANSLATE_NOOP("CoreMessages", "解析steps.xml失失败：未找到与硬件相对应的固件"),
    QT_TRANSLATE_NOOP("CoreMessages", "未找到固件版本"),
    QT_TRANSLATE_NOOP("CoreMessages", "固件版本无效"),
    QT_TRANSLATE_NOOP("CoreMessages", "硬件版本不正确"),
    QT_TRANSLATE_NOOP("CoreMessages", "Steps个数不正确"),
    QT_TRANSLATE_NOOP("CoreMessages", "flashOptions个数不正确"),
    QT_TRANSLATE_NOOP("CoreMessages", "NeedVersion不正确"),
    QT_TRANSLATE_NOOP("CoreMessages", "Version不正确"),
    QT_TRANSLATE_NOOP("CoreMessages", "File固件文件名不正确"),
    QT_TRANSLATE_NOOP("CoreMessages", "File Flash文件名不正确"),
    QT_TRANSLATE_NOOP("CoreMessages", "Addr flash地址不正确"),
    // The upgrade's phases.
    QT_TRANSLATE_NOOP("CoreMessages", "解析Json失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "从服务器上获取固件信息失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "没有进行固件更新，因为没有找到合适的固件"),
    QT_TRANSLATE_NOOP("CoreMessages", "获取服务器上的信息失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "下载固件失败！"),
    QT_TRANSLATE_NOOP("CoreMessages", "获取设备信息失败"),
    QT_TRANSLATE_NOOP("CoreMessages",
                      "当前设备的版本不同于之前检测到的设备，无法升级。请稍后再重新打开固件升级"
                      "界面重新升级。      "),
    QT_TRANSLATE_NOOP("CoreMessages", "写入固件失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "此设备不支持通过本程序写入固件"),
    QT_TRANSLATE_NOOP("CoreMessages", "无法备份声卡的设置，未进行升级。"),
    QT_TRANSLATE_NOOP("CoreMessages",
                      "电脑上插入了两个或两个以上声卡，请只保留要升级的声卡后重试。"),
    // Cloud downloads.
    QT_TRANSLATE_NOOP("CoreMessages", "下载云音效数据失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "解析json数据失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "解析JSON数据失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "从服务器获取云音效列表失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "错误的参数"),
    QT_TRANSLATE_NOOP("CoreMessages", "下载文件失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "从服务器获取特效分类失败"),
    QT_TRANSLATE_NOOP("CoreMessages", "从服务器获取分类中的特效失败"),
    // The pads' configuration.
    QT_TRANSLATE_NOOP("CoreMessages", "文件路径太长（最多259个字符），无法添加"),
    QT_TRANSLATE_NOOP("CoreMessages", "没有文件路径，无法添加"),
};

QString Translated(const QString& text, bool* found) {
    const QString shown = QCoreApplication::translate("CoreMessages", text.toUtf8().constData());
    *found = shown != text;
    return shown;
}

QString TranslateMessage(const QString& text) {
    bool found = false;
    const QString whole = Translated(text, &found);
    if (found) return whole;
    if (text.contains(u'\n')) {
        QStringList lines = text.split(u'\n');
        for (QString& line : lines) line = TranslateMessage(line);
        return lines.join(u'\n');
    }
    for (const char* lead : {"固件升级失败：", "解析steps.xml失败："}) {
        const QString prefix = QString::fromUtf8(lead);
        if (text.startsWith(prefix) && text.size() > prefix.size())
            return Translated(prefix, &found) + TranslateMessage(text.mid(prefix.size()));
    }
    // A missing node of steps.xml, by its name.
    static const QRegularExpression node(QStringLiteral("^未找到(<?)(.+?)(>?)节点$"));
    if (const QRegularExpressionMatch match = node.match(text); match.hasMatch()) {
        const char* pattern = match.captured(1).isEmpty() ? "未找到%1节点" : "未找到<%1>节点";
        return QCoreApplication::translate("CoreMessages", pattern).arg(match.captured(2));
    }
    return text;
}
}  // namespace

QString CoreMessage(const std::string& text) {
    return TranslateMessage(QString::fromStdString(text));
}

QString DisplayName(const QString& name) {
    const QString shown = QCoreApplication::translate(kContext, name.toUtf8().constData());
    if (shown != name) return shown;
    static const QRegularExpression numbered(QStringLiteral("^自定义(\\d+)"));
    const QRegularExpressionMatch match = numbered.match(name);
    if (!match.hasMatch()) return name;
    return QCoreApplication::translate(kContext, "自定义%1").arg(match.captured(1)) +
           name.mid(match.capturedLength());
}
