#pragma once

#include "NameDialog.h"

// Asks for the display name of a sound clip (at most 7 characters). Offers the given name up
// to its first "-" after the first character (clip files are named "name-suffix").
// Ends with 1 and the name in Name(), or 2 when cancelled.
class CDlgEditFileName : public CNameDialog {
    Q_OBJECT

  public:
    explicit CDlgEditFileName(const QString& name, QWidget* parent = nullptr);

    // The name offered; after OK the one entered, trimmed and cut to 7 characters.
    QString Name() const { return m_name; }

    static constexpr int kMaxNameLength = 7;

  protected:
    void OnOK() override;

  private:
    QString m_name;
};
