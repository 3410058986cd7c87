#pragma once

#include <QString>

// What the local effect library needs from the effects page: using and storing effect
// files, the point at which the page shows the transfer's result tip, and the current
// effect's file for the highlight.
class ILibraryHost {
  public:
    virtual ~ILibraryHost() = default;
    // 1 when the upload started, else 0 (the page has shown why when no card is attached).
    virtual int ApplyEffectFile(const QString& name, const QString& path) = 0;
    // slot 1..3: the card's custom slots.
    virtual int StoreEffectFileInSlot(int slot, const QString& name, const QString& path) = 0;
    // A point in client coordinates of the main window.
    virtual void SetTipAnchor(int x, int y) = 0;
    // The file of the current effect; empty when the current effect is not a file.
    virtual QString CurrentEffectPath() const = 0;
};
