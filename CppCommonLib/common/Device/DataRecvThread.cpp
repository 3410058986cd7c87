#include "DataRecvThread.h"

#include "ICommDeviceMgmt.h"
#include "Log.h"
#include "TickCount.h"

CDataRecvThread::CDataRecvThread() = default;

CDataRecvThread::~CDataRecvThread() {
    StopThread();
}

bool CDataRecvThread::Start(ICommDeviceMgmt* manager) {
    if (IsRunning() || !manager) return false;
    m_manager = manager;
    m_goEvent.Reset();
    m_loopEnabled = true;
    return CThreadObject::Start();
}

void CDataRecvThread::StopThread() {
    if (!IsRunning()) {
        Stop(0);  // joins a thread that already ended
        return;
    }
    m_loopEnabled = false;
    m_goEvent.Set();
    Stop(2000);
}

void CDataRecvThread::Run() {
    while (m_loopEnabled) {
        m_goEvent.Wait();
        if (!m_loopEnabled) break;
        if (ICommDeviceMgmt* manager = m_manager.load()) {
            m_procDone.Reset();
            manager->RecvThreadProc();
            m_procDone.Set();
        }
    }
}

void CDataRecvThread::OnConnectDevice() {
    if (!m_procDone.Wait(2000)) {
        QV_LOG("**************check: RecvThreadProc not return");
        ICommDeviceMgmt* manager = m_manager.load();
        StopThread();
        SleepMs(400);
        Start(manager);
        SleepMs(400);
    }
    m_goEvent.Set();
    SleepMs(10);
}
