"""Left column of the main window: effect buttons, effect library, sound pads, and the
player and recording strips side by side at the bottom."""

import kit
from uixml import Rect

CARD_EFFECTS = ["聊天", "K歌", "喊麦", "男变女", "女变男", "电话音", "娃娃音", "电音", "听湿录干",
                "自定义1", "自定义2", "自定义3"]
MY_EFFECTS = [f"自定义{n}" for n in range(4, 16)]

GAP = 6
EFFECT_TAB_H = 146  # three rows of effect buttons
SOUND_TAB_H = 144  # three rows of 36 px pads, as the pad grids are built
STRIP_H = 96  # player and recording strips
HEADER_H = 20  # the "特效" label row
PROGRESS_H = 6


def _effect_grid(page, size, first_id, texts):
    cols, margin, gap, h = 4, 8, 8, 28
    w = (size[0] - 2 * margin - (cols - 1) * gap) // cols
    for i, text in enumerate(texts):
        r, c = divmod(i, cols)
        rect = Rect(margin + c * (w + gap), margin + r * (h + gap), w, h)
        page.add(kit.radio(f"btn_effect_{first_id + i}", rect, text, first_id + i, 0, "effect"))


def _effect_tabs(width):
    pages = [("page_card_effects", "设备音效"), ("page_my_effects", "我的音效")]
    t, (card, mine), size = kit.tabs("tab_effect", Rect(0, 0, width, EFFECT_TAB_H), 900, pages)
    _effect_grid(card, size, 10000, CARD_EFFECTS)
    _effect_grid(mine, size, 10012, MY_EFFECTS)
    return t


def _library_tabs(rect):
    pages = [("page_local_effects", " 音效"), ("page_cloud_effects", "云音效")]
    t, (local, cloud), (w, h) = kit.tabs("tab_library", rect, 901, pages)
    inner = Rect(4, 4, w - 8, h - 8)
    local.add(kit.tree("trctl_kx_eff_list", inner))
    cloud.add(kit.tree("trctl_cloud_effectt", inner))
    # Shown over the tree while the list is fetched, or when it could not be fetched.
    cloud.add(kit.label("ani_fetch_cloud_eff", Rect(w // 2 - 60, h // 2 - 12, 120, 24), "正在获取…",
                        role="busy", tip="正在获取云音效", hidden=True))
    box = cloud.add(kit.frame("wnd_cloud_eff_refresh", Rect(w // 2 - 130, h // 2 - 36, 260, 72),
                              role="notice", hidden=True))
    box.add(kit.label("txt_cloud_eff_failed", Rect(0, 8, 260, 24), "获取失败，请检查网络连接"))
    box.add(kit.button("btn_cloud_retry", Rect(100, 38, 60, 24), "重试", role="link"))
    return t


def _sound_tabs(rect):
    pages = [("page_sound_common", "收藏夹"), ("page_sound_local", "本地"),
             ("page_sound_download", "已下载")]
    t, made, (w, h) = kit.tabs("tab_sound", rect, None, pages)
    for page, grid in zip(made, ("scrollview_sound_common", "scrollview_sound_local",
                                 "scrollview_sound_download")):
        area, _ = kit.scroll_area(grid, Rect(8, 2, w - 8, h - 2))  # page padding "8,2,0,0"
        page.add(area)
    return t


def _player_strip(rect):
    c = kit.frame("container_sound", rect)
    w = rect.w
    c.add(kit.button("btn_sound_stop", Rect(8, 8, 44, 24), "停止", tip="停止播放"))
    c.add(kit.bar("QvProgress", "progress_sound_play", Rect(60, 17, w - 68, 6), 0, 100))
    c.add(kit.label("txt_sound_play_time", Rect(8, 38, 70, 24), "00:00:00", role="time"))
    c.add(kit.button("btn_volume", Rect(w - 60, 38, 52, 24), "音量", tip="音效音量"))
    c.add(kit.check_button("chk_hotkey_switch", Rect(8, 66, w - 16, 24), "热键：关",
                           texts=("热键：关", "热键：开"), tip="启用或关闭收藏夹热键"))
    return c


def _record_strip(rect):
    c = kit.frame("container_record", rect)
    w = rect.w
    c.add(kit.check_button("btn_record", Rect(8, 8, 52, 24), "录音", texts=("录音", "停止")))
    c.add(kit.label("txt_record_time", Rect(66, 8, 66, 24), "00:00:00", role="time"))
    c.add(kit.button("btn_record_save", Rect(w - 56, 8, 48, 24), "保存", tip="Save as mp3"))
    c.add(kit.check_button("btn_record_playback", Rect(8, 38, 52, 24), "试听",
                           texts=("试听", "停止")))
    c.add(kit.label("txt_play_time", Rect(66, 38, 66, 24), "00:00:00", role="time"))
    # Busy animation while a large recording opens; a plain label stands in for it.
    c.add(kit.label("loading", Rect(w - 56, 38, 48, 24), "载入…", role="busy", hidden=True))
    c.add(kit.slider("slider_play_progress", Rect(8, 66, w - 16, 14), 0, 100, 0, False))
    c.add(kit.bar("QvProgressEX", "channel_volume", Rect(8, 84, w - 16, 6), 0, 100))
    return c


def build(rect):
    """The column as a frameless container at rect (390 x 589 below the caption)."""
    col = kit.frame("left_content", rect, role="column")
    w = rect.w
    col.add(_effect_tabs(w))
    y = EFFECT_TAB_H + GAP
    fixed = y + 4 + PROGRESS_H + 4 + HEADER_H + 2 + SOUND_TAB_H + GAP + STRIP_H
    lib_h = rect.h - fixed
    assert lib_h >= 120, lib_h
    col.add(_library_tabs(Rect(0, y, w, lib_h)))
    y += lib_h + 4
    col.add(kit.bar("QProgressBar", "progress_eff_download", Rect(0, y, w, PROGRESS_H), 0, 100,
                    hidden=True))
    y += PROGRESS_H + 4
    col.add(kit.label("txt_sound_title", Rect(0, y, 60, HEADER_H), "特效", role="section",
                      align=kit.LEFT))
    col.add(kit.label("ani_fetch_cloud_sound", Rect(w - 230, y, 110, HEADER_H), "正在获取…",
                      role="busy", tip="正在获取云特效", hidden=True))
    col.add(kit.button("btn_cloud_sound_retry", Rect(w - 112, y, 112, HEADER_H), "重新获取云特效",
                       role="link", hidden=True))
    y += HEADER_H + 2
    col.add(_sound_tabs(Rect(0, y, w, SOUND_TAB_H)))
    y += SOUND_TAB_H + GAP
    half = (w - GAP) // 2
    col.add(_player_strip(Rect(0, y, half, STRIP_H)))
    rec = col.add(_record_strip(Rect(half + GAP, y, w - half - GAP, STRIP_H)))
    assert y + STRIP_H == rect.h
    # Blocks clicks on the recording strip while a large recording opens.
    col.add(kit.overlay("record_display_wnd", rec.rect, role="overlay-clear"))
    return col
