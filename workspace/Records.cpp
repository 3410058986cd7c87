#include "Records.h"

#include "TextUtil.h"

namespace lw52 {

std::string RecordName(const EffectRecord& record) {
    return text::Utf16ToUtf8(text::FieldToString(record.name, 64));
}

std::string RecordPath(const EffectRecord& record) {
    return text::Utf16ToUtf8(text::FieldToString(record.path, 260));
}

void SetRecordName(EffectRecord& record, const std::string& utf8) {
    text::CopyToField(record.name, 64, text::Utf8ToUtf16(utf8));
}

void SetRecordPath(EffectRecord& record, const std::string& utf8) {
    text::CopyToField(record.path, 260, text::Utf8ToUtf16(utf8));
}

std::string PresetName(const PresetRecord& record) {
    return text::Utf16ToUtf8(text::FieldToString(record.name, 16));
}

}  // namespace lw52
