#include "wave/wave_loader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>

#include "wave/float_samples.h"
#include "wave/path_parts.h"
#include "wave/riff_reader.h"
#include "wave/wave_texts.h"

namespace quorvant {

namespace {

constexpr std::size_t kExtensibleFmtBytes = 40;
// KSDATAFORMAT_SUBTYPE_IEEE_FLOAT as it is stored at offset 24 of an extensible "fmt " chunk.
constexpr uint8_t kFloatSubFormat[16] = {0x03, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                         0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

bool IsFloatFormat(const WAVEFORMATEX& f, uint32_t fmtSize, const uint8_t* fmtBytes)
{
    if (f.wBitsPerSample != 32)
        return false;
    if (f.wFormatTag == kFormatFloat)
        return true;
    return f.wFormatTag == kFormatExtensible && fmtSize >= kExtensibleFmtBytes &&
           std::memcmp(fmtBytes + 24, kFloatSubFormat, sizeof kFloatSubFormat) == 0;
}

enum class Operation { MainWindow, BatchList, BatchRun };

std::optional<InputBlock> ReadSamples(ByteSource& source, const WaveChunks& chunks, MessageSink& messages)
{
    try {
        return ReadWholeSamples(source, chunks);
    } catch (const std::bad_alloc&) {
        messages.showMessage(MessageIcon::Warning, texts::kOutOfMemory);
        return std::nullopt;
    }
}

bool LoadInto(ByteSource& source, const std::string& path, WaveRecords& records, MessageSink& messages,
              Operation operation)
{
    auto chunks = WalkWaveChunks(source);
    if (!chunks) {
        messages.showMessage(MessageIcon::Warning, texts::NotWave(path));
        return false;
    }
    if (operation == Operation::MainWindow) {
        if (chunks->format.wBitsPerSample == 4) {
            messages.showMessage(MessageIcon::Warning, texts::kFourBit);
            return false;
        }
        messages.readingStarted();
    }
    auto block = ReadSamples(source, *chunks, messages);
    if (!block)
        return false;
    if (chunks->floatSamples && operation == Operation::MainWindow)
        messages.showMessage(MessageIcon::Information, texts::kFloatNotice);
    records.SourceFormat = chunks->format;
    records.SourceIsFloat = chunks->floatSamples;
    records.Input = std::move(*block);
    return true;
}

template <typename Body>
auto WithOpenedFile(const std::string& path, MessageSink& messages, Body body) -> decltype(body(std::declval<ByteSource&>()))
{
    auto file = FileSource::Open(path);
    if (!file) {
        messages.showMessage(MessageIcon::Warning, texts::kReadError);
        return {};
    }
    return body(*file);
}

}  // namespace

std::optional<WaveChunks> WalkWaveChunks(ByteSource& source)
{
    RiffReader reader(source);
    ChunkInfo riff;
    if (!reader.descendRiff(riff))
        return std::nullopt;

    ChunkInfo fmt;
    fmt.ckid = StringToFourCC("fmt");
    if (!reader.descendChunk(fmt, riff))
        return std::nullopt;
    std::array<uint8_t, kExtensibleFmtBytes> fmtBytes{};
    reader.read(fmtBytes.data(), std::min<std::size_t>(fmt.cksize, fmtBytes.size()));
    std::array<uint8_t, kWaveFormatBytes> record{};
    std::copy_n(fmtBytes.begin(), std::min<std::size_t>(fmt.cksize, record.size()), record.begin());
    if (!reader.ascend(fmt))
        return std::nullopt;

    ChunkInfo data;
    data.ckid = StringToFourCC("data");
    if (!reader.descendChunk(data, riff))
        return std::nullopt;

    WaveChunks chunks;
    chunks.format = DecodeWaveFormat(record);
    chunks.floatSamples = IsFloatFormat(chunks.format, fmt.cksize, fmtBytes.data());
    chunks.dataOffset = data.dataOffset;
    chunks.dataSize = data.cksize;
    return chunks;
}

void ReadSampleBytes(ByteSource& source, const WaveChunks& chunks, uint64_t offset, std::size_t count,
                     uint8_t* destination, bool zeroed)
{
    const uint64_t available = offset < chunks.dataSize ? std::min<uint64_t>(count, chunks.dataSize - offset) : 0;
    std::size_t got = available ? source.readAt(chunks.dataOffset + offset, destination, available) : 0;
    if (!zeroed)
        std::memset(destination + got, 0, count - got);
    if (chunks.floatSamples)
        ConvertFloatBlockToInt(destination, available);
}

InputBlock ReadWholeSamples(ByteSource& source, const WaveChunks& chunks)
{
    InputBlock block;
    block.InputData = ByteArray::Allocate(chunks.dataSize);
    block.InputSize = chunks.dataSize;
    // A fresh mapping is zero already: a short file's missing tail costs nothing.
    ReadSampleBytes(source, chunks, 0, chunks.dataSize, block.InputData.data(), block.InputData.startsZeroed());
    return block;
}

std::optional<OpenedWave> OpenWaveFile(const std::string& path, WaveChecks checks, MessageSink& messages)
{
    auto file = FileSource::Open(path);
    if (!file) {
        messages.showMessage(MessageIcon::Warning, texts::kReadError);
        return std::nullopt;
    }
    auto chunks = WalkWaveChunks(*file);
    if (!chunks) {
        messages.showMessage(MessageIcon::Warning, texts::NotWave(path));
        return std::nullopt;
    }
    if (checks == WaveChecks::MainWindow) {
        if (chunks->format.wBitsPerSample == 4) {
            messages.showMessage(MessageIcon::Warning, texts::kFourBit);
            return std::nullopt;
        }
        if (chunks->floatSamples)
            messages.showMessage(MessageIcon::Information, texts::kFloatNotice);
    }
    return OpenedWave{std::move(file), *chunks};
}

bool LoadWaveSource(ByteSource& source, const std::string& path, WaveRecords& records, MessageSink& messages)
{
    return LoadInto(source, path, records, messages, Operation::MainWindow);
}

bool LoadBatchSource(ByteSource& source, const std::string& path, WaveRecords& records, MessageSink& messages)
{
    return LoadInto(source, path, records, messages, Operation::BatchRun);
}

std::optional<ListedFile> ListWaveSource(ByteSource& source, const std::string& path, MessageSink& messages)
{
    auto chunks = WalkWaveChunks(source);
    if (!chunks) {
        messages.showMessage(MessageIcon::Warning, texts::NotWave(path));
        return std::nullopt;
    }
    if (chunks->format.wBitsPerSample == 4) {
        messages.showMessage(MessageIcon::Warning,
                             std::string(texts::kFourBit) + "\n[" + FileNamePart(path) + "]");
        return std::nullopt;
    }
    return ListedFile{FolderPart(path), FileNamePart(path), ListInfoText(chunks->format), chunks->format};
}

bool LoadWaveFile(const std::string& path, WaveRecords& records, MessageSink& messages)
{
    return WithOpenedFile(path, messages, [&](ByteSource& s) { return LoadWaveSource(s, path, records, messages); });
}

std::optional<ListedFile> AddFileToList(const std::string& path, MessageSink& messages)
{
    return WithOpenedFile(path, messages, [&](ByteSource& s) { return ListWaveSource(s, path, messages); });
}

bool LoadBatchFile(const std::string& path, WaveRecords& records, MessageSink& messages)
{
    return WithOpenedFile(path, messages, [&](ByteSource& s) { return LoadBatchSource(s, path, records, messages); });
}

}  // namespace quorvant
