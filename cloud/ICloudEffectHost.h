#pragma once

#include "ILibraryHost.h"

// What the cloud effect tree needs from the effects page beyond the library's needs: a new
// fetch of the cloud list after the tree was emptied by its refresh command.
class ICloudEffectHost : public ILibraryHost {
  public:
    // Starts a new list fetch; the page fills the tree again when the list arrives.
    virtual void RefetchCloudList() = 0;
};
