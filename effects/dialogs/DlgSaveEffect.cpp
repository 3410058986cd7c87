#include "DlgSaveEffect.h"

#include <QComboBox>
#include <QSignalBlocker>

#include "Controls.h"
#include "WorkSpace.h"

namespace {
constexpr int kTypeCard = 0;
constexpr int kTypeUser = 1;
constexpr int kCardSlots = 3;
constexpr int kUserSlots = 12;
constexpr int kFirstCardSlotButton = 10009;
constexpr int kFirstUserSlotButton = 10012;
}  // namespace

CDlgSaveEffect::CDlgSaveEffect(CWorkSpace& workspace, QWidget* parent)
    : CNameDialog("DlgSaveEffect", "LAYOUT:XML_SAVEEFFECT", parent), m_workspace(workspace) {
    m_type = FindControlAs<QComboBox>(Content(), "combo_save_type");
    m_location = FindControlAs<QComboBox>(Content(), "combo_save_to");
    if (!m_type || !m_location) return;
    {
        const QSignalBlocker blocker(m_type);
        m_type->addItems({QObject::tr("设备音效"), QObject::tr("我的音效")});
        m_type->setCurrentIndex(-1);
    }
    connect(m_type, &QComboBox::currentIndexChanged, this, &CDlgSaveEffect::FillLocations);
    SelectType(kTypeCard);
    SelectLocation(0);
}

void CDlgSaveEffect::SelectType(int type) {
    if (m_type) m_type->setCurrentIndex(type);
}

void CDlgSaveEffect::SelectLocation(int location) {
    if (m_location) m_location->setCurrentIndex(location);
}

int CDlgSaveEffect::SavedButtonId() const {
    if (m_savedSlot < 0) return -1;
    return (m_savedType == kTypeCard ? kFirstCardSlotButton : kFirstUserSlotButton) + m_savedSlot;
}

void CDlgSaveEffect::FillLocations(int type) {
    m_location->clear();
    QStringList texts;
    if (type == kTypeCard) {
        for (int i = 1; i <= kCardSlots; ++i) texts << QObject::tr("设备自定义%1").arg(i);
    } else if (type == kTypeUser) {
        // The user's effects follow the card's three on the effects page.
        for (int i = 0; i < kUserSlots; ++i)
            texts << QObject::tr("自定义%1").arg(kCardSlots + 1 + i);
    }
    m_location->addItems(texts);
    // Filling an empty list selects its first entry; the user has to choose.
    m_location->setCurrentIndex(-1);
}

void CDlgSaveEffect::OnOK() {
    const int type = m_type ? m_type->currentIndex() : -1;
    const int slot = m_location ? m_location->currentIndex() : -1;
    if (type < 0) return Refuse(QObject::tr("请选择保存类型！"));
    if (slot < 0) return Refuse(QObject::tr("请选择保存位置！"));
    const QString name = TrimmedName();
    if (name.isEmpty()) return Refuse(QObject::tr("音效名称不能为空！"));
    if (!m_workspace.IsConnected()) return Refuse(QObject::tr("您未连接设备，请先连接设备！"));
    if (!m_workspace.SaveEffectToSlot(type, slot, name.toStdString()))
        return Refuse(QObject::tr("保存失败！"));
    m_savedType = type;
    m_savedSlot = slot;
    done(kEndOk);
}
