"""Constructors for the kinds of controls the layouts use, so each layout file only says
where things go. A control's "role" (a dynamic property) picks its look in dark.qss."""

from uixml import Color, Enum, Flags, Font, Pixmap, Rect, Size, Widget

FONT = Font("Noto Sans CJK SC", 9)

# Our own widget classes: class, the Qt class it extends, whether it holds children.
CUSTOM_WIDGETS = [
    ("QvRotaryKnob", "QAbstractSlider", False),
    ("QvSlider", "QAbstractSlider", False),
    ("QvProgress", "QProgressBar", False),
    ("QvProgressEX", "QProgressBar", False),
    ("QvProgressEX1", "QProgressBar", False),
    ("QvCheckButton", "QAbstractButton", False),
    ("QvRadioButton", "QAbstractButton", False),
    ("QvEQ", "QWidget", True),
    ("QvEqCurve", "QWidget", False),
]

# Tab chrome as dark.qss draws it: a 28 px tab bar and a 1 px pane border. Pages are laid out
# in the space that is left, so their contents are never clipped.
TAB_BAR_H = 28
PANE_BORDER = 1

CENTER = Flags("Qt::AlignCenter")
LEFT = Flags("Qt::AlignLeft|Qt::AlignVCenter")
TOP_LEFT = Flags("Qt::AlignLeft|Qt::AlignTop")


def text_width(text, point_size=9):
    """A generous estimate of the text's width in pixels at 96 dpi (CJK glyphs are square)."""
    px = point_size * 4 / 3
    return round(sum(px if ord(ch) > 0x2e7f else px * 0.6 for ch in text))


def _common(w, id=None, role=None, tip=None, hidden=False):
    if id is not None:
        w.dyn("id", id)
    if role is not None:
        w.dyn("role", role)
    if tip:
        w.prop("toolTip", tip)
    w.hidden = hidden
    return w


def window(name, w, h, layout_name, title):
    win = Widget("QWidget", name, Rect(0, 0, w, h))
    for size in ("minimumSize", "maximumSize"):
        win.prop(size, Size(w, h))  # fixed size: not resizable
    win.prop("windowTitle", title).prop("font", FONT)
    return _common(win.dyn("layoutName", layout_name), role="window")


def frame(name, rect, role="panel", hidden=False, overlay=False, id=None):
    f = Widget("QFrame", name, rect, overlay=overlay)
    return _common(f, id=id, role=role, hidden=hidden)


def overlay(name, rect, role="overlay"):
    """A hidden panel that the program shows over controls that do not apply."""
    return frame(name, rect, role=role, hidden=True, overlay=True)


def label(name, rect, text, role=None, align=CENTER, id=None, tip=None, hidden=False, wrap=False):
    lb = Widget("QLabel", name, rect).prop("text", text).prop("alignment", align)
    if wrap:
        lb.prop("wordWrap", True)
    return _common(lb, id=id, role=role, tip=tip, hidden=hidden)


def image(name, rect, path):
    lb = Widget("QLabel", name, rect).prop("pixmap", Pixmap(path)).prop("scaledContents", True)
    return _common(lb, role="image")


def button(name, rect, text, id=None, role=None, tip=None, hidden=False):
    b = Widget("QPushButton", name, rect).prop("text", text)
    b.prop("focusPolicy", Enum("Qt::NoFocus"))
    return _common(b, id=id, role=role, tip=tip, hidden=hidden)


def check_box(name, rect, text, id):
    return _common(Widget("QCheckBox", name, rect).prop("text", text), id=id, role="switch")


def check_button(name, rect, text, id=None, texts=None, tip=None):
    """QvCheckButton; texts = (unchecked, checked) switches its text with the state."""
    b = Widget("QvCheckButton", name, rect).prop("text", text).prop("checkable", True)
    b.dyn("autoCheck", 1)
    if texts:
        b.dyn("multitext", "1").dyn("text1", texts[0]).dyn("text2", texts[1])
    return _common(b, id=id, role="toggle", tip=tip)


def radio(name, rect, text, id, auto_check, role):
    """QvRadioButton. auto_check 0: only the program checks it (effect and preset buttons)."""
    b = Widget("QvRadioButton", name, rect).prop("text", text).prop("checkable", True)
    b.prop("autoExclusive", bool(auto_check)).dyn("autoCheck", auto_check)
    return _common(b, id=id, role=role)


def knob(name, rect, id, lo, hi, value, tip=None):
    k = Widget("QvRotaryKnob", name, rect)
    k.prop("minimum", lo).prop("maximum", hi).prop("value", value)
    r = min(rect.w, rect.h) // 2
    k.dyn("includedAngle", 70.0).dyn("fgRadius", r - 4).dyn("dotRadius", r - 9)
    # A painted pointer (any skin name draws it) and the accent colour for the value arc.
    k.prop("slashSkin", "pointer").prop("pointerSize", Size(4, r // 2))
    k.prop("colorCircle", Color(0x21, 0xB8, 0xBC))
    return _common(k, id=id, role="knob", tip=tip)


def slider(name, rect, lo, hi, value, vertical, id=None):
    s = Widget("QvSlider", name, rect)
    s.prop("minimum", lo).prop("maximum", hi).prop("value", value)
    s.prop("orientation", Enum("Qt::Vertical" if vertical else "Qt::Horizontal"))
    return _common(s, id=id, role="slider")


def bar(cls, name, rect, lo, hi, vertical=False, id=None, decline=None, tip=None, hidden=False):
    """Progress bars and level meters (QProgressBar or one of ours)."""
    b = Widget(cls, name, rect)
    b.prop("minimum", lo).prop("maximum", hi).prop("value", 0).prop("textVisible", False)
    b.prop("orientation", Enum("Qt::Vertical" if vertical else "Qt::Horizontal"))
    if decline is not None:
        b.dyn("DeclineSpeed", decline)
    return _common(b, id=id, role="meter" if vertical else "progress", tip=tip, hidden=hidden)


def tabs(name, rect, id, pages):
    """A QTabWidget; pages = [(page name, title)]. Returns the tab widget, its pages and the
    pages' size."""
    t = _common(Widget("QTabWidget", name, rect).prop("currentIndex", 0), id=id)
    t.prop("focusPolicy", Enum("Qt::NoFocus"))
    size = (rect.w - 2 * PANE_BORDER, rect.h - TAB_BAR_H - 2 * PANE_BORDER)
    made = []
    for page_name, title in pages:
        p = t.add(Widget("QWidget", page_name, Rect(0, 0, *size), title=title))
        made.append(p)
    return t, made, size


def scroll_area(name, rect):
    """A frameless QScrollArea; returns it and its contents widget."""
    a = Widget("QScrollArea", name, rect).prop("frameShape", Enum("QFrame::NoFrame"))
    a.prop("widgetResizable", True)
    a.prop("horizontalScrollBarPolicy", Enum("Qt::ScrollBarAlwaysOff"))
    contents = a.add(Widget("QWidget", name + "_contents", Rect(0, 0, rect.w, rect.h)))
    return a, contents


def tree(name, rect):
    t = Widget("QTreeWidget", name, rect)
    t.prop("headerHidden", True).prop("indentation", 8).prop("focusPolicy", Enum("Qt::NoFocus"))
    return t


def eq(name, rect, curve_name):
    """The equaliser curve (QvEQ) with its display-only curve child covering it."""
    e = _common(Widget("QvEQ", name, rect), role="eq")
    for attr, v in (("ldist", 0), ("tdist", 0), ("rdist", 0), ("bdist", 0), ("dbMax", 12),
                    ("dbMin", -12), ("nKedu", 4), ("dbKeduVal", 6), ("zeroXFreq", 20)):
        e.dyn(attr, v)
    c = e.add(Widget("QvEqCurve", curve_name, Rect(0, 0, rect.w, rect.h)))
    c.dyn("colorLine", Color(0x0E, 0xAC, 0xAC, 0xFF))
    c.dyn("colorCurrLine", Color(0x80, 0x80, 0x80, 0x50)).dyn("lineWidth", 1)
    return e
