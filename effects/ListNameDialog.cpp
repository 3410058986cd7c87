#include "ListNameDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"
#include "EffectLibrary.h"
#include "TipWindow.h"
#include "UiLoader.h"

namespace {
CListNameDialog::Responder g_responder;
constexpr int kTipMs = 2000;
}  // namespace

CListNameDialog::CListNameDialog(QWidget* owner, const QString& text, int maxLength)
    : QDialog(owner), m_maxLength(maxLength) {
    Build();
    m_field->setMaxLength(maxLength);
    m_field->setText(text);
    m_field->selectAll();
    m_field->setFocus();
}

// The layout "LAYOUT:XML_INPUTDLG" when the resources have it; else the same controls.
void CListNameDialog::Build() {
    setWindowTitle(QObject::tr("请输入列表名称"));
    QWidget* content = LoadLayout("LAYOUT:XML_INPUTDLG", this);
    if (content && FindControlAs<QLineEdit>(content, "txt_input")) {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(content);
    } else {
        delete content;
        content = this;
        auto* layout = new QVBoxLayout(this);
        auto* title = new QLabel(this);
        title->setObjectName("txt_title");
        auto* field = new QLineEdit(this);
        field->setObjectName("txt_input");
        auto* buttons = new QHBoxLayout;
        auto* ok = new QPushButton(QObject::tr("确定"), this);
        ok->setObjectName("btnOK");
        ok->setProperty(kControlIdProperty, 1);
        ok->setDefault(true);
        auto* cancel = new QPushButton(QObject::tr("取消"), this);
        cancel->setObjectName("btnCancel");
        buttons->addStretch();
        buttons->addWidget(ok);
        buttons->addWidget(cancel);
        layout->addWidget(title);
        layout->addWidget(field);
        layout->addLayout(buttons);
    }
    if (auto* title = FindControlAs<QLabel>(content, "txt_title"))
        title->setText(QObject::tr("请输入列表名称"));
    m_field = FindControlAs<QLineEdit>(content, "txt_input");
    if (auto* ok = FindControlAs<QAbstractButton>(content, "btnOK"))
        connect(ok, &QAbstractButton::clicked, this, [this] { OnOk(); });
    for (const char* name : {"btnCancel", "btn_close"})
        if (auto* button = FindControlAs<QAbstractButton>(content, name))
            connect(button, &QAbstractButton::clicked, this, &QDialog::reject);
}

void CListNameDialog::OnOk() {
    std::u16string name = m_field->text().toStdU16String();
    QString tip;
    QPoint offset(50, 15);
    switch (CheckListName(name, m_maxLength)) {
        case NameCheck::kOk:
            m_name = QString::fromStdU16String(name);
            accept();
            return;
        case NameCheck::kEmpty:
            tip = QObject::tr("输入文本不能为空！");
            break;
        case NameCheck::kTooLong:
            tip = QObject::tr("输入的字符个数大于%1！").arg(m_maxLength);
            break;
        case NameCheck::kForbiddenChar:
            tip = QObject::tr("不能包含字符“%1”").arg(QString::fromUtf16(kForbiddenNameChars));
            offset = QPoint(25, 15);
            break;
    }
    CTipWindow::ShowAt(m_field->mapToGlobal(offset), tip, kTipMs);
    m_field->setFocus();
}

std::optional<QString> CListNameDialog::Ask(QWidget* owner, const QString& text, int maxLength) {
    if (g_responder) return g_responder(text, maxLength);
    CListNameDialog dialog(owner, text, maxLength);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Name();
}

void CListNameDialog::SetResponder(Responder responder) {
    g_responder = std::move(responder);
}
