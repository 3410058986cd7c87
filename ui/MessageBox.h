#pragma once

#include <QString>
#include <QWidget>
#include <functional>

// Message boxes with the program's texts and captions. Tests (and scripted runs) install a
// responder that answers instead of a person; every box shown is remembered for them.
namespace msgbox {

enum Buttons { kOk = 0, kOkCancel = 1, kYesNo = 4 };
enum Result { kIdOk = 1, kIdCancel = 2, kIdYes = 6, kIdNo = 7 };

struct Shown {
    QString text;
    QString caption;
    int buttons;
};
using Responder = std::function<int(const Shown&)>;

int Show(QWidget* parent, const QString& text, const QString& caption, int buttons = kOk);
void SetResponder(Responder responder);  // null: real modal boxes
const Shown* Last();                     // the last box shown, null when none
void ClearLast();

}  // namespace msgbox
