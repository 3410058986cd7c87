"""The name dialogs: save the current effect, save a group preset, rename a sound clip. Each
draws its own caption strip; the program fills the drop-down lists."""

import kit
from dialogs import CAPTION_H, _caption
from uixml import Enum, Rect, Widget

ROW_H = 28
LABEL_X, LABEL_W = 40, 80
FIELD_X = LABEL_X + LABEL_W + 10
BUTTON_W, BUTTON_H = 84, 30


def _combo(name, rect):
    """A drop-down list (not editable); its entries come from the program."""
    return Widget("QComboBox", name, rect).prop("focusPolicy", Enum("Qt::StrongFocus"))


def _edit(name, rect, max_chars, placeholder):
    e = Widget("QLineEdit", name, rect).prop("maxLength", max_chars)
    return e.prop("placeholderText", placeholder)


def _row(win, y, label_name, text, field):
    w = win.rect.w
    win.add(kit.label(label_name, Rect(LABEL_X, y, LABEL_W, ROW_H), text, role="caption",
                      align=kit.LEFT))
    field.rect = Rect(FIELD_X, y, w - FIELD_X - LABEL_X, ROW_H)
    win.add(field)


def _buttons(win, ok_text):
    """OK (id 1) and Cancel (id 2), centred near the bottom edge."""
    w, h = win.rect.w, win.rect.h
    gap = 24
    x = (w - 2 * BUTTON_W - gap) // 2
    y = h - 20 - BUTTON_H
    win.add(kit.button("btnOK", Rect(x, y, BUTTON_W, BUTTON_H), ok_text, id=1, role="action"))
    win.add(kit.button("btnCancel", Rect(x + BUTTON_W + gap, y, BUTTON_W, BUTTON_H), "取消",
                       id=2, role="action"))


def save_effect():
    win = kit.window("dlgSaveEffect", 400, 270, "LAYOUT:XML_SAVEEFFECT", "保存音效")
    _caption(win, "txt_title", "保存音效")
    y = CAPTION_H + 28
    _row(win, y, "txt_label_save_type", "保存类型", _combo("combo_save_type", None))
    _row(win, y + 42, "txt_label_save_to", "保存位置", _combo("combo_save_to", None))
    _row(win, y + 84, "txt_label_name", "音效名称",
         _edit("edit_name", None, 12, "最多12个字"))
    _buttons(win, "Save")
    return win


def save_preset():
    win = kit.window("dlgSavePreset", 400, 240, "LAYOUT:XML_SAVEPRESET", "保存预设")
    # The program puts the group's name into the title.
    _caption(win, "txt_title", "保存预设")
    y = CAPTION_H + 28
    _row(win, y, "txt_label_save_to", "保存位置", _combo("combo_save_to", None))
    _row(win, y + 42, "txt_label_name", "预设名称", _edit("edit_name", None, 12, "最多12个字"))
    _buttons(win, "Save")
    return win


def edit_file_name():
    win = kit.window("dlgEditFileName", 320, 150, "LAYOUT:XML_EDIT_ADDFILENAME", "设置特效名称")
    _caption(win, "txt_title", "设置特效名称")
    win.add(_edit("edit_name", Rect(30, CAPTION_H + 16, 260, ROW_H), 7, "最多7个字"))
    _buttons(win, "确定")
    return win


def all_layouts():
    """File name -> layout."""
    return {"saveeffect.ui": save_effect(), "savepreset.ui": save_preset(),
            "editfilename.ui": edit_file_name()}
