// Carries captured buffers from the capture thread to the take file. The capture callback only copies each
// buffer into a block of a fixed queue; a thread of the writer's own appends the blocks to the file. A write
// that stalls (a slow disk, a busy share, a drive spinning up) then holds up neither the callback nor the
// device's ring: the queue holds kTakeQueueBlocks buffers (about six seconds of a take) before sound is lost.
// Pure (standard threads over any TStream), so it is tested natively.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "audio/WaveFile.h"

constexpr unsigned kTakeQueueBlocks = 32;

class TTakeWriter {
public:
    // How the take's appending stands. Everything but twOpen and twClosed ends appending for good: a take
    // with a hole in it would pretend to be whole.
    enum TState { twClosed, twOpen, twSoundLost, twSizeLimit, twWriteFailed };

    TTakeWriter() = default;
    ~TTakeWriter();
    TTakeWriter(const TTakeWriter&) = delete;
    TTakeWriter& operator=(const TTakeWriter&) = delete;

    // Main thread. Starts appending to stream, whose first size bytes are the header; the blocks are
    // allocated here (again only when their size changes), never while the take runs.
    void Start(TStream* stream, std::uint64_t size, std::uint32_t blockBytes, unsigned blocks = kTakeQueueBlocks);
    // Capture thread: copies n bytes (at most the block size) into the queue and wakes the writer. False when
    // the take takes no more data: not started, ended by a failure, or the queue is full, which loses sound
    // and ends the take there (state twSoundLost).
    bool Push(const void* data, std::uint32_t n) noexcept;
    // Main thread: writes what is queued, ends the thread and lets go of the stream. The state stays.
    void Finish();
    // Main thread: waits up to ms milliseconds for the queue to be written out; true when it is.
    bool WaitWritten(unsigned ms);

    TState State() const { return FState.load(); }
    // Bytes in the file as far as it has been written (header included).
    std::uint64_t FileSize() const { return FFileSize.load(); }
    // Platform error code of a failed write (0 if none or unknown).
    unsigned long ErrorCode() const { return FErrorCode.load(); }
    // The appender's settings (limit, truncation, error code source); set before Start.
    TWaveAppender& Appender() { return FAppender; }

private:
    void Run() noexcept;
    // Ends appending with state (once: the first failure is the one reported).
    void Fail(TState state) noexcept;

    TWaveAppender FAppender;
    std::unique_ptr<std::uint8_t[]> FBlocks;
    std::vector<std::uint32_t> FLengths;
    std::uint32_t FBlockBytes = 0;
    unsigned FCount = 0;  // blocks allocated
    // Guarded by FLock: the queue is blocks FFirst .. FFirst + FQueued - 1 (mod FCount).
    std::mutex FLock;
    std::condition_variable FWake, FEmptied;
    unsigned FFirst = 0, FQueued = 0;
    bool FFinishing = false;
    std::atomic<TState> FState{twClosed};
    std::atomic<std::uint64_t> FFileSize{0};
    std::atomic<unsigned long> FErrorCode{0};
    std::thread FThread;
};
