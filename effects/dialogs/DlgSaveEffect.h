#pragma once

#include "NameDialog.h"

class CWorkSpace;
class QComboBox;

// Stores the current effect under a name as one of the card's three custom effects
// (type 0, slots 0-2) or one of the user's twelve (type 1, slots 0-11). Ends with 1 once
// stored, 2 when cancelled; refusals keep it open.
class CDlgSaveEffect : public CNameDialog {
    Q_OBJECT

  public:
    explicit CDlgSaveEffect(CWorkSpace& workspace, QWidget* parent = nullptr);

    // Selections as the user makes them in "combo_save_type" and "combo_save_to"; -1 none.
    // A new type refills the locations and leaves none selected.
    void SelectType(int type);
    void SelectLocation(int location);

    // After a save: the type and slot stored, and the effect button showing it on the
    // effects page (10009-10011 the card's, 10012-10023 the user's); -1 before.
    int SavedType() const { return m_savedType; }
    int SavedSlot() const { return m_savedSlot; }
    int SavedButtonId() const;

  protected:
    void OnOK() override;

  private:
    void FillLocations(int type);

    CWorkSpace& m_workspace;
    QComboBox* m_type = nullptr;
    QComboBox* m_location = nullptr;
    int m_savedType = -1;
    int m_savedSlot = -1;
};
