#pragma once
// Loading WAVE files: the chunk walk shared by the three operations, and the
// operations themselves. Every load is atomic: on failure the records are
// left exactly as they were.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "wave/byte_source.h"
#include "wave/messages.h"
#include "wave/wave_format.h"
#include "wave/wave_records.h"

namespace quorvant {

struct WaveChunks {
    WAVEFORMATEX format;       // 18 zero bytes overlaid with the "fmt " chunk's start
    bool floatSamples = false; // 32-bit float samples (tag 3 or extensible float)
    uint64_t dataOffset = 0;
    uint32_t dataSize = 0;     // declared size of the "data" chunk
};

// RIFF chunk of any form, a "fmt " chunk, then a "data" chunk after it.
// Empty when the input is not such a file.
std::optional<WaveChunks> WalkWaveChunks(ByteSource& source);

// Reads the "data" chunk's bytes [offset, offset + count) into `destination`:
// bytes past the end of the file read as zero, and float samples become
// integers (`offset` must be a multiple of 4 for them). Returns nothing; a
// short file is not an error, as for a whole load.
// `zeroed` says the destination already holds zeros (it is not cleared again).
void ReadSampleBytes(ByteSource& source, const WaveChunks& chunks, uint64_t offset, std::size_t count,
                     uint8_t* destination, bool zeroed = false);
// The whole "data" chunk as a block; throws std::bad_alloc.
InputBlock ReadWholeSamples(ByteSource& source, const WaveChunks& chunks);

// A file whose chunks were walked and checked, its samples not yet read.
struct OpenedWave {
    std::unique_ptr<FileSource> source;
    WaveChunks chunks;
};
enum class WaveChecks { MainWindow, BatchRun };
// The checks and messages of LoadWaveFile (MainWindow: 4-bit refused, float
// notice) or of LoadBatchFile (BatchRun), without reading the samples.
std::optional<OpenedWave> OpenWaveFile(const std::string& path, WaveChecks checks, MessageSink& messages);

// A file accepted into the batch list.
struct ListedFile {
    std::string folder;  // FolderPart of the path
    std::string name;    // FileNamePart of the path
    std::string info;    // ListInfoText
    WAVEFORMATEX format;
};

// Main window: refuses 4-bit files, shows the float notice.
bool LoadWaveFile(const std::string& path, WaveRecords& records, MessageSink& messages);
// Batch list: checks the file without reading its samples.
std::optional<ListedFile> AddFileToList(const std::string& path, MessageSink& messages);
// Batch run: loads any walkable file, converts floats without a notice.
bool LoadBatchFile(const std::string& path, WaveRecords& records, MessageSink& messages);

// The same operations on an input that is already open (fuzzing, tests);
// `path` only appears in messages.
bool LoadWaveSource(ByteSource& source, const std::string& path, WaveRecords& records, MessageSink& messages);
std::optional<ListedFile> ListWaveSource(ByteSource& source, const std::string& path, MessageSink& messages);
bool LoadBatchSource(ByteSource& source, const std::string& path, WaveRecords& records, MessageSink& messages);

}  // namespace quorvant
