// Scan I's parallel reading: worker threads read the archives' descriptions
// ahead of the job, which takes the results in its own order and does every
// host call itself. At most `window` results wait at any time, so memory does
// not grow with the number of archives.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/file_info.h"
#include "scan/description_source.h"

namespace lumora {

// A message box a worker's reading asked for, shown by the job in its place.
struct DeferredBox {
    bool exception = false;  // ExtractionHooks::showException, else messageBox
    std::string caption;
    std::string text;
};

// One archive as read: its size and date (none when it cannot be opened),
// then its description.
struct ArchiveRead {
    std::optional<ArchiveFileStat> stat;
    ExtractionOutcome outcome;
    std::vector<DeferredBox> boxes;
    std::exception_ptr error;  // what escaped the reading, raised again by Take
};

class ReadAhead {
public:
    using MakeSource = std::function<std::unique_ptr<DescriptionSource>(ExtractionHooks)>;
    // Reads archive `index` with the worker's own source (the boxes are
    // collected by the worker).
    using Read = std::function<ArchiveRead(std::size_t index, DescriptionSource& source)>;

    ReadAhead(std::size_t count, int workers, std::size_t window, const MakeSource& makeSource,
              Read read);
    // Stops the workers after the archive each is reading.
    ~ReadAhead();
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // The result of archive `index`, taken in order (0, 1, ...); nullopt when
    // it is not ready within `wait`. Raises what escaped its reading.
    std::optional<ArchiveRead> TryTake(std::size_t index, std::chrono::milliseconds wait);

private:
    struct Slot {
        std::optional<std::size_t> index;
        ArchiveRead read;
    };
    void Work(DescriptionSource& source, std::vector<DeferredBox>& boxes);
    bool RunReady() const;  // with mutex_ held

    const std::size_t count_;
    const std::size_t window_;
    const Read read_;
    std::mutex mutex_;
    // Two conditions, so a finished read wakes only the job and a taken
    // result only a worker that waits for room.
    std::condition_variable ready_;  // a result arrived (the job waits)
    std::condition_variable room_;   // the window moved on, or stop (workers wait)
    int waitingForRoom_ = 0;
    std::vector<Slot> slots_;  // archive i waits in slots_[i % window_]
    std::size_t next_ = 0;     // the next archive a worker claims
    std::size_t taken_ = 0;    // archives the job has taken
    bool stop_ = false;
    std::vector<std::thread> threads_;
};

}  // namespace lumora
