#include "convert/piece_writer.h"

namespace quorvant {

PieceWriter::PieceWriter(WriteFn write) : write_(std::move(write)), thread_([this] { run(); }) {}

PieceWriter::~PieceWriter() { finish(); }

void PieceWriter::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return hasPending_ || stopping_; });
        if (!hasPending_)
            return;
        lock.unlock();
        const bool ok = write_(pending_.data(), count_, offset_);
        lock.lock();
        failed_ = failed_ || !ok;
        hasPending_ = false;
        changed_.notify_all();
    }
}

bool PieceWriter::hand(std::vector<uint8_t>& piece, std::size_t count, uint64_t offset)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return !hasPending_; });
    if (failed_)
        return false;
    pending_.swap(piece);
    if (piece.size() < pending_.size())
        piece.resize(pending_.size());
    count_ = count;
    offset_ = offset;
    hasPending_ = true;
    changed_.notify_all();
    return true;
}

bool PieceWriter::finish()
{
    {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [this] { return !hasPending_; });
        stopping_ = true;
        changed_.notify_all();
    }
    if (thread_.joinable())
        thread_.join();
    return !failed_;
}

}  // namespace quorvant
