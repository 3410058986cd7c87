// Effect files applied or stored through the protocol's frame sender.
#include "EffectFile.h"
#include "EffectFileFrames.h"
#include "EffectFileParams.h"
#include "ParamTable.h"
#include "QvAudioProtocol.h"
#include "WorkSpace.h"

int CWorkSpace::UploadEffectFile(const std::string& path, int target, std::string* reason) {
    lw52::EffectFile file;
    std::string why;
    if (!lw52::ReadEffectFile(path, file, why)) {
        if (reason) *reason = why;
        return 0;
    }
    if (!m_protocol) {
        if (reason) *reason = "no protocol to send with";
        return 0;
    }
    lw52::EffectFileFrameInfo info;
    std::vector<Frame64> frames = lw52::BuildEffectFileFrames(file, static_cast<uint16_t>(target),
                                                              m_protocol->GetPacketSize(), &info);
    if (frames.empty() || !info.headerMatchesData) {
        if (reason) *reason = "the file's blocks are larger than an upload can describe";
        return 0;
    }
    m_lastEffectFileHeader = file.header;
    lw52::MapEffectFileParams(file, m_current.values);
    m_protocol->SendFramesAsync(frames);
    return 1;
}

void CWorkSpace::SetFileEffect(const std::string& name, const std::string& path) {
    lw52::SetRecordName(m_current, name);
    lw52::SetRecordPath(m_current, path);
    m_current.values[lw52::kParamEffect] = kFileEffectApplied;
    m_current.isFileEffect = 1;
    RefreshControls();
}
