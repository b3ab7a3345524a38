#include "audio/TakeWriter.h"

#include <chrono>
#include <cstring>

TTakeWriter::~TTakeWriter() { Finish(); }

void TTakeWriter::Start(TStream* stream, std::uint64_t size, std::uint32_t blockBytes, unsigned blocks)
{
    Finish();
    if (!FBlocks || blockBytes != FBlockBytes || blocks != FCount) {
        FBlocks.reset();
        FBlocks = std::make_unique<std::uint8_t[]>(std::size_t{blockBytes} * blocks);
        FLengths.assign(blocks, 0);
        FBlockBytes = blockBytes;
        FCount = blocks;
    }
    FAppender.Start(stream, size);
    FFileSize = size;
    FErrorCode = 0;
    FFirst = FQueued = 0;
    FFinishing = false;
    FState = twOpen;
    FThread = std::thread([this] { Run(); });
}

bool TTakeWriter::Push(const void* data, std::uint32_t n) noexcept
{
    std::lock_guard<std::mutex> hold(FLock);
    if (FState.load() != twOpen || FFinishing) return false;
    if (FQueued == FCount || n > FBlockBytes) {
        Fail(twSoundLost);
        return false;
    }
    const unsigned block = (FFirst + FQueued) % FCount;
    std::memcpy(FBlocks.get() + std::size_t{block} * FBlockBytes, data, n);
    FLengths[block] = n;
    ++FQueued;
    FWake.notify_one();
    return true;
}

void TTakeWriter::Run() noexcept
{
    std::unique_lock<std::mutex> hold(FLock);
    for (;;) {
        FWake.wait(hold, [this] { return FQueued > 0 || FFinishing; });
        if (FQueued == 0) break;
        const unsigned block = FFirst;
        hold.unlock();
        // Only this thread reads a queued block, and Push never refills it before it is popped.
        const TWaveAppender::TResult r =
            FAppender.Append(FBlocks.get() + std::size_t{block} * FBlockBytes, FLengths[block]);
        hold.lock();
        FFirst = (FFirst + 1) % FCount;
        --FQueued;
        if (r == TWaveAppender::arOk) {
            FFileSize = FAppender.Size();
        } else {
            // What is still queued comes after the hole: it goes, unwritten.
            FErrorCode = r == TWaveAppender::arWriteFailed ? FAppender.ErrorCode : 0;
            Fail(r == TWaveAppender::arLimit ? twSizeLimit : twWriteFailed);
            FQueued = 0;
        }
        if (FQueued == 0) FEmptied.notify_all();
    }
}

void TTakeWriter::Fail(TState state) noexcept
{
    TState open = twOpen;
    FState.compare_exchange_strong(open, state);
}

void TTakeWriter::Finish()
{
    if (!FThread.joinable()) return;
    {
        std::lock_guard<std::mutex> hold(FLock);
        FFinishing = true;
        FWake.notify_one();
    }
    FThread.join();
    FAppender.Stop();
    TState open = twOpen;
    FState.compare_exchange_strong(open, twClosed);
}

bool TTakeWriter::WaitWritten(unsigned ms)
{
    std::unique_lock<std::mutex> hold(FLock);
    // The block being written counts as queued until it is in the file.
    return FEmptied.wait_for(hold, std::chrono::milliseconds(ms), [this] { return FQueued == 0; });
}
