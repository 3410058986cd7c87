"""The small layouts: transient tip, device information, About, message box and the pad
volume popup. Each dialog draws its own caption strip, like the main window."""

import kit
from uixml import Flags, Rect

CAPTION_H = 32


def _caption(win, title_name, title, close_id=2):
    w = win.rect.w
    c = win.add(kit.frame(f"{win.name}_caption", Rect(0, 0, w, CAPTION_H), role="titlebar"))
    c.add(kit.label(title_name, Rect(12, 0, w - 60, CAPTION_H), title, role="dlg-title",
                    align=kit.LEFT))
    c.add(kit.button("btn_close", Rect(w - 34, 3, 30, 26), "×", id=close_id,
                     role="caption-button", tip="关闭"))


def tooltip():
    win = kit.window("tipWindow", 220, 32, "LAYOUT:XML_TOOLTIP", "tip")
    win.dyn("role", "tip")
    win.add(kit.label("txt_tip", Rect(0, 0, 220, 32), "", role="tip", wrap=True))
    return win


def device_info():
    win = kit.window("dlgDeviceInfo", 320, 160, "LAYOUT:XML_DLGDEVICEINFO", "设备信息")
    _caption(win, "txt_dlg_title", "设备信息")
    win.add(kit.label("txt_info", Rect(20, CAPTION_H + 10, 280, 160 - CAPTION_H - 20),
                      "产品名称：林雾LW52", role="info", align=kit.TOP_LEFT, wrap=True))
    return win


def about():
    win = kit.window("dlgAbout", 320, 150, "LAYOUT:XML_ABOUT", "About")
    _caption(win, "txt_dlg_title", "About")
    win.add(kit.image("img_logo", Rect(28, 52, 56, 56), ":/images/logo.svg"))
    win.add(kit.label("txt_program_title", Rect(100, 52, 200, 30), "林雾LW52", role="app-title",
                      align=kit.LEFT))
    # The program puts its version text here.
    win.add(kit.label("txt_version", Rect(100, 86, 200, 22), "V0.1.0", role="caption",
                      align=kit.LEFT))
    return win


def msgbox():
    w, h = 360, 170
    win = kit.window("dlgMsgBox", w, h, "LAYOUT:XML_MSGBOX", "提示")
    _caption(win, "msgtitle", "提示")
    win.add(kit.label("msgicon", Rect(20, CAPTION_H + 18, 40, 40), "!", role="msgicon"))
    win.add(kit.label("msgtext", Rect(72, CAPTION_H + 12, w - 92, 72), "", role="info",
                      align=Flags("Qt::AlignLeft|Qt::AlignVCenter"), wrap=True))
    # Texts and visibility of the three buttons are set by the program per box type.
    bw, gap = 80, 8
    x = w - 16 - 3 * bw - 2 * gap
    for i, (name, text) in enumerate((("button1st", "确定"), ("button2nd", "否"),
                                      ("button3rd", "取消"))):
        win.add(kit.button(name, Rect(x + i * (bw + gap), h - 44, bw, 28), text, role="action"))
    return win


def set_volume():
    win = kit.window("setVolume_Wnd", 90, 212, "LAYOUT:XML_SET_VOLUME", "音量")
    win.add(kit.label("txt_sound_volume", Rect(0, 8, 90, 20), "100", role="value"))
    win.add(kit.slider("slider_sound_volume", Rect(33, 34, 24, 166), 0, 100, 100, True))
    return win


def upgrade_firmware():
    """The firmware upgrade: a message, the current action over a progress bar, and one of
    "重试" or "立即升级" below (never both)."""
    w, h = 388, 250
    win = kit.window("DlgUpgradeFirmware", w, h, "LAYOUT:XML_UPGRADEFIRMWARE", "固件升级")
    _caption(win, "txt_dlg_title", "固件升级")
    # Message, action and bar one below the other: all three show during the write.
    win.add(kit.label("txt_msg", Rect((w - 330) // 2, CAPTION_H + 8, 330, 92), "",
                      role="info", wrap=True, hidden=True))
    win.add(kit.label("txt_currentaction", Rect((w - 320) // 2, CAPTION_H + 102, 320, 32), "",
                      role="info", wrap=True, hidden=True))
    progress = kit.bar("QProgressBar", "progress", Rect((w - 320) // 2, CAPTION_H + 138, 320, 20),
                       0, 100, hidden=True)
    progress.props = [p for p in progress.props if p[0] != "textVisible"]
    progress.prop("textVisible", True).prop("format", "%p%")
    win.add(progress)
    for name, text in (("btn_retry", "重试"), ("btn_upgrade", "立即升级")):
        win.add(kit.button(name, Rect((w - 100) // 2, h - 44, 100, 30), text, role="action",
                           hidden=True))
    return win


def all_layouts():
    """File name -> layout."""
    return {"tooltip.ui": tooltip(), "deviceinfo.ui": device_info(), "about.ui": about(),
            "msgbox.ui": msgbox(), "setvolume.ui": set_volume(),
            "upgradefirmware.ui": upgrade_firmware()}

