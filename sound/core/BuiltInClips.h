#pragma once

#include <array>
#include <string_view>

// The clips that come with the program, in the order of the local tab: the pad's text and the
// name of the MP3 resource. A built-in clip is a sound entry of kind 0 with the text as its
// name and the resource name as its path.
struct BuiltInClip {
    std::u16string_view text;
    std::string_view resource;
};

inline constexpr std::array<BuiltInClip, 18> kBuiltInClips = {{
    {u"非诚勿扰", "DJ_FCWR"},
    {u"鄙视", "DJ_BS"},
    {u"欢呼", "DJ_HH"},
    {u"掌声", "DJ_ZS"},
    {u"大哄笑", "DJ_DHX"},
    {u"小哄笑", "DJ_XHX"},
    {u"打耳光", "DJ_DEG"},
    {u"么么哒", "DJ_QZ"},
    {u"乌鸦", "DJ_WY"},
    {u"点关注", "DJ_DGZ"},
    {u"欢迎大哥", "DJ_HYDG"},
    {u"来了老弟", "DJ_LLLD"},
    {u"666", "DJ_LH"},
    {u"贼拉拉", "DJ_ZLL"},
    {u"打他", "DJ_DT"},
    {u"胜利", "DJ_SL"},
    {u"打的不错", "DJ_DDBC"},
    {u"救命", "DJ_JM"},
}};
