#include "wave/wave_texts.h"

#include "wave/messages.h"

namespace quorvant {

namespace {
std::string Describe(const WAVEFORMATEX& f, const char* marker)
{
    return std::to_string(f.wBitsPerSample) + "bit" + marker + " , " + std::to_string(f.nSamplesPerSec) +
           "Hz , " + (f.nChannels == 1 ? "mono" : "stereo");
}
}  // namespace

std::string MainInfoLine(const WAVEFORMATEX& format, bool floatSamples)
{
    return Describe(format, floatSamples ? "(float)" : "");
}

std::string ListInfoText(const WAVEFORMATEX& format) { return Describe(format, ""); }

std::string texts::NotWave(const std::string& path) { return "File " + path + " is not an effective WAVE file."; }

}  // namespace quorvant
