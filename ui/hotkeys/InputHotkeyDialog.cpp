#include "InputHotkeyDialog.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "Controls.h"
#include "HotkeyField.h"
#include "UiLoader.h"

namespace {
constexpr int kWidth = 320;
constexpr int kHeight = 150;

QPushButton* Button(QWidget* parent, const char* name, const QString& text, int id) {
    auto* button = new QPushButton(text, parent);
    button->setObjectName(name);
    if (id != 0) button->setProperty(kControlIdProperty, id);
    return button;
}

// The same controls the layout carries, for when it is not among the resources.
QWidget* BuiltContent(QWidget* parent) {
    auto* content = new QWidget(parent);
    content->resize(kWidth, kHeight);
    auto* title = new QLabel(QObject::tr("请输入热键"), content);
    title->setObjectName("txt_title");
    auto* close = Button(content, "btn_close", QStringLiteral("×"), 0);
    close->setFlat(true);
    auto* input = new QLineEdit(content);
    input->setObjectName("txt_hotkey_input");
    auto* ok = Button(content, "btnOK", QObject::tr("确定"), SInputHotKeyDlg::kCommandOk);
    auto* cancel = Button(content, "btnCancel", QObject::tr("取消"), 0);

    auto* top = new QHBoxLayout;
    top->addWidget(title, 1);
    top->addWidget(close);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    auto* layout = new QVBoxLayout(content);
    layout->addLayout(top);
    layout->addWidget(input);
    layout->addLayout(buttons);
    return content;
}
}  // namespace

SInputHotKeyDlg::SInputHotKeyDlg(const QString& layoutName, uint32_t currentHotkey,
                                 const QString& title, QWidget* parent)
    : QDialog(parent, Qt::Tool | Qt::FramelessWindowHint) {
    setObjectName("dlginputhotkey");
    setAttribute(Qt::WA_InputMethodEnabled, false);
    QWidget* content = BuildContent(layoutName);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(content);
    setFixedSize(content->size());

    if (!title.isEmpty())
        if (auto* label = FindControlAs<QLabel>(content, "txt_title")) label->setText(title);
    if (auto* input = FindControlAs<QLineEdit>(content, "txt_hotkey_input")) {
        field_ = new CHotkeyField(input);
        field_->SetValue(currentHotkey);
        input->setFocus();
    }
    hotkey_ = currentHotkey;

    // The buttons by name, and any control carrying the command ids 1 (OK) and 2 (cancel).
    for (QPushButton* button : content->findChildren<QPushButton*>()) {
        const QString name = button->objectName();
        const int id = ControlId(button);
        button->setAutoDefault(false);
        if (name == "btnOK" || id == kCommandOk) {
            button->setDefault(true);
            connect(button, &QPushButton::clicked, this, &SInputHotKeyDlg::OnOk);
        } else if (name == "btnCancel" || name == "btn_close" || id == kCommandCancel) {
            connect(button, &QPushButton::clicked, this, &QDialog::reject);
        }
    }
}

QWidget* SInputHotKeyDlg::BuildContent(const QString& layoutName) {
    if (!LayoutPath(layoutName).isEmpty())
        if (QWidget* loaded = LoadLayout(layoutName, this)) return loaded;
    return BuiltContent(this);
}

std::function<QString(int)> SInputHotKeyDlg::desktopStatus;

void SInputHotKeyDlg::SetHotkeyId(int id) {
    const QString text = desktopStatus ? desktopStatus(id) : QString();
    if (text.isEmpty()) return;
    if (!status_) {
        status_ = new QLabel(this);
        status_->setObjectName("txt_desktop_status");
        status_->setWordWrap(true);
        status_->setContentsMargins(10, 0, 10, 6);
        layout()->addWidget(status_);
        setFixedSize(width(), height() + 36);
    }
    status_->setText(text);
}

QString SInputHotKeyDlg::DesktopStatusText() const {
    return status_ ? status_->text() : QString();
}

void SInputHotKeyDlg::OnOk() {
    hotkey_ = field_ ? field_->Value() : 0;
    hotkeyText_ = CHotkeyField::TextFor(hotkey_);
    done(kCommandOk);
}
