#include "DiagnosisBar.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <algorithm>

#include "Doctor.h"
#include "NotifyCenter.h"
#include "UiEvents.h"

namespace {
// Across the window below its title strip, over the top of the pages.
constexpr int kLeft = 10;
constexpr int kTop = 52;
constexpr int kMaxProblems = 3;
}  // namespace

CDiagnosisBar::CDiagnosisBar(QWidget* parent, INotifyCenter& center, std::function<bool()> attached)
    : QFrame(parent), m_center(center), m_attached(std::move(attached)) {
    setObjectName("diagnosis_bar");
    setStyleSheet(
        "#diagnosis_bar { background: #4a3a22; border: 1px solid #c8923a; border-radius: 4px; }"
        "#diagnosis_bar QLabel { color: #f2e6d0; }"
        "#diagnosis_bar QToolButton { border: none; color: #f2e6d0; font-size: 11pt; }");
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 6, 6, 6);
    m_text = new QLabel(this);
    m_text->setObjectName("diagnosis_text");
    m_text->setWordWrap(true);
    m_text->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_text->setTextFormat(Qt::RichText);
    // The commands are there to be copied into a terminal.
    m_text->setTextInteractionFlags(Qt::TextSelectableByMouse);
    layout->addWidget(m_text, 1);
    m_close = new QToolButton(this);
    m_close->setObjectName("diagnosis_close");
    m_close->setText(QStringLiteral("✕"));
    layout->addWidget(m_close, 0, Qt::AlignTop);
    connect(m_close, &QToolButton::clicked, this, [this] {
        m_dismissed = m_text->text();
        hide();
    });
    hide();
    // A card arrived or left: a closed bar may speak again.
    m_subscription =
        m_center.Subscribe(EventDeviceChanged::kId, EventDeviceChanged::kName, [this](EventArgs&) {
            m_dismissed.clear();
            Refresh();
        });
}

CDiagnosisBar::~CDiagnosisBar() {
    if (m_subscription) m_center.Unsubscribe(m_subscription);
}

QString CDiagnosisBar::Text() const {
    return m_text->text();
}

void CDiagnosisBar::Refresh() {
    if (m_attached && m_attached()) {
        hide();
        return;
    }
    const doctor::DeviceReport report = doctor::CheckDevices(doctor::Environment::FromProcess());
    // No card at all is the ordinary state without a bar; a card that opens needs no words.
    if (report.cards == 0 || report.usable >= report.cards) {
        hide();
        return;
    }
    QString html = "<b>" + QObject::tr("声卡已接入，但本程序无法使用它") + "</b>";
    int shown = 0;
    for (const doctor::Finding& f : report.findings) {
        if (f.status != doctor::Status::kProblem || (f.id != "card" && f.id != "usb")) continue;
        if (++shown > kMaxProblems) break;
        html += "<br>" + QString::fromStdString(f.text).toHtmlEscaped();
        if (!f.fix.empty())
            html += "<br>" + QObject::tr("解决办法：") + "<code>" +
                    QString::fromStdString(f.fix).toHtmlEscaped() + "</code>";
    }
    if (shown == 0) {
        hide();
        return;
    }
    if (html == m_dismissed) return;
    Place(html);
}

void CDiagnosisBar::Place(const QString& html) {
    m_text->setText(html);
    // Measured with the theme's fonts, which polishing applies.
    ensurePolished();
    m_text->ensurePolished();
    QWidget* window = parentWidget();
    const int width = (window ? window->width() : 974) - 2 * kLeft;
    // As tall as the text wrapped at the width the layout gives it beside the close button.
    const QMargins margins = layout()->contentsMargins();
    auto heightAt = [&](int textWidth) {
        return margins.top() + margins.bottom() +
               std::max(m_text->heightForWidth(textWidth) + 2, m_close->sizeHint().height());
    };
    setGeometry(kLeft, kTop, width,
                heightAt(width - margins.left() - margins.right() - m_close->sizeHint().width()));
    layout()->activate();
    if (const int needed = heightAt(m_text->width()); needed > height())
        setGeometry(kLeft, kTop, width, needed);
    show();
    raise();
}
