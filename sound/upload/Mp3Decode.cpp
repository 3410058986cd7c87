#include "Mp3Decode.h"

#include <mad.h>

#include <bit>
#include <cstring>

#include "BuiltInClipData.h"

namespace upload {
namespace {

struct DecodeJob {
    const uint8_t* data = nullptr;
    size_t size = 0;
    bool handedOver = false;
    double gain = 1.0;
    uint64_t maxSeconds = 0;
    FILE* out = nullptr;
    const std::atomic<bool>* stop = nullptr;
    Mp3Pcm result;
    std::vector<int16_t> samples;  // one frame's output
    std::vector<uint8_t> bytes;
};

// Everything after an ID3v2 tag ("ID3", version, flags, 28-bit size, optional footer).
size_t Id3v2Length(const uint8_t* data, size_t size) {
    if (size < 10 || memcmp(data, "ID3", 3) != 0) return 0;
    const uint8_t* s = data + 6;
    if ((s[0] | s[1] | s[2] | s[3]) & 0x80) return 0;
    size_t length = 10 + ((size_t{s[0]} << 21) | (s[1] << 14) | (s[2] << 7) | s[3]);
    if (data[5] & 0x10) length += 10;  // footer
    return length <= size ? length : 0;
}

int16_t Scale(mad_fixed_t sample, double gain) {
    // 64 bits: a sample near the top of the fixed-point range must clip, not wrap.
    int64_t rounded = int64_t{sample} + (1L << (MAD_F_FRACBITS - 16));
    if (rounded >= MAD_F_ONE)
        rounded = MAD_F_ONE - 1;
    else if (rounded < -MAD_F_ONE)
        rounded = -MAD_F_ONE;
    const auto value = static_cast<int>(rounded >> (MAD_F_FRACBITS + 1 - 16));
    return static_cast<int16_t>(value * gain);
}

bool Stopped(const DecodeJob& job) {
    return job.stop && job.stop->load(std::memory_order_relaxed);
}

// The whole buffer once, then stop.
mad_flow OnInput(void* data, mad_stream* stream) {
    auto* job = static_cast<DecodeJob*>(data);
    if (job->handedOver || Stopped(*job)) return MAD_FLOW_STOP;
    job->handedOver = true;
    mad_stream_buffer(stream, job->data, job->size);
    return MAD_FLOW_CONTINUE;
}

mad_flow OnOutput(void* data, const mad_header* /*header*/, mad_pcm* pcm) {
    auto* job = static_cast<DecodeJob*>(data);
    if (Stopped(*job)) return MAD_FLOW_STOP;
    if (pcm->length == 0 || pcm->samplerate == 0 || pcm->channels == 0) return MAD_FLOW_CONTINUE;
    PcmFormat& format = job->result.format;
    if (job->result.totalSamples == 0) {
        format = Pcm16(pcm->channels, pcm->samplerate);
    } else if (format.channels != pcm->channels || format.sampleRate != pcm->samplerate) {
        return MAD_FLOW_IGNORE;
    }
    job->result.totalSamples += pcm->length;
    // Interleaved 16-bit little-endian: built as samples, stored as bytes in that order.
    std::vector<int16_t>& samples = job->samples;
    const unsigned channels = pcm->channels;
    samples.resize(size_t{pcm->length} * channels);
    for (unsigned ch = 0; ch < channels; ++ch) {
        const mad_fixed_t* in = pcm->samples[ch];
        for (unsigned i = 0; i < pcm->length; ++i)
            samples[i * channels + ch] = Scale(in[i], job->gain);
    }
    std::vector<uint8_t>& bytes = job->bytes;
    bytes.resize(samples.size() * 2);
    if constexpr (std::endian::native == std::endian::little) {
        memcpy(bytes.data(), samples.data(), bytes.size());
    } else {
        for (size_t i = 0; i < samples.size(); ++i) {
            const auto v = static_cast<uint16_t>(samples[i]);
            bytes[2 * i] = static_cast<uint8_t>(v & 0xFF);
            bytes[2 * i + 1] = static_cast<uint8_t>(v >> 8);
        }
    }
    if (fwrite(bytes.data(), 1, bytes.size(), job->out) != bytes.size()) return MAD_FLOW_BREAK;
    if (job->result.totalSamples / pcm->samplerate >= job->maxSeconds) return MAD_FLOW_STOP;
    return MAD_FLOW_CONTINUE;
}

// Damaged frames are skipped.
mad_flow OnError(void* /*data*/, mad_stream* /*stream*/, mad_frame* /*frame*/) {
    return MAD_FLOW_CONTINUE;
}

}  // namespace

std::vector<uint8_t> LoadMp3(const std::string& source, int resourceFlag) {
    std::vector<uint8_t> bytes;
    if (resourceFlag == 1) {
        const clips::ClipBytes clip = clips::FindClip(source);
        if (clip.data) bytes.assign(clip.data, clip.data + clip.size);
        return bytes;
    }
    FILE* file = fopen(source.c_str(), "rb");
    if (!file) return bytes;
    uint8_t buffer[65536];
    size_t n;
    while (bytes.size() < kMaxMp3Input && (n = fread(buffer, 1, sizeof buffer, file)) > 0)
        bytes.insert(bytes.end(), buffer, buffer + n);
    fclose(file);
    if (bytes.size() > kMaxMp3Input) bytes.resize(kMaxMp3Input);
    return bytes;
}

Mp3Pcm DecodeMp3(const std::vector<uint8_t>& mp3, double gain, int maxSeconds, FILE* out,
                 const std::atomic<bool>* stop) {
    // libmad reads up to MAD_BUFFER_GUARD bytes past a frame: zeros after the last one let it
    // be decoded instead of dropped.
    std::vector<uint8_t> input(mp3);
    const size_t skip = Id3v2Length(input.data(), input.size());
    input.insert(input.end(), MAD_BUFFER_GUARD, 0);
    DecodeJob job;
    job.data = input.data() + skip;
    job.size = input.size() - skip;
    job.gain = gain;
    job.maxSeconds = static_cast<uint64_t>(maxSeconds);
    job.out = out;
    job.stop = stop;
    mad_decoder decoder;
    mad_decoder_init(&decoder, &job, OnInput, nullptr, nullptr, OnOutput, OnError, nullptr);
    const int result = mad_decoder_run(&decoder, MAD_DECODER_MODE_SYNC);
    mad_decoder_finish(&decoder);
    job.result.ok = result == 0 && !Stopped(job);
    return job.result;
}

}  // namespace upload
