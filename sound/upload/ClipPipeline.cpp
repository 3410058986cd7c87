#include "ClipPipeline.h"

#include "LibmadDecoder.h"
#include "PcmConverter.h"
#include "UploadVolume.h"

namespace upload {

PrepareResult PrepareClip(const std::string& source, int resourceFlag, int padVolume,
                          double masterLevel, std::vector<uint8_t>& pcm) {
    pcm.clear();
    CLibmadDecoder decoder;
    const int volume = DecoderVolume(padVolume, MasterPercent(masterLevel));
    const DecodeResult decoded = decoder.Run(source, volume, resourceFlag);
    if (decoded.status != 1) return PrepareResult::kNothingDecoded;
    return LoadAndConvert(decoded.wavPath, pcm) ? PrepareResult::kOk : PrepareResult::kNotLoaded;
}

const char* PrepareFailureText(PrepareResult result) {
    switch (result) {
        case PrepareResult::kOk:
            return "";
        case PrepareResult::kNothingDecoded:
            return "特效解码失败";
        case PrepareResult::kNotLoaded:
            return "特效载入失败";
    }
    return "";
}

}  // namespace upload
