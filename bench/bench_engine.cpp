// Throughput of the conversion engine, in bytes of input per second: the
// one-pass path against the staged reference, for each class of job.
//
//   build/bench/bench_engine --benchmark_filter=Fused       (64 MiB and 1 GiB inputs)

#include <benchmark/benchmark.h>

#include <cstring>
#include <random>

#include "convert/convert_samples.h"
#include "wave/float_samples.h"

namespace quorvant {
namespace {

struct Job {
    uint16_t sourceBits;
    uint32_t sourceRate;
    uint16_t sourceChannels;
    uint16_t targetBits;
    uint32_t targetRate;
    uint16_t targetChannels;
    bool floatSource;  // samples loaded from 32-bit floats (converted on load, included in the time)
};

const Job kJobs[] = {
    {16, 44100, 2, 8, 44100, 2, false},   // 0: 16 -> 8
    {16, 44100, 2, 24, 44100, 2, false},  // 1: 16 -> 24
    {24, 44100, 2, 16, 44100, 2, false},  // 2: 24 -> 16
    {32, 44100, 2, 16, 44100, 2, true},   // 3: 32 float -> 16
    {16, 44100, 2, 16, 22050, 2, false},  // 4: 44.1k -> 22.05k
    {16, 44100, 2, 16, 48000, 2, false},  // 5: 44.1k -> 48k
    {16, 44100, 2, 16, 44100, 1, false},  // 6: stereo -> mono
    {16, 44100, 1, 16, 44100, 2, false},  // 7: mono -> stereo
    {24, 96000, 2, 16, 44100, 1, false},  // 8: 24/96k/stereo -> 16/44.1k/mono
    {16, 44100, 2, 8, 22050, 1, false},   // 9: 16/44.1k/stereo -> 8/22.05k/mono
};

InputBlock MakeInput(std::size_t bytes, bool floats)
{
    InputBlock in;
    in.InputData = ByteArray::Allocate(bytes);
    in.InputSize = uint32_t(bytes);
    std::mt19937 rng(1);
    uint8_t* p = in.InputData.data();
    for (std::size_t i = 0; i + 4 <= bytes; i += 4) {
        uint32_t v = rng();
        if (floats) {
            float f = float(int32_t(v)) / 2147483648.0f;
            std::memcpy(&v, &f, 4);
        }
        std::memcpy(p + i, &v, 4);
    }
    return in;
}

template <bool Fused>
void Convert(benchmark::State& state)
{
    const Job& job = kJobs[state.range(0)];
    const std::size_t bytes = std::size_t(state.range(1)) << 20;
    const InputBlock source = MakeInput(bytes, job.floatSource);
    InputBlock input = MakeInput(bytes, false);
    WorkBlock work;
    for (auto _ : state) {
        if (job.floatSource) {
            state.PauseTiming();
            std::memcpy(input.InputData.data(), source.InputData.data(), bytes);
            state.ResumeTiming();
            ConvertFloatBlockToInt(input.InputData.data(), bytes);
        } else {
            std::memcpy(input.InputData.data(), source.InputData.data(), 0);
        }
        const InputBlock& in = job.floatSource ? input : source;
        if constexpr (Fused)
            ConvertSamples(job.sourceBits, job.sourceRate, job.sourceChannels, job.targetBits, job.targetRate,
                           job.targetChannels, in, work);
        else
            ConvertSamplesStaged(job.sourceBits, job.sourceRate, job.sourceChannels, job.targetBits, job.targetRate,
                                 job.targetChannels, in, work);
        benchmark::DoNotOptimize(work.WorkData.data());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
}

void Jobs(benchmark::internal::Benchmark* b)
{
    b->ArgNames({"job", "MiB"});
    for (int job = 0; job < int(std::size(kJobs)); ++job)
        for (int mib : {64, 1024})
            b->Args({job, mib});
    b->Unit(benchmark::kMillisecond)->UseRealTime();
}

BENCHMARK(Convert<true>)->Name("Fused")->Apply(Jobs);
BENCHMARK(Convert<false>)->Name("Staged")->Apply(Jobs)->Iterations(1);

}  // namespace
}  // namespace quorvant

BENCHMARK_MAIN();
