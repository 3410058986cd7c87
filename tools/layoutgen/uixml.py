"""A tiny model of a Qt Designer .ui file: widgets with absolute geometry, properties and
children, written as <ui version="4.0"> XML that QUiLoader and Designer both accept."""

import xml.etree.ElementTree as ET
from dataclasses import dataclass, field


@dataclass(frozen=True)
class Rect:
    x: int
    y: int
    w: int
    h: int

    @property
    def right(self):
        return self.x + self.w

    @property
    def bottom(self):
        return self.y + self.h

    def inside(self, w, h):
        return self.x >= 0 and self.y >= 0 and self.right <= w and self.bottom <= h

    def intersects(self, o):
        return self.x < o.right and o.x < self.right and self.y < o.bottom and o.y < self.bottom


# The properties a user reads. Their texts in the source language (Chinese) go to the
# translators and are translated by the loader; every other string (ids, roles, layout
# names, numbers, note names, the few English words) is marked notr="true".
TEXT_PROPERTIES = {"text", "toolTip", "windowTitle", "placeholderText", "title", "text1", "text2"}


@dataclass(frozen=True)
class Text:
    """A text with a note that tells it apart from the same words elsewhere in its layout
    (they may need another translation: a title where a button has room for more)."""
    value: str
    note: str


def translatable(name, value):
    if isinstance(value, Text):
        value = value.value
    return name in TEXT_PROPERTIES and isinstance(value, str) and any(
        ord(ch) > 0x2e7f for ch in value)


# Typed property values; plain bool/int/float/str map to <bool>/<number>/<double>/<string>.
@dataclass(frozen=True)
class Enum:
    value: str


@dataclass(frozen=True)
class Flags:
    value: str


@dataclass(frozen=True)
class Size:
    w: int
    h: int


@dataclass(frozen=True)
class Color:
    r: int
    g: int
    b: int
    a: int = 255


@dataclass(frozen=True)
class Font:
    family: str
    point_size: int
    bold: bool = False


@dataclass(frozen=True)
class Pixmap:
    path: str


@dataclass
class Widget:
    cls: str
    name: str
    rect: Rect | None = None
    props: list = field(default_factory=list)  # (name, value, stdset)
    children: list = field(default_factory=list)
    title: str | None = None  # page title when the parent is a QTabWidget
    hidden: bool = False
    overlay: bool = False  # meant to lie over its siblings

    def add(self, child):
        self.children.append(child)
        return child

    def prop(self, name, value, stdset=True):
        self.props.append((name, value, stdset))
        return self

    def dyn(self, name, value):
        """A dynamic property (stdset="0"): ids and attributes our own code reads."""
        return self.prop(name, value, stdset=False)

    def walk(self):
        yield self
        for c in self.children:
            yield from c.walk()


def _value(parent, v, tr=False):
    if isinstance(v, bool):
        ET.SubElement(parent, "bool").text = "true" if v else "false"
    elif isinstance(v, int):
        ET.SubElement(parent, "number").text = str(v)
    elif isinstance(v, float):
        ET.SubElement(parent, "double").text = repr(v)
    elif isinstance(v, (str, Text)):
        e = ET.SubElement(parent, "string")
        if not tr:
            e.set("notr", "true")
        if isinstance(v, Text):
            e.set("comment", v.note)  # the loader and lupdate take it as disambiguation
            v = v.value
        e.text = v
    elif isinstance(v, Enum):
        ET.SubElement(parent, "enum").text = v.value
    elif isinstance(v, Flags):
        ET.SubElement(parent, "set").text = v.value
    elif isinstance(v, Rect):
        r = ET.SubElement(parent, "rect")
        for tag, n in (("x", v.x), ("y", v.y), ("width", v.w), ("height", v.h)):
            ET.SubElement(r, tag).text = str(n)
    elif isinstance(v, Size):
        sz = ET.SubElement(parent, "size")
        ET.SubElement(sz, "width").text = str(v.w)
        ET.SubElement(sz, "height").text = str(v.h)
    elif isinstance(v, Color):
        c = ET.SubElement(parent, "color", alpha=str(v.a))
        for tag, n in (("red", v.r), ("green", v.g), ("blue", v.b)):
            ET.SubElement(c, tag).text = str(n)
    elif isinstance(v, Font):
        f = ET.SubElement(parent, "font")
        ET.SubElement(f, "family").text = v.family
        ET.SubElement(f, "pointsize").text = str(v.point_size)
        ET.SubElement(f, "bold").text = "true" if v.bold else "false"
    elif isinstance(v, Pixmap):
        ET.SubElement(parent, "pixmap", resource="../resources.qrc").text = v.path
    else:
        raise TypeError(f"unsupported property value {v!r}")


def _widget(parent, w):
    e = ET.SubElement(parent, "widget", {"class": w.cls, "name": w.name})
    if w.title is not None:
        _value(ET.SubElement(e, "attribute", name="title"), w.title,
               translatable("title", w.title))
    props = list(w.props)
    if w.rect is not None:
        props.insert(0, ("geometry", w.rect, True))
    if w.hidden:
        props.append(("visible", False, True))
    for name, value, stdset in props:
        p = ET.SubElement(e, "property", name=name)
        if not stdset:
            p.set("stdset", "0")
        _value(p, value, translatable(name, value))
    for c in w.children:
        _widget(e, c)


def to_xml(root, custom_widgets):
    """custom_widgets: (class, base class, is container) of every own class the file uses."""
    ui = ET.Element("ui", version="4.0")
    ET.SubElement(ui, "class").text = root.name
    _widget(ui, root)
    used = {w.cls for w in root.walk()}
    cws = ET.SubElement(ui, "customwidgets")
    for cls, base, container in custom_widgets:
        if cls not in used:
            continue
        cw = ET.SubElement(cws, "customwidget")
        ET.SubElement(cw, "class").text = cls
        ET.SubElement(cw, "extends").text = base
        ET.SubElement(cw, "header").text = cls + ".h"
        if container:
            ET.SubElement(cw, "container").text = "1"
    if not len(cws):
        ui.remove(cws)
    ET.SubElement(ET.SubElement(ui, "resources"), "include", location="../resources.qrc")
    ET.SubElement(ui, "connections")
    ET.indent(ui, space=" ")
    return '<?xml version="1.0" encoding="UTF-8"?>\n' + ET.tostring(ui, encoding="unicode") + "\n"


def check(root):
    """Fails on a child outside its parent, on two visible siblings that overlap (overlays and
    tab pages excepted) and on a name used twice."""
    names = [w.name for w in root.walk()]
    dup = {n for n in names if names.count(n) > 1}
    assert not dup, f"{root.name}: names used twice: {sorted(dup)}"
    for parent in root.walk():
        for c in parent.children:
            if c.rect is not None and parent.rect is not None:
                assert c.rect.inside(parent.rect.w, parent.rect.h), \
                    f"{c.name} {c.rect} lies outside {parent.name} {parent.rect}"
        if parent.cls == "QTabWidget":
            continue
        solid = [c for c in parent.children if c.rect and not c.hidden and not c.overlay]
        for i, a in enumerate(solid):
            for b in solid[i + 1:]:
                assert not a.rect.intersects(b.rect), f"{a.name} overlaps {b.name}"
