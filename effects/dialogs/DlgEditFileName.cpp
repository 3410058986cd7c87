#include "DlgEditFileName.h"

CDlgEditFileName::CDlgEditFileName(const QString& name, QWidget* parent)
    : CNameDialog("DlgEditFileName", "LAYOUT:XML_EDIT_ADDFILENAME", parent), m_name(name) {
    // A leading "-" is part of the name, not a separator.
    const qsizetype dash = m_name.indexOf(u'-');
    if (dash > 0) m_name.truncate(dash);
    SetName(m_name);
}

void CDlgEditFileName::OnOK() {
    const QString name = TrimmedName();
    if (name.isEmpty()) return Refuse(QObject::tr("特效名称不能为空！"));
    m_name = name.left(kMaxNameLength);
    done(kEndOk);
}
