#pragma once

#include <atomic>

#include "Event.h"
#include "ThreadObject.h"

class ICommDeviceMgmt;

// The device manager's receive thread: lives as long as the manager and runs one receive
// loop (RecvThreadProc) per attachment, waiting on goEvent in between.
class CDataRecvThread : public CThreadObject {
  public:
    CDataRecvThread();
    ~CDataRecvThread() override;

    bool Start(ICommDeviceMgmt* manager);
    void StopThread();
    // Lets the thread run a new receive loop once the previous one has returned.
    void OnConnectDevice();

  protected:
    void Run() override;

  private:
    std::atomic<bool> m_loopEnabled{false};
    ccm_util::CEvent m_goEvent{false, false};
    ccm_util::CEvent m_procDone{false, true};
    std::atomic<ICommDeviceMgmt*> m_manager{nullptr};
};
