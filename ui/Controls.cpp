#include "Controls.h"

int ControlId(const QObject* control) {
    if (!control) return 0;
    const QVariant id = control->property(kControlIdProperty);
    return id.isValid() ? id.toInt() : 0;
}

QWidget* FindControl(QWidget* root, const QString& name) {
    if (!root) return nullptr;
    if (root->objectName() == name) return root;
    return root->findChild<QWidget*>(name);
}

QWidget* FindControlById(QWidget* root, int id) {
    if (!root || id == 0) return nullptr;
    if (ControlId(root) == id) return root;
    for (QWidget* child : root->findChildren<QWidget*>())
        if (ControlId(child) == id) return child;
    return nullptr;
}

const QStringList& NamedControlTable() {
    static const QStringList names = {
        "Oneclick_soundTrack",
        "_name_start",
        "ani_fetch_cloud_eff",
        "ani_fetch_cloud_sound",
        "btnCancel",
        "btnOK",
        "btnSwitch",
        "btn_close",
        "btn_cloud_retry",
        "btn_cloud_sound_retry",
        "btn_menu",
        "btn_min",
        "btn_record",
        "btn_record_playback",
        "btn_record_save",
        "btn_retry",
        "btn_sound_stop",
        "btn_upgrade",
        "btn_volume",
        "button1st",
        "button2nd",
        "button3rd",
        "channel_volume",
        "chk_hotkey_switch",
        "combo_save_to",
        "combo_save_type",
        "container_record",
        "container_sound",
        "download_progress",
        "edit_name",
        "eq_curve",
        "forbid_NoiseReductionLevel_param",
        "forbid_device_conn_status",
        "forbid_electric_param",
        "forbid_eq_param",
        "forbid_eq_reverb_electric_param",
        "forbid_not_electric_param",
        "forbid_operation",
        "forbid_pitch_param",
        "forbid_reverb_electric_param",
        "loading",
        "mood_effect",
        "msgicon",
        "msgtext",
        "msgtitle",
        "param_content",
        "progress",
        "progress_eff_download",
        "progress_sound_play",
        "record_display_wnd",
        "reverb_scrollview",
        "scrollview_sound_common",
        "scrollview_sound_download",
        "scrollview_sound_local",
        "send_progress",
        "setVolume_Wnd",
        "slider_play_progress",
        "slider_sound_volume",
        "tab_reverb_pitch",
        "tab_sound",
        "tgl_switch",
        "trctl_cloud_effectt",
        "trctl_kx_eff_list",
        "txt_app_title",
        "txt_currentaction",
        "txt_dev_status",
        "txt_eff_title",
        "txt_hotkey_input",
        "txt_info",
        "txt_input",
        "txt_iterm_name",
        "txt_msg",
        "txt_play_time",
        "txt_record_time",
        "txt_sound_play_time",
        "txt_sound_volume",
        "txt_tip",
        "txt_title",
        "waitting_tip",
        "wnd_cloud_eff_refresh",
    };
    return names;
}
