#pragma once

#include <QDialog>
#include <QLineEdit>
#include <QString>
#include <functional>
#include <optional>

// Asks for the name of a list: one text field, OK and Cancel. OK checks the trimmed text
// (not empty, not longer than the maximum, none of \ : / * ? " < > |) and shows a tip at
// the field while it is refused.
class CListNameDialog : public QDialog {
  public:
    CListNameDialog(QWidget* owner, const QString& text, int maxLength);

    QLineEdit* Field() const { return m_field; }
    QString Name() const { return m_name; }  // the trimmed text after OK
    // Runs OK's checks; accepts the dialog when they pass.
    void OnOk();

    // Runs the dialog modally; the name after OK, nullopt after Cancel.
    static std::optional<QString> Ask(QWidget* owner, const QString& text, int maxLength);
    using Responder = std::function<std::optional<QString>(const QString& text, int maxLength)>;
    static void SetResponder(Responder responder);  // null: the real dialog

  private:
    void Build();

    int m_maxLength;
    QLineEdit* m_field = nullptr;
    QString m_name;
};
