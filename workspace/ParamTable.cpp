#include "ParamTable.h"

namespace lw52 {

namespace {
constexpr const char* kScaleItems = "大调[#]小调";
constexpr const char* kKeyItems = "C[#]Db[#]D[#]Eb[#]E[#]F[#]Gb[#]G[#]Ab[#]A[#]Bb[#]B";

// id, name, type, min, max, step, offset, format, items, initial, effect, refresh
constexpr ParamInfo Row(int32_t id, const char* name, int32_t type, int32_t min, int32_t max,
                        float step, int32_t offset, const char* format, int32_t initial,
                        int32_t effect, int32_t refresh, const char* items = "") {
    return ParamInfo{id, name,    type,   min,     max, step, format, items,
                     0,  initial, effect, refresh, 1,   0,    offset};
}
}  // namespace

const std::array<ParamInfo, kParamCount>& ParamTable() {
    static const std::array<ParamInfo, kParamCount> table = {
        Row(0, "话筒音量", kParamRange, 0, 9, 1, 0, "%d", 6, 0, 1),
        Row(1, "外接伴奏音量", kParamRange, 0, 9, 1, 0, "%d", 6, 0, 1),
        Row(2, "电脑伴奏音量", kParamRange, 0, 9, 1, 0, "%d", 6, 0, 1),
        Row(3, "降噪等级", kParamRange, 0, 87, 1, -90, "%d", 70, 0, 1),
        Row(4, "音效编号", kParamEffectNumber, 0, 22, 1, 0, "%d", 1, 1, 0),
        Row(5, "话筒静音", kParamSwitch, 0, 1, 1, 0, "%d", 0, 0, 1),
        Row(6, "话筒+10dB", kParamSwitch, 0, 1, 1, 0, "%d", 1, 0, 1),
        Row(7, "伴奏+10dB", kParamSwitch, 0, 1, 1, 0, "%d", 0, 0, 1),
        Row(8, "监听开关", kParamSwitch, 0, 1, 1, 0, "%d", 0, 0, 1),
        Row(9, "一键原声", kParamSwitch, 0, 1, 1, 0, "%d", 0, 0, 0),
        Row(10, "一键内放", kParamSwitch, 0, 1, 1, 0, "%d", 0, 0, 1),
        Row(11, "一键降噪", kParamSwitch, 0, 1, 1, 0, "%d", 0, 0, 1),
        Row(12, "消原声", kParamSwitch, 0, 1, 1, 0, "%d", 0, 0, 1),
        Row(13, "激励器_低音", kParamRange, 0, 200, 1, 0, "%d", 100, 0, 0),
        Row(14, "激励器_高音", kParamRange, 0, 200, 1, 0, "%d", 100, 0, 0),
        Row(15, "EQ_1", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(16, "EQ_2", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(17, "EQ_3", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(18, "EQ_4", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(19, "EQ_5", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(20, "EQ_6", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(21, "EQ_7", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(22, "EQ_8", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(23, "EQ_9", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(24, "EQ_10", kParamRange, 0, 240, 0.1f, -12, "%0.1f", 12, 1, 1),
        Row(25, "闪避开关", kParamSwitch, 0, 1, 1, 0, "%d", 60, 0, 1),
        Row(26, "动态处理器_阈值", kParamRange, 0, 100, 1, 0, "%d", 60, 0, 0),
        Row(27, "动态处理器_比率A压限", kParamRange, 0, 100, 1, 0, "%d", 60, 0, 0),
        Row(28, "动态处理器_释放", kParamRange, 0, 255, 1, 0, "%d", 120, 0, 0),
        Row(29, "变声开关", kParamSwitch, 0, 1, 1, 0, "%d", 1, 1, 0),
        Row(30, "变声音量", kParamRange, 0, 100, 1, 0, "%d", 0, 1, 1),
        Row(31, "变声等级", kParamRange, 0, 250, 1, -125, "%d", 125, 1, 1),
        Row(32, "电音开关", kParamSwitch, 0, 1, 1, 0, "%d", 1, 0, 0),
        Row(33, "音阶", kParamList, 0, 1, 1, 0, "%d", 0, 1, 1, kScaleItems),
        Row(34, "基调", kParamList, 0, 11, 1, 0, "%d", 0, 1, 1, kKeyItems),
        Row(35, "混响开关", kParamSwitch, 0, 1, 1, 0, "%d", 1, 1, 0),
        Row(36, "混响音量", kParamRange, 0, 100, 1, 0, "%d", 100, 1, 1),
        Row(37, "混响早期反射", kParamRange, 0, 100, 1, 0, "%d", 10, 0, 0),
        Row(38, "混响比例", kParamRange, 0, 100, 1, 0, "%d", 100, 1, 1),
        Row(39, "空间广度", kParamRange, 0, 100, 1, 0, "%d", 10, 0, 0),
        Row(40, "混响扩展程度", kParamRange, 0, 100, 1, 0, "%d", 100, 0, 0),
        Row(41, "混响时长", kParamRange, 0, 60, 100, 0, "%d", 15, 1, 1),
        Row(42, "混响预延迟量", kParamRange, 0, 160, 1, 0, "%d", 7, 1, 1),
        Row(43, "混响输出音量", kParamRange, 0, 100, 1, 0, "%d", 28, 0, 0),
    };
    return table;
}

const std::array<ParamGroup, kGroupCount>& ParamGroups() {
    static const std::array<ParamGroup, kGroupCount> groups = {{
        {"调音台", {0, 1, 3}},
        {"均衡", {15, 16, 17, 18, 19, 20, 21, 22, 23, 24}},
        {"混响", {35, 36, 38, 41, 42}},
        {"变声", {29, 30, 31}},
        {"电音", {32, 33, 34}},
    }};
    return groups;
}

}  // namespace lw52
