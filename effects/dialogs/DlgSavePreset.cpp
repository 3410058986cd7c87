#include "DlgSavePreset.h"

#include <QComboBox>
#include <QLabel>

#include "Controls.h"
#include "ParamTable.h"
#include "WorkSpace.h"

namespace {
constexpr int kUserPresetSlots = 4;

// The names of the groups that have presets, for the translation tools.
[[maybe_unused]] constexpr const char* kGroupNames[] = {QT_TRANSLATE_NOOP("QObject", "均衡"),
                                                        QT_TRANSLATE_NOOP("QObject", "混响"),
                                                        QT_TRANSLATE_NOOP("QObject", "变声")};

QString GroupName(int group) {
    const auto& groups = lw52::ParamGroups();
    if (group < 0 || group >= static_cast<int>(groups.size())) return QString();
    return QObject::tr(groups[static_cast<size_t>(group)].name);
}
}  // namespace

CDlgSavePreset::CDlgSavePreset(CWorkSpace& workspace, int group, QWidget* parent)
    : CNameDialog("DlgSavePreset", "LAYOUT:XML_SAVEPRESET", parent),
      m_workspace(workspace),
      m_group(group) {
    if (auto* title = FindControlAs<QLabel>(Content(), "txt_title"))
        title->setText(QObject::tr("保存预设-%1").arg(GroupName(group)));
    m_location = FindControlAs<QComboBox>(Content(), "combo_save_to");
    if (!m_location) return;
    for (int i = 1; i <= kUserPresetSlots; ++i) m_location->addItem(QObject::tr("自定义%1").arg(i));
    m_location->setCurrentIndex(-1);  // the user has to choose
}

void CDlgSavePreset::SelectLocation(int slot) {
    if (m_location) m_location->setCurrentIndex(slot);
}

void CDlgSavePreset::OnOK() {
    const int slot = m_location ? m_location->currentIndex() : -1;
    if (slot < 0) return Refuse(QObject::tr("请选择预设的保存位置！"));
    const QString name = TrimmedName();
    if (name.isEmpty()) return Refuse(QObject::tr("预设名称不能为空！"));
    if (!m_workspace.SaveCustomPreset(name.toStdString(), m_group, slot))
        return Refuse(QObject::tr("保存失败！"));
    m_savedSlot = slot;
    done(kEndOk);
}
