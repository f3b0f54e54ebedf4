#pragma once
// Writes converted pieces on a second thread while the next piece is being
// converted, so that copying into the file overlaps the conversion. Pieces
// go out in the order they were handed over, through one sink.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace quorvant {

class PieceWriter {
public:
    // `write(bytes, count, offset)` runs on the writer thread, one piece at a time.
    using WriteFn = std::function<bool(uint8_t*, std::size_t, uint64_t)>;
    explicit PieceWriter(WriteFn write);
    ~PieceWriter();
    PieceWriter(const PieceWriter&) = delete;
    PieceWriter& operator=(const PieceWriter&) = delete;

    // Takes the first `count` bytes of `piece` for writing and gives back in
    // `piece` a buffer to fill next (waits while the previous piece is still
    // being written). False once a write has failed.
    bool hand(std::vector<uint8_t>& piece, std::size_t count, uint64_t offset);
    // Waits until every piece is written; false when a write failed.
    bool finish();

private:
    void run();

    WriteFn write_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<uint8_t> pending_;
    std::size_t count_ = 0;
    uint64_t offset_ = 0;
    bool hasPending_ = false, stopping_ = false, failed_ = false;
    std::thread thread_;
};

}  // namespace quorvant
