#include "X11GlobalHotkeys.h"

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <algorithm>
#include <cstdlib>

#include "Log.h"
#include "VirtualKeys.h"

struct X11GlobalHotkeys::Xcb {
    xcb_connection_t* connection = nullptr;
    std::vector<xcb_window_t> roots;
    xcb_key_symbols_t* symbols = nullptr;
    // The modifier bits the keyboard map gives the lock keys; Num Lock is Mod2 almost always.
    uint16_t numLock = XCB_MOD_MASK_2;
    uint16_t scrollLock = 0;  // usually bound to no modifier
    ~Xcb() {
        if (symbols) xcb_key_symbols_free(symbols);
    }
};

namespace {
// The only state bits a press is compared on: the hotkey's modifiers. The layout group (bits
// 13-14 with a second layout), Caps Lock, the other locks and mouse buttons never count.
constexpr uint16_t kHotkeyState = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

uint16_t MaskFor(uint32_t modifiers) {
    uint16_t mask = 0;
    if (modifiers & hotkey::kModAlt) mask |= XCB_MOD_MASK_1;
    if (modifiers & hotkey::kModCtrl) mask |= XCB_MOD_MASK_CONTROL;
    if (modifiers & hotkey::kModShift) mask |= XCB_MOD_MASK_SHIFT;
    return mask;
}

// The keypad keys whose meaning Num Lock switches: digits with it on, moving keys without.
bool NeedsNumLock(uint32_t vkey) {
    return (vkey >= vk::kNumpad0 && vkey <= vk::kNumpad9) || vkey == vk::kDecimal;
}

// The modifier bit a key is bound to in the keyboard map, 0 when none.
uint16_t ModifierOfKeysym(xcb_connection_t* connection, xcb_key_symbols_t* symbols,
                          xcb_keysym_t keysym) {
    xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
    if (!codes) return 0;
    uint16_t mask = 0;
    if (xcb_get_modifier_mapping_reply_t* map = xcb_get_modifier_mapping_reply(
            connection, xcb_get_modifier_mapping(connection), nullptr)) {
        const xcb_keycode_t* mapped = xcb_get_modifier_mapping_keycodes(map);
        const int perModifier = map->keycodes_per_modifier;
        for (int modifier = 0; modifier < 8; ++modifier)
            for (int i = 0; i < perModifier; ++i)
                for (const xcb_keycode_t* c = codes; *c != XCB_NO_SYMBOL; ++c)
                    if (mapped[modifier * perModifier + i] == *c)
                        mask |= static_cast<uint16_t>(1u << modifier);
        std::free(map);
    }
    std::free(codes);
    return mask;
}
}  // namespace

uint32_t X11GlobalHotkeys::KeysymForVirtualKey(uint32_t vkey) {
    if (vkey >= 'A' && vkey <= 'Z') return XK_a + (vkey - 'A');
    if (vkey >= vk::k0 && vkey <= vk::k9) return XK_0 + (vkey - vk::k0);
    if (vkey >= vk::kNumpad0 && vkey <= vk::kNumpad9) return XK_KP_0 + (vkey - vk::kNumpad0);
    if (vkey >= vk::kF1 && vkey <= vk::kF24) return XK_F1 + (vkey - vk::kF1);
    switch (vkey) {
        case vk::kBack:
            return XK_BackSpace;
        case vk::kTab:
            return XK_Tab;
        case vk::kReturn:
            return XK_Return;
        case vk::kPause:
            return XK_Pause;
        case vk::kEscape:
            return XK_Escape;
        case vk::kSpace:
            return XK_space;
        case vk::kPrior:
            return XK_Prior;
        case vk::kNext:
            return XK_Next;
        case vk::kEnd:
            return XK_End;
        case vk::kHome:
            return XK_Home;
        case vk::kLeft:
            return XK_Left;
        case vk::kUp:
            return XK_Up;
        case vk::kRight:
            return XK_Right;
        case vk::kDown:
            return XK_Down;
        case vk::kPrint:
        case vk::kSnapshot:
            return XK_Print;
        case vk::kInsert:
            return XK_Insert;
        case vk::kDelete:
            return XK_Delete;
        case vk::kMultiply:
            return XK_KP_Multiply;
        case vk::kAdd:
            return XK_KP_Add;
        case vk::kSeparator:
            return XK_KP_Separator;
        case vk::kSubtract:
            return XK_KP_Subtract;
        case vk::kDecimal:
            return XK_KP_Decimal;
        case vk::kDivide:
            return XK_KP_Divide;
        case vk::kScroll:
            return XK_Scroll_Lock;
        case vk::kOem1:
            return XK_semicolon;
        case vk::kOemPlus:
            return XK_equal;
        case vk::kOemComma:
            return XK_comma;
        case vk::kOemMinus:
            return XK_minus;
        case vk::kOemPeriod:
            return XK_period;
        case vk::kOem2:
            return XK_slash;
        case vk::kOem3:
            return XK_grave;
        case vk::kOem4:
            return XK_bracketleft;
        case vk::kOem5:
            return XK_backslash;
        case vk::kOem6:
            return XK_bracketright;
        case vk::kOem7:
            return XK_apostrophe;
        default:
            return 0;
    }
}

X11GlobalHotkeys::X11GlobalHotkeys(QObject* parent) : QObject(parent), xcb_(new Xcb) {
    auto* x11 = qApp ? qApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (QGuiApplication::platformName() != QLatin1String("xcb") || !x11 || !x11->connection()) {
        lastError_ = "global hotkeys need X11; the platform is \"" +
                     QGuiApplication::platformName().toStdString() + "\"";
        return;
    }
    xcb_->connection = x11->connection();
    for (auto it = xcb_setup_roots_iterator(xcb_get_setup(xcb_->connection)); it.rem;
         xcb_screen_next(&it))
        xcb_->roots.push_back(it.data->root);
    xcb_->symbols = xcb_key_symbols_alloc(xcb_->connection);
    if (const uint16_t numLock = ModifierOfKeysym(xcb_->connection, xcb_->symbols, XK_Num_Lock))
        xcb_->numLock = numLock;
    xcb_->scrollLock = ModifierOfKeysym(xcb_->connection, xcb_->symbols, XK_Scroll_Lock);
    QCoreApplication::instance()->installNativeEventFilter(this);
}

X11GlobalHotkeys::~X11GlobalHotkeys() {
    if (!Available()) return;
    if (QCoreApplication::instance()) QCoreApplication::instance()->removeNativeEventFilter(this);
    for (const auto& [id, grab] : grabs_) Ungrab(grab);
    xcb_flush(xcb_->connection);
}

bool X11GlobalHotkeys::Available() const {
    return xcb_->symbols != nullptr;
}

bool X11GlobalHotkeys::Fail(std::string reason) {
    lastError_ = std::move(reason);
    return false;
}

std::vector<uint16_t> X11GlobalHotkeys::LockStates(bool needsNumLock) const {
    // Every combination of the locks, so that their states do not matter; keypad digits only
    // with Num Lock on, so that with it off End, Down, Page Down... reach the program in front.
    const uint16_t locks[] = {XCB_MOD_MASK_LOCK, xcb_->numLock, xcb_->scrollLock};
    std::vector<uint16_t> states = {0};
    for (uint16_t lock : locks) {
        if (lock == 0 || (lock & kHotkeyState) ||
            std::find(states.begin(), states.end(), lock) != states.end())
            continue;
        const size_t count = states.size();
        for (size_t i = 0; i < count; ++i) states.push_back(states[i] | lock);
    }
    if (needsNumLock)
        std::erase_if(states, [&](uint16_t state) { return (state & xcb_->numLock) == 0; });
    return states;
}

void X11GlobalHotkeys::Ungrab(const Grab& grab) {
    for (xcb_window_t root : xcb_->roots)
        for (uint8_t keycode : grab.keycodes)
            for (uint16_t lock : LockStates(grab.needsNumLock))
                xcb_ungrab_key(xcb_->connection, keycode, root, grab.mask | lock);
}

bool X11GlobalHotkeys::Register(int id, uint32_t modifiers, uint32_t vkey) {
    if (!Available()) {
        if (lastError_.empty()) lastError_ = "global hotkeys are not available";
        return false;
    }
    // A dropped modifier (the Windows key, say) would turn the bare key into a hotkey.
    if (modifiers & ~hotkey::kModMask)
        return Fail("modifier bits " + std::to_string(modifiers & ~hotkey::kModMask) +
                    " cannot be grabbed: a hotkey holds only Alt, Ctrl and Shift");
    const uint32_t keysym = KeysymForVirtualKey(vkey);
    if (keysym == 0) return Fail("no X key for virtual-key code " + std::to_string(vkey));
    Grab grab;
    grab.mask = MaskFor(modifiers);
    grab.needsNumLock = NeedsNumLock(vkey);
    if (xcb_keycode_t* codes = xcb_key_symbols_get_keycode(xcb_->symbols, keysym)) {
        for (const xcb_keycode_t* c = codes; *c != XCB_NO_SYMBOL; ++c)
            if (std::find(grab.keycodes.begin(), grab.keycodes.end(), *c) == grab.keycodes.end())
                grab.keycodes.push_back(*c);
        std::free(codes);
    }
    if (grab.keycodes.empty())
        return Fail("the keyboard has no key for virtual-key code " + std::to_string(vkey));
    // As on Windows, one combination belongs to one id.
    for (const auto& [otherId, other] : grabs_) {
        if (otherId == id || other.mask != grab.mask) continue;
        for (uint8_t keycode : grab.keycodes)
            if (std::find(other.keycodes.begin(), other.keycodes.end(), keycode) !=
                other.keycodes.end())
                return Fail("the combination is already registered as " + std::to_string(otherId));
    }
    Unregister(id);

    std::vector<xcb_void_cookie_t> cookies;
    for (xcb_window_t root : xcb_->roots)
        for (uint8_t keycode : grab.keycodes)
            for (uint16_t lock : LockStates(grab.needsNumLock))
                cookies.push_back(xcb_grab_key_checked(xcb_->connection, 0, root, grab.mask | lock,
                                                       keycode, XCB_GRAB_MODE_ASYNC,
                                                       XCB_GRAB_MODE_ASYNC));
    int errorCode = 0;
    for (xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(xcb_->connection, cookie)) {
            if (errorCode == 0) errorCode = error->error_code;
            std::free(error);
        }
    }
    if (errorCode != 0) {
        Ungrab(grab);  // releases only our own grabs; the other program keeps its own
        xcb_flush(xcb_->connection);
        QV_LOG("grabbing key 0x%X with modifiers %u for hotkey %d failed: X error %d%s", vkey,
               modifiers, id, errorCode,
               errorCode == XCB_ACCESS ? " (held by another program)" : "");
        return Fail(errorCode == XCB_ACCESS ? "another program holds this key combination"
                                            : "X error " + std::to_string(errorCode));
    }
    grabs_[id] = std::move(grab);
    return true;
}

void X11GlobalHotkeys::Unregister(int id) {
    const auto it = grabs_.find(id);
    if (it == grabs_.end()) return;
    Ungrab(it->second);
    xcb_flush(xcb_->connection);
    grabs_.erase(it);
}

bool X11GlobalHotkeys::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*) {
    if (eventType != "xcb_generic_event_t" || grabs_.empty()) return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & 0x7F) != XCB_KEY_PRESS) return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    // Our grabs report to the root windows; a press that reached one of our own windows was
    // not grabbed, whatever its keys.
    if (std::find(xcb_->roots.begin(), xcb_->roots.end(), press->event) == xcb_->roots.end())
        return false;
    const uint16_t state = press->state & kHotkeyState;
    const bool numLock = (press->state & xcb_->numLock) != 0;
    for (const auto& [id, grab] : grabs_) {
        if (grab.mask != state || (grab.needsNumLock && !numLock)) continue;
        if (std::find(grab.keycodes.begin(), grab.keycodes.end(), press->detail) ==
            grab.keycodes.end())
            continue;
        emit hotkeyPressed(id);
        return true;
    }
    return false;
}
