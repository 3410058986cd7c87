#include "MessageBox.h"

#include <QMessageBox>
#include <optional>

namespace msgbox {
namespace {
Responder g_responder;
std::optional<Shown> g_last;
}  // namespace

int Show(QWidget* parent, const QString& text, const QString& caption, int buttons) {
    g_last = Shown{text, caption, buttons};
    if (g_responder) return g_responder(*g_last);
    QMessageBox box(QMessageBox::Information, caption, text, QMessageBox::NoButton, parent);
    switch (buttons) {
        case kOkCancel:
            box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case kYesNo:
            box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        default:
            box.setStandardButtons(QMessageBox::Ok);
    }
    switch (box.exec()) {
        case QMessageBox::Cancel:
            return kIdCancel;
        case QMessageBox::Yes:
            return kIdYes;
        case QMessageBox::No:
            return kIdNo;
        default:
            return kIdOk;
    }
}

void SetResponder(Responder responder) {
    g_responder = std::move(responder);
}
const Shown* Last() {
    return g_last ? &*g_last : nullptr;
}
void ClearLast() {
    g_last.reset();
}

}  // namespace msgbox
