#include "Builtins.h"

#include <cstring>
#include <initializer_list>
#include <utility>

#include "ParamTable.h"
#include "TextUtil.h"

namespace lw52 {
namespace {

constexpr int kEffect0[kParamCount] = {6,   6,   6,   70,  0,   0,   0,   0,   0,   0,   0,
                                       0,   0,   100, 100, 142, 120, 120, 135, 120, 100, 120,
                                       120, 120, 120, 0,   57,  0,   153, 0,   100, 125, 0,
                                       1,   0,   0,   60,  21,  10,  70,  58,  16,  72,  58};

struct EffectDiff {
    const char* name;
    std::initializer_list<std::pair<int, int>> changes;
};

const EffectDiff kEffects[kBuiltinEffectCount] = {
    {"聊天", {}},
    {"K歌", {{4, 1}, {35, 1}, {36, 55}, {37, 7}, {38, 20}, {40, 62}, {42, 46}}},
    {"喊麦",
     {{4, 2},
      {13, 180},
      {14, 130},
      {15, 120},
      {16, 170},
      {19, 57},
      {20, 71},
      {21, 62},
      {35, 1},
      {36, 70},
      {37, 31},
      {38, 30},
      {39, 40},
      {40, 80},
      {41, 12},
      {42, 18}}},
    {"男变女", {{4, 3}, {29, 1}, {31, 210}}},
    {"女变男", {{4, 4}, {13, 95}, {29, 1}, {31, 50}}},
    {"电话音",
     {{4, 5}, {15, 120}, {18, 120}, {19, 130}, {20, 159}, {21, 188}, {22, 177}, {23, 110}}},
    {"娃娃音", {{4, 6}, {29, 1}, {31, 250}}},
    {"电音",
     {{4, 7},
      {14, 125},
      {32, 1},
      {34, 5},
      {35, 1},
      {36, 55},
      {37, 0},
      {38, 49},
      {39, 83},
      {40, 64},
      {41, 18},
      {42, 5}}},
    {"听湿录干", {{2, 70}, {4, 8}, {35, 1}}},
    {"自定义1",
     {{4, 9},
      {13, 95},
      {14, 130},
      {15, 120},
      {18, 103},
      {20, 120},
      {21, 155},
      {35, 1},
      {36, 75},
      {37, 0},
      {38, 20},
      {39, 67},
      {40, 54},
      {41, 22},
      {42, 130}}},
    {"自定义2",
     {{4, 10},
      {14, 140},
      {15, 136},
      {35, 1},
      {36, 55},
      {37, 0},
      {38, 20},
      {39, 79},
      {40, 63},
      {41, 17},
      {42, 50}}},
    {"自定义3",
     {{4, 11},
      {13, 50},
      {14, 110},
      {15, 98},
      {16, 158},
      {17, 127},
      {18, 120},
      {20, 120},
      {21, 80},
      {35, 1},
      {36, 65},
      {37, 3},
      {38, 20},
      {39, 88},
      {40, 73},
      {41, 17},
      {42, 5}}},
};

struct PresetRow {
    const char* name;
    std::initializer_list<int> values;
};

PresetRecord MakePreset(const PresetRow& row) {
    PresetRecord record;
    memset(&record, 0, sizeof record);
    text::CopyToField(record.name, 16, text::Utf8ToUtf16(row.name));
    int i = 0;
    for (int v : row.values) record.values[i++] = v;
    record.count = i;
    return record;
}

std::vector<PresetRecord> MakeList(std::initializer_list<PresetRow> rows) {
    std::vector<PresetRecord> list;
    for (const auto& row : rows) list.push_back(MakePreset(row));
    return list;
}

}  // namespace

EffectRecord BuiltinEffect(int index) {
    EffectRecord record;
    memset(&record, 0, sizeof record);
    if (index < 0 || index >= kBuiltinEffectCount) return record;
    for (int id = 0; id < kParamCount; ++id) record.values[id] = kEffect0[id];
    for (const auto& [id, value] : kEffects[index].changes) record.values[id] = value;
    SetRecordName(record, kEffects[index].name);
    return record;
}

const std::vector<PresetRecord>& BuiltinPresets(int group) {
    static const std::vector<PresetRecord> lists[4] = {
        MakeList({{"恢复默认", {6, 6, 65}}}),
        MakeList({
            {"恢复默认", {120, 120, 120, 120, 120, 120, 120, 120, 120, 120}},
            {"明亮", {63, 110, 103, 108, 106, 135, 124, 156, 137, 83}},
            {"磁性", {75, 133, 127, 129, 87, 141, 128, 112, 197, 122}},
            {"温暖", {68, 115, 143, 112, 105, 129, 109, 99, 110, 70}},
            {"大众", {63, 110, 107, 126, 135, 159, 134, 118, 104, 98}},
            {"动圈麦", {90, 120, 110, 80, 140, 150, 130, 120, 100, 100}},
            {"动圈麦2", {110, 120, 110, 140, 170, 200, 230, 210, 150, 140}},
        }),
        MakeList({
            {"恢复默认", {1, 9, 99, 6, 7}},
            {"专业歌手", {1, 70, 100, 17, 39}},
            {"业余歌手", {1, 100, 65, 26, 7}},
            {"现场表演", {1, 100, 50, 26, 65}},
            {"说唱表演", {1, 61, 93, 19, 0}},
            {"歌手1", {1, 23, 46, 17, 33}},
            {"歌手2", {1, 44, 85, 17, 62}},
            {"歌手3", {1, 44, 85, 13, 38}},
        }),
        MakeList({
            {"恢复默认", {1, 0, 12}},
            {"娃娃音", {1, 100, 248}},
            {"魔兽音", {1, 100, 9}},
            {"男变女", {1, 100, 195}},
            {"女变男", {1, 100, 43}},
        }),
    };
    static const std::vector<PresetRecord> none;
    return group >= 0 && group < 4 ? lists[group] : none;
}

int BuiltinPresetCount(int group) {
    return static_cast<int>(BuiltinPresets(group).size());
}

}  // namespace lw52
