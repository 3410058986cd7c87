#pragma once

#include <QDialog>
#include <QPoint>
#include <QString>

class QLineEdit;

// What the name dialogs share: a frameless dialog around a layout of the resources with its
// own caption strip, "btnOK" (id 1) running the dialog's checks, "btnCancel", "btn_close" and
// any id 2 ending it with 2, and refusals as message boxes that leave the dialog open.
// PressOK/SetName let the page's tests and scripted runs drive a dialog without a person.
class CNameDialog : public QDialog {
    Q_OBJECT

  public:
    enum EndCode { kEndOk = 1, kEndCancel = 2 };

    // Runs the checks as a click on "btnOK" does; true when the dialog ended with 1.
    bool PressOK();
    void PressCancel() { done(kEndCancel); }
    void SetName(const QString& text);  // into "edit_name", cut by its length limit
    QWidget* Content() const { return m_content; }

    // Escape and closing the window end with 2, like "btnCancel".
    void reject() override { done(kEndCancel); }

    // Without leading and trailing spaces, tabs, carriage returns and line feeds.
    static QString TrimName(const QString& text);

  protected:
    CNameDialog(const QString& className, const QString& layoutName, QWidget* parent);
    virtual void OnOK() = 0;
    QLineEdit* NameEdit() const { return m_name; }
    QString TrimmedName() const;
    // A message box with caption "提示" over the dialog; the dialog stays open.
    void Refuse(const QString& text);

    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    QWidget* m_content = nullptr;
    QLineEdit* m_name = nullptr;
    QPoint m_dragOffset;
    bool m_dragging = false;
};
