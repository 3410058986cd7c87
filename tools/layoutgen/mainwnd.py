"""The main window "LAYOUT:XML_MAINWND": caption strip, left column, parameter column and
the two overlays over everything below the caption."""

import kit
import mainwnd_left
import mainwnd_params
from uixml import Rect

W, H = 974, 662
CAPTION_H = 50
LEFT_COLUMN = Rect(10, 56, 390, 589)
# From x 410, y 60 to the right and bottom edges less 15 and 17.
PARAM_CONTENT = Rect(410, 60, W - 15 - 410, H - 17 - 60)


def _caption():
    c = kit.frame("caption_bar", Rect(0, 0, W, CAPTION_H), role="titlebar")
    c.add(kit.image("img_logo", Rect(14, 11, 28, 28), ":/images/logo.svg"))
    c.add(kit.label("txt_app_title", Rect(50, 10, 150, 30), "林雾LW52", role="app-title",
                    align=kit.LEFT))
    c.add(kit.label("txt_eff_title", Rect(PARAM_CONTENT.x, 10, 400, 30), "当前音效：",
                    role="eff-title", align=kit.LEFT))
    x = W - 12 - 3 * 34 + 4
    for name, text, tip, id in (("btn_menu", "≡", "菜单", None), ("btn_min", "—", "最小化", None),
                                ("btn_close", "×", "关闭", 2)):
        c.add(kit.button(name, Rect(x, 12, 30, 26), text, id=id, role="caption-button", tip=tip))
        x += 34
    return c


def build():
    win = kit.window("mainWindow", W, H, "LAYOUT:XML_MAINWND", "林雾LW52")
    win.add(_caption())
    win.add(mainwnd_left.build(LEFT_COLUMN))
    win.add(mainwnd_params.build(PARAM_CONTENT))
    body = Rect(0, CAPTION_H, W, H - CAPTION_H)
    # forbid_operation only blocks input for a moment, so it stays clear rather than flicker.
    win.add(kit.overlay("forbid_operation", body, role="overlay-clear"))
    conn = win.add(kit.overlay("forbid_device_conn_status", body, role="overlay-page"))
    conn.add(kit.label("txt_dev_status", Rect(0, body.h // 2 - 20, W, 40), "设备未连接",
                       role="status", hidden=True))
    return win
