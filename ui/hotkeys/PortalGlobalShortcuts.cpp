#include "PortalGlobalShortcuts.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QList>

namespace {

constexpr const char* kRequestInterface = "org.freedesktop.portal.Request";
constexpr int kEffectFirst = 10000;
constexpr int kPadFirst = 14000;

// One entry of a(sa{sv}): a shortcut's id and its properties.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

}  // namespace

Q_DECLARE_METATYPE(PortalShortcut)

namespace {

QDBusArgument& operator<<(QDBusArgument& out, const PortalShortcut& shortcut) {
    out.beginStructure();
    out << shortcut.id << shortcut.properties;
    out.endStructure();
    return out;
}

const QDBusArgument& operator>>(const QDBusArgument& in, PortalShortcut& shortcut) {
    in.beginStructure();
    in >> shortcut.id >> shortcut.properties;
    in.endStructure();
    return in;
}

void RegisterTypes() {
    static const bool done = [] {
        qDBusRegisterMetaType<PortalShortcut>();
        qDBusRegisterMetaType<QList<PortalShortcut>>();
        return true;
    }();
    (void)done;
}

// The key's name in the shortcuts notation (xkb key names), for the keys hotkeys use most.
QString KeyName(uint32_t vkey) {
    if (vkey >= 'A' && vkey <= 'Z') return QString(QChar(static_cast<char16_t>(vkey - 'A' + 'a')));
    if (vkey >= '0' && vkey <= '9') return QString(QChar(static_cast<char16_t>(vkey)));
    if (vkey >= 0x60 && vkey <= 0x69) return QString("KP_%1").arg(vkey - 0x60);
    if (vkey >= 0x70 && vkey <= 0x87) return QString("F%1").arg(vkey - 0x70 + 1);
    return {};
}

QString Description(int id) {
    if (id >= kEffectFirst && id < kEffectFirst + 24)
        return QObject::tr("LW52 effect button %1").arg(id - kEffectFirst + 1);
    if (id >= kPadFirst && id < kPadFirst + 1000)
        return QObject::tr("LW52 favourite sound pad %1").arg(id - kPadFirst + 1);
    return QObject::tr("LW52 hotkey %1").arg(id);
}

QString ObjectPathText(const QVariant& value) {
    if (value.canConvert<QDBusObjectPath>()) return value.value<QDBusObjectPath>().path();
    return value.toString();
}

}  // namespace

PortalGlobalShortcuts::PortalGlobalShortcuts(const QDBusConnection& bus, QObject* parent)
    : QObject(parent), m_bus(bus) {
    RegisterTypes();
    m_bindTimer.setSingleShot(true);
    connect(&m_bindTimer, &QTimer::timeout, this, &PortalGlobalShortcuts::Bind);
    m_bus.connect(kService, kPath, kInterface, "Activated", this, SLOT(OnActivated(QDBusMessage)));
}

PortalGlobalShortcuts::~PortalGlobalShortcuts() {
    if (!m_session.isEmpty())
        m_bus.call(QDBusMessage::createMethodCall(kService, m_session,
                                                  "org.freedesktop.portal.Session", "Close"),
                   QDBus::NoBlock);
}

bool PortalGlobalShortcuts::Present(const QDBusConnection& bus) {
    if (!bus.isConnected()) return false;
    QDBusMessage get =
        QDBusMessage::createMethodCall(kService, kPath, "org.freedesktop.DBus.Properties", "Get");
    get << QString(kInterface) << QString("version");
    const QDBusMessage reply = bus.call(get, QDBus::Block, 1000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

QString PortalGlobalShortcuts::RequestPath(const QString& token) const {
    QString sender = m_bus.baseService();
    sender.remove(0, 1).replace('.', '_');
    return QString("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

bool PortalGlobalShortcuts::Start() {
    const QString token = QString("lw52_%1").arg(++m_tokens);
    m_bus.connect(kService, RequestPath(token), kRequestInterface, "Response", this,
                  SLOT(OnSessionResponse(uint, QVariantMap)));
    QDBusMessage create =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, "CreateSession");
    QVariantMap options;
    options["handle_token"] = token;
    options["session_handle_token"] = QString("lw52_session");
    create << options;
    if (!m_bus.send(create)) {
        m_lastError = "cannot ask the desktop portal for a shortcuts session";
        return false;
    }
    return true;
}

void PortalGlobalShortcuts::OnSessionResponse(uint response, const QVariantMap& results) {
    if (response != 0 || !results.contains("session_handle")) {
        Refuse("the desktop refused a global shortcuts session");
        return;
    }
    m_session = ObjectPathText(results.value("session_handle"));
    if (!m_entries.empty()) ScheduleBind();
}

bool PortalGlobalShortcuts::Register(int id, uint32_t modifiers, uint32_t vkey) {
    if (modifiers & ~7u) return false;  // only Alt, Ctrl and Shift are hotkey modifiers
    Entry& entry = m_entries[id];
    entry.modifiers = modifiers;
    entry.vkey = vkey;
    entry.binding = Binding::kPending;
    entry.trigger.clear();
    m_lastTrigger.erase(id);
    ScheduleBind();
    emit bindingsChanged();
    return true;  // the desktop's answer comes later, per id
}

void PortalGlobalShortcuts::Unregister(int id) {
    const auto it = m_entries.find(id);
    if (it == m_entries.end()) return;
    if (it->second.binding == Binding::kConfirmed) m_lastTrigger[id] = it->second.trigger;
    m_entries.erase(it);
    // The pages let every hotkey go while the hotkey dialog is open and take them back after:
    // the desktop is not asked to drop them unless they stay away.
    if (m_session.isEmpty()) return;
    if (!m_bindRequest.isEmpty())
        m_bindAgain = true;
    else if (!m_bindTimer.isActive())
        m_bindTimer.start(kUnbindDelayMs);
}

QString PortalGlobalShortcuts::StatusText(int id) const {
    if (!m_lastError.empty() && m_session.isEmpty())
        return tr("桌面没有提供全局热键：可在系统设置里把按键绑定到 lw52ctl 命令");
    switch (BindingOf(id)) {
        case Binding::kConfirmed:
            return tr("桌面已确认此热键：%1").arg(TriggerOf(id));
        case Binding::kPending:
            return tr("正在等待桌面确认热键…");
        case Binding::kRefused:
            return tr("桌面没有确认此热键：可在系统设置里绑定，或用 lw52ctl 调用");
        case Binding::kNone:
            break;
    }
    if (const auto it = m_lastTrigger.find(id); it != m_lastTrigger.end())
        return tr("桌面已确认此热键：%1").arg(it->second);
    return tr("全局热键由桌面确认（桌面门户）");
}

void PortalGlobalShortcuts::ScheduleBind() {
    if (m_session.isEmpty()) return;  // bound once the session is there
    if (!m_bindRequest.isEmpty()) {
        m_bindAgain = true;  // after the answer to the bind under way
        return;
    }
    m_bindTimer.start(kBindDelayMs);
}

void PortalGlobalShortcuts::Bind() {
    if (m_session.isEmpty()) return;
    QList<PortalShortcut> shortcuts;
    for (const auto& [id, entry] : m_entries) {
        PortalShortcut shortcut{ShortcutId(id), {}};
        shortcut.properties["description"] = Description(id);
        const QString trigger = PreferredTrigger(entry.modifiers, entry.vkey);
        if (!trigger.isEmpty()) shortcut.properties["preferred_trigger"] = trigger;
        shortcuts.push_back(shortcut);
    }
    const QString token = QString("lw52_%1").arg(++m_tokens);
    m_bindRequest = RequestPath(token);
    m_bus.connect(kService, m_bindRequest, kRequestInterface, "Response", this,
                  SLOT(OnBindResponse(uint, QVariantMap)));
    QDBusMessage bind =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, "BindShortcuts");
    QVariantMap options;
    options["handle_token"] = token;
    bind << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariant::fromValue(shortcuts)
         << QString() << options;
    if (!m_bus.send(bind)) {
        m_bindRequest.clear();
        Refuse("cannot send the shortcuts to the desktop portal");
    }
}

void PortalGlobalShortcuts::OnBindResponse(uint response, const QVariantMap& results) {
    m_bus.disconnect(kService, m_bindRequest, kRequestInterface, "Response", this,
                     SLOT(OnBindResponse(uint, QVariantMap)));
    m_bindRequest.clear();
    for (auto& [id, entry] : m_entries) entry.binding = Binding::kRefused;
    if (response == 0) {
        QList<PortalShortcut> bound;
        const QVariant value = results.value("shortcuts");
        if (value.canConvert<QDBusArgument>()) bound = qdbus_cast<QList<PortalShortcut>>(value);
        for (const PortalShortcut& shortcut : bound)
            for (auto& [id, entry] : m_entries)
                if (ShortcutId(id) == shortcut.id) {
                    entry.binding = Binding::kConfirmed;
                    entry.trigger = shortcut.properties.value("trigger_description").toString();
                }
    } else {
        m_lastError = "the desktop did not bind the shortcuts";
    }
    emit bindingsChanged();
    if (m_bindAgain) {
        m_bindAgain = false;
        m_bindTimer.start(kBindDelayMs);
    }
}

void PortalGlobalShortcuts::OnActivated(const QDBusMessage& message) {
    // (o session_handle, s shortcut_id, t timestamp, a{sv} options)
    const QList<QVariant> args = message.arguments();
    if (args.size() < 2 || ObjectPathText(args[0]) != m_session) return;
    const QString shortcutId = args[1].toString();
    for (const auto& [id, entry] : m_entries)
        if (ShortcutId(id) == shortcutId) emit hotkeyPressed(id);
}

void PortalGlobalShortcuts::Refuse(const std::string& why) {
    m_lastError = why;
    for (auto& [id, entry] : m_entries) entry.binding = Binding::kRefused;
    emit bindingsChanged();
}

PortalGlobalShortcuts::Binding PortalGlobalShortcuts::BindingOf(int id) const {
    const auto it = m_entries.find(id);
    return it == m_entries.end() ? Binding::kNone : it->second.binding;
}

QString PortalGlobalShortcuts::TriggerOf(int id) const {
    const auto it = m_entries.find(id);
    return it == m_entries.end() ? QString() : it->second.trigger;
}

QString PortalGlobalShortcuts::ShortcutId(int id) {
    if (id >= kEffectFirst && id < kEffectFirst + 24) return QString("effect-%1").arg(id);
    if (id >= kPadFirst && id < kPadFirst + 1000) return QString("pad-%1").arg(id);
    return QString("hotkey-%1").arg(id);
}

QString PortalGlobalShortcuts::PreferredTrigger(uint32_t modifiers, uint32_t vkey) {
    const QString key = KeyName(vkey);
    if (key.isEmpty()) return {};
    QString trigger;
    if (modifiers & 2) trigger += "CTRL+";
    if (modifiers & 1) trigger += "ALT+";
    if (modifiers & 4) trigger += "SHIFT+";
    return trigger + key;
}
