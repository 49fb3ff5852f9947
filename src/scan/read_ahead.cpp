#include "scan/read_ahead.h"

#include <algorithm>
#include <utility>

namespace lumora {

namespace {

// Results the job is woken for at a time: it takes them in one go, instead
// of going to sleep and being woken again for every archive.
constexpr std::size_t kWakeRun = 4;

}  // namespace

ReadAhead::ReadAhead(std::size_t count, int workers, std::size_t window,
                     const MakeSource& makeSource, Read read)
    : count_(count), window_(std::max<std::size_t>(window, 1)), read_(std::move(read)) {
    slots_.resize(window_);
    const int n = std::max(workers, 1);
    threads_.reserve(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        // Each worker has its own source, whose boxes it collects per archive.
        auto boxes = std::make_shared<std::vector<DeferredBox>>();
        ExtractionHooks hooks;
        hooks.messageBox = [boxes](const std::string& caption, const std::string& text) {
            boxes->push_back({false, caption, text});
        };
        hooks.showException = [boxes](const std::string& text) {
            boxes->push_back({true, "", text});
        };
        std::shared_ptr<DescriptionSource> source = makeSource(std::move(hooks));
        threads_.emplace_back([this, source, boxes] { Work(*source, *boxes); });
    }
}

ReadAhead::~ReadAhead() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    room_.notify_all();
    for (auto& t : threads_) t.join();
}

void ReadAhead::Work(DescriptionSource& source, std::vector<DeferredBox>& boxes) {
    for (;;) {
        std::size_t index = 0;
        {
            std::unique_lock lock(mutex_);
            ++waitingForRoom_;
            room_.wait(lock, [&] { return stop_ || (next_ < count_ && next_ < taken_ + window_); });
            --waitingForRoom_;
            if (stop_) return;
            index = next_++;
        }
        ArchiveRead r;
        boxes.clear();
        try {
            r = read_(index, source);
        } catch (...) {
            r.error = std::current_exception();
        }
        r.boxes = std::move(boxes);
        bool wake = false;
        {
            std::lock_guard lock(mutex_);
            slots_[index % window_] = {index, std::move(r)};
            wake = RunReady();
        }
        if (wake) ready_.notify_one();
    }
}

// Whether the next results in order are there to be taken together: kWakeRun
// of them, or all that are left, or as many as the window holds.
bool ReadAhead::RunReady() const {
    const std::size_t run = std::min({kWakeRun, count_ - taken_, window_});
    for (std::size_t i = taken_; i < taken_ + run; ++i) {
        if (slots_[i % window_].index != i) return false;
    }
    return true;
}

std::optional<ArchiveRead> ReadAhead::TryTake(std::size_t index, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex_);
    Slot& slot = slots_[index % window_];
    if (!ready_.wait_for(lock, wait, [&] { return slot.index == index; })) return std::nullopt;
    ArchiveRead r = std::move(slot.read);
    slot = {};
    taken_ = index + 1;
    const bool waiting = waitingForRoom_ > 0;
    lock.unlock();
    if (waiting) room_.notify_one();
    if (r.error) std::rethrow_exception(r.error);
    return r;
}

}  // namespace lumora
