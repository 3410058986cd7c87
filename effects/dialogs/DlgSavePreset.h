#pragma once

#include "NameDialog.h"

class CWorkSpace;
class QComboBox;

// Stores the current values of a parameter group (1 equaliser, 2 reverb, 3 voice change) as
// one of its four user presets. Presets live in the settings file, so no card is needed.
// Ends with 1 once stored, 2 when cancelled; refusals keep it open.
class CDlgSavePreset : public CNameDialog {
    Q_OBJECT

  public:
    CDlgSavePreset(CWorkSpace& workspace, int group, QWidget* parent = nullptr);

    void SelectLocation(int slot);  // "combo_save_to": 0-3, -1 none
    int Group() const { return m_group; }
    int SavedSlot() const { return m_savedSlot; }  // -1 before a save

  protected:
    void OnOK() override;

  private:
    CWorkSpace& m_workspace;
    int m_group;
    QComboBox* m_location = nullptr;
    int m_savedSlot = -1;
};
