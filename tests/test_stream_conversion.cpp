// Converting piece by piece must write exactly the file that loading the
// whole block, converting it and writing it would give.

#include <gtest/gtest.h>

#include <random>

#include "convert/convert_samples.h"
#include "convert/stream_conversion.h"
#include "convert/target_format.h"
#include "recording_sink.h"
#include "wave_builder.h"
#include "wave/wave_writer.h"

namespace quorvant {
namespace {

using test::Bytes;

Bytes WholeBlockFile(const Bytes& image, const WAVEFORMATEX& target)
{
    MemorySource source(image);
    test::RecordingSink messages;
    WaveRecords records;
    EXPECT_TRUE(LoadBatchSource(source, "in.wav", records, messages));
    const WAVEFORMATEX& s = records.SourceFormat;
    ConvertSamples(s.wBitsPerSample, s.nSamplesPerSec, s.nChannels, target.wBitsPerSample, target.nSamplesPerSec,
                   target.nChannels, records.Input, records.Work);
    MemorySink sink;
    EXPECT_TRUE(WriteWaveFile(sink, target, records.Work));
    return sink.data;
}

Bytes StreamedFile(const Bytes& image, const WAVEFORMATEX& target, std::size_t bufferBytes)
{
    MemorySource source(image);
    auto chunks = WalkWaveChunks(source);
    EXPECT_TRUE(chunks);
    MemorySink sink;
    EXPECT_TRUE(StreamConvert(source, *chunks, PlanFileConversion(*chunks, target), target, sink, bufferBytes));
    return sink.data;
}

TEST(StreamConversion, EqualsWholeBlockPathForRandomFilesAndBufferSizes)
{
    std::mt19937 rng(11);
    struct Source {
        uint16_t tag, bits;
    };
    const Source sources[] = {{1, 8}, {1, 16}, {1, 24}, {1, 32}, {3, 32}, {1, 12}};
    const uint32_t rates[] = {8000, 22050, 44100, 48000, 96000, 192000, 12345};
    const uint16_t channels[] = {1, 2, 6};
    // Tiny buffers force many pieces, ranges that end mid-block, and spans
    // that repeat or skip source frames at piece edges.
    const std::size_t buffers[] = {8, 24, 100, 4096, kStreamBufferBytes};
    for (int round = 0; round < 400; ++round) {
        const Source src = sources[rng() % std::size(sources)];
        const uint32_t rate = rates[rng() % std::size(rates)];
        const uint16_t ch = channels[rng() % std::size(channels)];
        Bytes samples(rng() % 900);
        for (auto& b : samples)
            b = uint8_t(rng());
        Bytes image = test::SimpleWave(src.tag, ch, rate, src.bits, samples);
        if (round % 5 == 0) {
            // A "data" chunk that declares more than the file holds.
            image.resize(image.size() - std::min<std::size_t>(samples.size(), rng() % 40));
        }
        const WAVEFORMATEX target =
            BuildTargetFormat(int(rng() % 5), RateChoices[rng() % RateChoices.size()], ChannelChoices[rng() % 2]);
        const std::size_t buffer = buffers[rng() % std::size(buffers)];
        SCOPED_TRACE(::testing::Message() << "round " << round << ", buffer " << buffer);
        ASSERT_EQ(StreamedFile(image, target, buffer), WholeBlockFile(image, target));
    }
}

TEST(StreamConversion, IdentityWithFloatsRoundTripsThroughIntegers)
{
    // +1.5 loads as full scale and is written back as 1.0; the odd trailing
    // bytes are copied unchanged.
    Bytes samples;
    for (float f : {0.25f, 1.5f, -1.0f, -0.5f}) {
        uint32_t bits;
        std::memcpy(&bits, &f, 4);
        test::PutLE32(samples, bits);
    }
    samples.push_back(0xAB);
    samples.push_back(0xCD);
    const Bytes image = test::SimpleWave(3, 2, 44100, 32, samples);
    const WAVEFORMATEX target = BuildTargetFormat(1, "44100", "stereo");
    const Bytes streamed = StreamedFile(image, target, 8);
    EXPECT_EQ(streamed, WholeBlockFile(image, target));
    ASSERT_EQ(streamed.size(), 44u + 18u);
    float second;
    std::memcpy(&second, &streamed[48], 4);
    EXPECT_EQ(second, 1.0f);
    EXPECT_EQ(streamed[60], 0xAB);
    EXPECT_EQ(streamed[61], 0xCD);
}

TEST(StreamConversion, ReportsAFailingSink)
{
    struct FailAfter : ByteSink {
        std::size_t left;
        explicit FailAfter(std::size_t n) : left(n) {}
        bool write(const void*, std::size_t count) override
        {
            if (count > left)
                return false;
            left -= count;
            return true;
        }
        bool close() override { return true; }
    };
    Bytes samples(10000, 0x11);
    const Bytes image = test::SimpleWave(1, 2, 44100, 16, samples);
    MemorySource source(image);
    auto chunks = WalkWaveChunks(source);
    ASSERT_TRUE(chunks);
    for (const WAVEFORMATEX& target : {BuildTargetFormat(3, "44100", "stereo"), BuildTargetFormat(4, "22050", "mono")}) {
        FailAfter sink(100);
        EXPECT_FALSE(StreamConvert(source, *chunks, PlanFileConversion(*chunks, target), target, sink, 64));
    }
}

}  // namespace
}  // namespace quorvant
