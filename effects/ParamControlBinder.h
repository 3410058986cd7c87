#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <map>

#include "ControlEvents.h"
#include "ParamDisplay.h"
#include "WorkSpaceInterfaces.h"

class CWorkSpace;

// One bound control of the effects page.
struct ParamBinding {
    enum Kind : int { kRange = 0, kSwitch = 3, kListItem = 4, kText = 8 };

    int controlId = 0;
    int paramId = 0;
    int kind = kRange;
    int initial = 0;
    lw52::DisplayRule rule{};   // range, step, offset and format of the parameter
    const char* items = "";     // list items joined by "[#]"
    int linkedId = 0;           // knob <-> its value text
    int extraId = 0;            // switch a change of this range control clears (the mute box)
    QPointer<QWidget> control;  // null when the layout has no such id
};

// Keeps the effects page's knobs, sliders, switches, radio items and value texts in step with
// the workspace: user actions become SetParamFromControl, workspace values move the controls.
// Attaches itself to the workspace as its binder for as long as it lives (one binder at a time).
class CParamControlBinder : public IParamBinder {
  public:
    CParamControlBinder(CWorkSpace& workspace, QWidget* root);
    ~CParamControlBinder() override;
    CParamControlBinder(const CParamControlBinder&) = delete;
    CParamControlBinder& operator=(const CParamControlBinder&) = delete;

    // kind -1 takes the parameter's type. A later binding of the same parameter becomes the
    // one SetControlValue starts from. False when the layout has no control with that id.
    bool Bind(int paramId, int kind, int controlId, int linkedId = 0, int extraId = 0);
    // Every binding of the effects page: mixer, equaliser, voice change, reverb, switches and
    // the electronic-voice scale and key.
    void RegisterDefaultBindings();

    // Workspace -> control (and its linked text). Unbound parameters are skipped.
    void SetControlValue(int paramId, int value) override;
    // User action on a bound control -> workspace. True when the event was a bound control's.
    bool HandleControlEvent(const ControlEvent& event);

    // Displayed value -> (raw value clamped to the parameter's range, text in its format).
    static lw52::FormattedValue FormatValue(double displayed, const ParamBinding& binding);

    const ParamBinding* BindingOf(int controlId) const;

  private:
    void InitControl(ParamBinding& binding);
    // Puts raw value r / its text on the binding's control according to its kind.
    void ApplyToControl(const ParamBinding& binding, int raw, const QString& text);
    QWidget* ListItemControl(const ParamBinding& anyItem, int index) const;

    CWorkSpace& m_workspace;
    QWidget* m_root;
    std::map<int, ParamBinding> m_bindings;  // by control id
    std::map<int, int> m_controlOfParam;     // param id -> control id bound last
    bool m_initialising = false;
};
