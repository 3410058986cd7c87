#include "NameDialog.h"

#include <QLineEdit>
#include <QMouseEvent>
#include <QVBoxLayout>

#include "ControlEvents.h"
#include "Controls.h"
#include "MessageBox.h"
#include "UiLoader.h"

namespace {
constexpr int kCaptionHeight = 32;  // the caption strip the layouts draw

bool IsNameSpace(QChar c) {
    return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}
}  // namespace

CNameDialog::CNameDialog(const QString& className, const QString& layoutName, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint) {
    setObjectName(className);
    setModal(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    m_content = LoadLayout(layoutName, this);
    if (!m_content) return;  // the layouts are compiled in; only a broken build lands here
    layout->addWidget(m_content);
    setFixedSize(m_content->size());
    setWindowTitle(m_content->windowTitle());
    m_name = FindControlAs<QLineEdit>(m_content, "edit_name");
    ConnectControlEvents(m_content, [this](const ControlEvent& event) {
        if (event.code != kEventCommand) return;
        if (event.name == "btnOK" || event.id == kEndOk)
            OnOK();
        else if (event.name == "btnCancel" || event.name == "btn_close" || event.id == kEndCancel)
            done(kEndCancel);
    });
}

bool CNameDialog::PressOK() {
    OnOK();
    return result() == kEndOk;
}

void CNameDialog::SetName(const QString& text) {
    if (m_name) m_name->setText(text);
}

QString CNameDialog::TrimName(const QString& text) {
    qsizetype first = 0;
    qsizetype end = text.size();
    while (first < end && IsNameSpace(text[first])) ++first;
    while (end > first && IsNameSpace(text[end - 1])) --end;
    return text.mid(first, end - first);
}

QString CNameDialog::TrimmedName() const {
    return m_name ? TrimName(m_name->text()) : QString();
}

void CNameDialog::Refuse(const QString& text) {
    msgbox::Show(this, text, QObject::tr("提示"), msgbox::kOk);
}

// Without a window frame the caption strip moves the dialog.
void CNameDialog::mousePressEvent(QMouseEvent* event) {
    m_dragging = event->button() == Qt::LeftButton && event->position().y() < kCaptionHeight;
    if (m_dragging) m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
    QDialog::mousePressEvent(event);
}

void CNameDialog::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton))
        move(event->globalPosition().toPoint() - m_dragOffset);
    QDialog::mouseMoveEvent(event);
}
