"""Right column of the main window ("param_content"): mixer, equaliser, reverb and voice
change tabs, electronic voice, and the overlays that cover groups of them."""

import kit
from uixml import Rect, Text

GAP = 6
MIXER_H = 136
EQ_H = 206
REVERB_TAB_H = 166
KNOB_COL_W, KNOB = 68, 56

# Knob id, caption, range and initial value as in the parameter table (param 3: -90 offset,
# 41: x100 in the text).
MIXER_KNOBS = [(8000, "话筒音量", 0, 9, 6, "6"), (8001, "外接伴奏", 0, 9, 6, "6"),
               (8002, "电脑伴奏", 0, 9, 6, "6"), (8009, "降噪等级", 0, 87, 70, "-20")]
REVERB_KNOBS = [(8020, "混响时长", 0, 60, 15, "1500"), (8022, "混响比例", 0, 100, 100, "100"),
                (8023, "混响音量", 0, 100, 100, "100"), (8038, "预延迟", 0, 160, 7, "7")]
PITCH_KNOBS = [(8016, "变声音量", 0, 100, 0, "0"), (8017, "变声等级", 0, 250, 125, "0")]
SWITCHES = [(7000, "话筒+10dB"), (7001, "外接伴奏+10dB"), (7002, "闪避开关"), (7004, "一键内放"),
            (7005, "一键降噪"), (7006, "消原声")]
EQ_FREQS = ["55", "80", "150", "250", "500", "800", "1k", "2k", "4k", "10k"]
USER_SLOTS = [f"自定义{n}" for n in range(1, 5)]
EQ_PRESETS = ["明亮", "磁性", "温暖", "大众", "动圈麦", "动圈麦2"] + USER_SLOTS
REVERB_PRESETS = ["专业歌手", "业余歌手", "现场表演", "说唱表演", "歌手1", "歌手2",
                  "歌手3"] + USER_SLOTS
PITCH_PRESETS = ["娃娃音", "魔兽音", "男变女", "女变男"] + USER_SLOTS
KEYS = ["C", "Db", "D", "Eb", "E", "F", "Gb", "G", "Ab", "A", "Bb", "B"]


def _knob_column(parent, x, y, knob_def):
    """Caption, knob and value text; returns the column's rectangle."""
    id, caption, lo, hi, value, text = knob_def
    parent.add(kit.label(f"txt_knob_{id}", Rect(x, y, KNOB_COL_W - 4, 18), caption, role="caption"))
    parent.add(kit.knob(f"knob_{id}", Rect(x + 4, y + 20, KNOB, KNOB), id, lo, hi, value))
    parent.add(kit.label(f"txt_{id - 2000}", Rect(x, y + 22 + KNOB, KNOB_COL_W - 4, 18), text,
                         role="value", id=id - 2000))
    return Rect(x, y, KNOB_COL_W - 4, 40 + KNOB)


def _preset_grid(parent, x, y, w, cols, first_id, texts, row_h=22, gap=4):
    bw = (w - (cols - 1) * gap) // cols
    for i, text in enumerate(texts):
        r, c = divmod(i, cols)
        rect = Rect(x + c * (bw + gap), y + r * (row_h + gap), bw, row_h)
        parent.add(kit.radio(f"btn_preset_{first_id + i}", rect, text, first_id + i, 0, "preset"))
    rows = (len(texts) + cols - 1) // cols
    return bw, rows * (row_h + gap) - gap


def _mixer(rect):
    m = kit.frame("mixer_panel", rect)
    cols = [_knob_column(m, 8 + i * KNOB_COL_W, 4, k) for i, k in enumerate(MIXER_KNOBS)]
    x = 8 + 4 * KNOB_COL_W
    m.add(kit.label("txt_meter_caption", Rect(x, 4, 44, 18), "电平", role="caption"))
    m.add(kit.bar("QvProgressEX1", "meter_9000", Rect(x + 8, 26, 12, 70), 0, 90, True, 9000, 9,
                  tip="话筒电平"))
    m.add(kit.bar("QvProgressEX1", "meter_9001", Rect(x + 26, 26, 12, 70), 0, 90, True, 9001, 9,
                  tip="伴奏电平"))
    bx, bw = x + 56, (rect.w - 8 - (x + 56) - 9) // 2
    m.add(kit.check_button("chk_7007", Rect(bx, 24, bw, 28), "话筒静音", id=7007))
    m.add(kit.check_button("Oneclick_soundTrack", Rect(bx + bw + 9, 24, bw, 28), "一键原声",
                           id=7003))
    m.add(kit.button("btn_mixer_default", Rect(bx, 62, bw, 28), "恢复默认", id=11000,
                     role="action"))
    m.add(kit.button("btn_save_effect", Rect(bx + bw + 9, 62, bw, 28), "保存音效", id=12100,
                     role="action"))
    # One row of switches, each as wide as its text, spread over the panel.
    widths = [kit.text_width(t) + 28 for _, t in SWITCHES]
    spare = rect.w - 16 - sum(widths)
    assert spare >= 0, spare
    x = 8
    for (id, text), w in zip(SWITCHES, widths):
        m.add(kit.check_box(f"chk_{id}", Rect(x, 106, w, 24), text, id))
        x += w + spare // (len(SWITCHES) - 1)
    return m, cols[3]


def _equaliser(rect):
    e = kit.frame("eq_panel", rect)
    e.add(kit.label("txt_eq_title", Rect(8, 4, 120, 20), "均衡器", role="section", align=kit.LEFT))
    col_w, plot_w = 37, 370
    e.add(kit.eq("eq_curve", Rect(8, 26, plot_w, 50), "eq_curve_line"))
    for k, freq in enumerate(EQ_FREQS):
        x = 8 + k * col_w
        e.add(kit.label(f"txt_eq_freq_{k}", Rect(x, 77, col_w, 18), freq, role="caption"))
        e.add(kit.slider(f"slider_{2025 + k}", Rect(x + 8, 96, col_w - 16, 82), 0, 240, 120, True,
                         2025 + k))
        e.add(kit.label(f"txt_{6025 + k}", Rect(x, 180, col_w, 18), "0.0", role="value",
                        id=6025 + k))
    px = 8 + plot_w + 10
    pw = rect.w - 8 - px
    bw, h = _preset_grid(e, px, 24, pw, 2, 11101, EQ_PRESETS)
    e.add(kit.button("btn_save_preset_1", Rect(px, 24 + h + 4, bw, 22), "保存预设", id=12001,
                     role="action"))
    e.add(kit.button("btn_restore_1", Rect(px + pw - bw, 24 + h + 4, bw, 22), "恢复默认", id=13001,
                     role="action"))
    assert 24 + h + 4 + 22 <= rect.h - 4
    return e


def _group_page(page, size, knobs, presets, first_id, group, scroll_name=None):
    for i, k in enumerate(knobs):
        _knob_column(page, 8 + i * KNOB_COL_W, 6, k)
    px = 8 + 4 * KNOB_COL_W + 8
    pw = size[0] - 8 - px
    host, hx, hy = page, px, 6
    if scroll_name:  # the reverb presets sit in a scroll view of their own
        area, host = kit.scroll_area(scroll_name, Rect(px, 6, pw, 100))
        page.add(area)
        hx = hy = 0
    bw, h = _preset_grid(host, hx, hy, pw, 3, first_id, presets)
    assert h <= 100, h
    page.add(kit.button(f"btn_save_preset_{group}", Rect(px, 112, bw, 22), "保存预设",
                        id=12000 + group, role="action"))
    page.add(kit.button(f"btn_restore_{group}", Rect(px + bw + 4, 112, bw, 22), "恢复默认",
                        id=13000 + group, role="action"))
    assert 112 + 22 <= size[1]


def _reverb_pitch(rect):
    t, (reverb, pitch), size = kit.tabs("tab_reverb_pitch", rect, 902,
                                        [("page_reverb", "混响   "), ("page_pitch", "变声  ")])
    _group_page(reverb, size, REVERB_KNOBS, REVERB_PRESETS, 11201, 2, "reverb_scrollview")
    _group_page(pitch, size, PITCH_KNOBS, PITCH_PRESETS, 11301, 3)
    pitch.add(kit.overlay("forbid_pitch_param", Rect(0, 0, *size), role="overlay-pitch"))
    return t


def _electric(rect):
    e = kit.frame("electric_panel", rect)
    e.add(kit.label("txt_electric_title", Rect(8, 4, 40, 22),
                    Text("电音", "title of the electronic voice bar"), role="section",
                    align=kit.LEFT))
    scale = e.add(kit.frame("electric_scale", Rect(52, 4, 100, 22), role="group"))
    for i, text in enumerate(["大调", "小调"]):
        scale.add(kit.radio(f"radio_{600018 + i * 1000}", Rect(i * 52, 0, 48, 22), text,
                            600018 + i * 1000, 1, "item"))
    e.add(kit.label("txt_electric_key", Rect(8, 32, 40, 22), "基调", role="caption",
                    align=kit.LEFT))
    keys = e.add(kit.frame("electric_key", Rect(52, 32, len(KEYS) * 40 - 4, 22), role="group"))
    for i, text in enumerate(KEYS):
        keys.add(kit.radio(f"radio_{600019 + i * 1000}", Rect(i * 40, 0, 36, 22), text,
                           600019 + i * 1000, 1, "item"))
    return e


def build(rect):
    pc = kit.frame("param_content", rect, role="column")
    w = rect.w
    mixer, nr_col = _mixer(Rect(0, 0, w, MIXER_H))
    eq = _equaliser(Rect(0, MIXER_H + GAP, w, EQ_H))
    rv = _reverb_pitch(Rect(0, eq.rect.bottom + GAP, w, REVERB_TAB_H))
    el_y = rv.rect.bottom + GAP
    assert rect.h - el_y >= 58, rect.h - el_y
    el = _electric(Rect(0, el_y, w, rect.h - el_y))
    for part in (mixer, eq, rv, el):
        pc.add(part)
    # Overlays last, so they lie above what they cover.
    nr = Rect(nr_col.x - 2, nr_col.y, nr_col.w + 4, nr_col.h)
    page = Rect(rv.rect.x + kit.PANE_BORDER, rv.rect.y + kit.TAB_BAR_H + kit.PANE_BORDER,
                rv.rect.w - 2 * kit.PANE_BORDER, rv.rect.h - kit.TAB_BAR_H - 2 * kit.PANE_BORDER)
    top = eq.rect.y
    for name, r in (("forbid_NoiseReductionLevel_param", nr),
                    ("forbid_eq_param", eq.rect),
                    ("forbid_eq_reverb_electric_param", Rect(0, top, w, el.rect.bottom - top)),
                    ("forbid_not_electric_param", Rect(0, top, w, rv.rect.bottom - top)),
                    ("forbid_reverb_electric_param", page),
                    ("forbid_electric_param", el.rect)):
        pc.add(kit.overlay(name, r))
    return pc
