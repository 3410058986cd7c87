#include "ParamControlBinder.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QLabel>
#include <QStringList>

#include "Controls.h"
#include "ParamTable.h"
#include "WorkSpace.h"

namespace {
// The list items of the parameter table that are words (the scale); note names are not
// translated. For the translation tools.
[[maybe_unused]] constexpr const char* kListWords[] = {QT_TRANSLATE_NOOP("QObject", "大调"),
                                                       QT_TRANSLATE_NOOP("QObject", "小调")};

// A list item's control id carries its item index: 603019 is item 3 of parameter 34.
int ItemIndexOf(int controlId) {
    return (controlId / 1000) % 100;
}
int ItemControlId(int anyItemId, int index) {
    return (anyItemId / 100000) * 100000 + index * 1000 + anyItemId % 100;
}

double DisplayedOf(const ParamBinding& binding, int raw) {
    return lw52::DisplayValueOf(binding.rule, raw);
}

// The effects page's range controls and their value texts: (param, control, text).
struct RangeRow {
    int param;
    int control;
    int text;
};
constexpr RangeRow kRangeRows[] = {
    {0, 8000, 6000},  {1, 8001, 6001},  {2, 8002, 6002},  {3, 8009, 6009},  {30, 8016, 6016},
    {31, 8017, 6017}, {36, 8023, 6023}, {38, 8022, 6022}, {41, 8020, 6020}, {42, 8038, 6038},
};
constexpr int kMicMuteBox = 7007;

struct SwitchRow {
    int param;
    int control;
};
constexpr SwitchRow kSwitchRows[] = {
    {5, kMicMuteBox}, {6, 7000}, {7, 7001}, {25, 7002}, {10, 7004}, {11, 7005}, {12, 7006},
};
constexpr int kEqSliderFirst = 2025;
constexpr int kEqTextFirst = 6025;
constexpr int kScaleItemFirst = 600018;
constexpr int kKeyItemFirst = 600019;
}  // namespace

CParamControlBinder::CParamControlBinder(CWorkSpace& workspace, QWidget* root)
    : m_workspace(workspace), m_root(root) {
    m_workspace.SetBinder(this);
}

CParamControlBinder::~CParamControlBinder() {
    m_workspace.SetBinder(nullptr);
}

bool CParamControlBinder::Bind(int paramId, int kind, int controlId, int linkedId, int extraId) {
    if (paramId < 0 || paramId >= lw52::kParamCount) return false;
    const lw52::ParamInfo& info = lw52::Param(paramId);
    ParamBinding binding;
    binding.controlId = controlId;
    binding.paramId = paramId;
    binding.kind = kind == -1 ? info.type : kind;
    binding.initial = info.initial;
    binding.rule = lw52::RuleOf(info);
    binding.items = info.items ? info.items : "";
    binding.linkedId = linkedId;
    binding.extraId = extraId;
    binding.control = FindControlById(m_root, controlId);

    ParamBinding& stored = m_bindings[controlId] = binding;
    m_controlOfParam[paramId] = controlId;
    InitControl(stored);
    return stored.control != nullptr;
}

void CParamControlBinder::RegisterDefaultBindings() {
    for (const RangeRow& row : kRangeRows) {
        Bind(row.param, -1, row.control, row.text, row.control == 8000 ? kMicMuteBox : 0);
        Bind(row.param, ParamBinding::kText, row.text, row.control, 0);
    }
    for (int band = 0; band < 10; ++band) {
        const int param = lw52::kParamEqFirst + band;
        Bind(param, -1, kEqSliderFirst + band, kEqTextFirst + band, 0);
        Bind(param, ParamBinding::kText, kEqTextFirst + band, kEqSliderFirst + band, 0);
    }
    for (const SwitchRow& row : kSwitchRows) Bind(row.param, -1, row.control, 0, 0);
    for (int item = 0; item < 2; ++item)
        Bind(lw52::kParamScale, -1, ItemControlId(kScaleItemFirst, item), 0, 0);
    for (int item = 0; item < 12; ++item)
        Bind(lw52::kParamKey, -1, ItemControlId(kKeyItemFirst, item), 0, 0);
}

const ParamBinding* CParamControlBinder::BindingOf(int controlId) const {
    const auto it = m_bindings.find(controlId);
    return it == m_bindings.end() ? nullptr : &it->second;
}

lw52::FormattedValue CParamControlBinder::FormatValue(double displayed,
                                                      const ParamBinding& binding) {
    return lw52::FormatValue(binding.rule, displayed);
}

void CParamControlBinder::InitControl(ParamBinding& binding) {
    QWidget* control = binding.control;
    if (!control) return;
    m_initialising = true;
    switch (binding.kind) {
        case ParamBinding::kRange:
            if (auto* range = qobject_cast<QAbstractSlider*>(control)) {
                range->setRange(binding.rule.min, binding.rule.max);
                range->setValue(binding.initial);
            }
            break;
        case ParamBinding::kSwitch:
            if (auto* box = qobject_cast<QAbstractButton*>(control))
                box->setChecked(binding.initial != 0);
            break;
        case ParamBinding::kListItem:
            if (auto* item = qobject_cast<QAbstractButton*>(control)) {
                const QStringList items =
                    QString::fromUtf8(binding.items).split(QStringLiteral("[#]"));
                const int index = ItemIndexOf(binding.controlId);
                if (index < items.size())
                    item->setText(QObject::tr(items[index].toUtf8().constData()));
                if (index == binding.initial) item->setChecked(true);
            }
            break;
        case ParamBinding::kText:
            if (auto* label = qobject_cast<QLabel*>(control))
                label->setText(QString::fromStdString(
                    FormatValue(DisplayedOf(binding, binding.initial), binding).text));
            break;
        default:
            break;
    }
    m_initialising = false;
}

QWidget* CParamControlBinder::ListItemControl(const ParamBinding& anyItem, int index) const {
    const int id = ItemControlId(anyItem.controlId, index);
    if (const ParamBinding* item = BindingOf(id)) return item->control;
    return FindControlById(m_root, id);
}

void CParamControlBinder::ApplyToControl(const ParamBinding& binding, int raw,
                                         const QString& text) {
    switch (binding.kind) {
        case ParamBinding::kRange:
            if (auto* range = qobject_cast<QAbstractSlider*>(binding.control.data()))
                range->setValue(raw);
            break;
        case ParamBinding::kSwitch:
            if (auto* box = qobject_cast<QAbstractButton*>(binding.control.data()))
                box->setChecked(raw != 0);
            break;
        case ParamBinding::kListItem:
            if (auto* item = qobject_cast<QAbstractButton*>(ListItemControl(binding, raw)))
                item->setChecked(true);
            break;
        case ParamBinding::kText:
            if (auto* label = qobject_cast<QLabel*>(binding.control.data())) label->setText(text);
            break;
        default:
            break;
    }
}

void CParamControlBinder::SetControlValue(int paramId, int value) {
    const auto recorded = m_controlOfParam.find(paramId);
    if (recorded == m_controlOfParam.end()) return;
    const ParamBinding* binding = BindingOf(recorded->second);
    if (!binding) return;
    const lw52::FormattedValue shown = FormatValue(DisplayedOf(*binding, value), *binding);
    const QString text = QString::fromStdString(shown.text);
    ApplyToControl(*binding, shown.raw, text);
    if (binding->linkedId == 0) return;
    if (const ParamBinding* partner = BindingOf(binding->linkedId))
        ApplyToControl(*partner, shown.raw, text);
}

bool CParamControlBinder::HandleControlEvent(const ControlEvent& event) {
    if (m_initialising || event.id == 0) return false;
    const ParamBinding* binding = BindingOf(event.id);
    if (!binding) return false;

    int value = 0;
    switch (binding->kind) {
        case ParamBinding::kSwitch: {
            if (event.code != kEventCommand) return false;
            const auto* box = qobject_cast<QAbstractButton*>(binding->control.data());
            value = (box ? box->isChecked() : event.value != 0) ? 1 : 0;
            break;
        }
        case ParamBinding::kListItem:
            if (event.code != kEventCommand) return false;
            value = ItemIndexOf(binding->controlId);
            break;
        case ParamBinding::kRange:
            if (event.code != kEventSliderPos) return false;
            value = event.value;
            break;
        default:
            return false;
    }

    m_workspace.SetParamFromControl(binding->paramId, value);

    const ParamBinding* partner = binding->linkedId ? BindingOf(binding->linkedId) : nullptr;
    if (!partner) return true;
    QString text;
    if (binding->kind != ParamBinding::kText && partner->kind == ParamBinding::kText)
        text = QString::fromStdString(FormatValue(DisplayedOf(*binding, value), *partner).text);
    // The text still shows the old value here: a real change of the microphone volume lifts
    // the mute (the workspace clears parameter 5 itself; only the box is ours to update).
    if (binding->kind == ParamBinding::kRange && binding->extraId != 0) {
        const auto* label = qobject_cast<const QLabel*>(partner->control.data());
        const int shownValue = label ? label->text().toInt() : 0;
        if (shownValue != value) {
            const ParamBinding* extra = BindingOf(binding->extraId);
            QWidget* extraControl =
                extra ? extra->control.data() : FindControlById(m_root, binding->extraId);
            if (auto* box = qobject_cast<QAbstractButton*>(extraControl); box && box->isChecked())
                box->setChecked(false);
        }
    }
    ApplyToControl(*partner, value, text);
    return true;
}
