// The per-pixel engine: one library call per pixel and computed channel.
// Programs that call put or rnd run on one thread in visiting order (rows
// top to bottom, columns left to right, channels in order) with one record
// for the whole frame; the others are spread over threads by rows, each
// thread with its own record, which gives the same bytes for any number of
// threads.
#include <algorithm>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tools/zorvan/engine.h"
#include "tools/zorvan/frame.h"
#include "tools/zorvan/row_blocks.h"

namespace zv::cli {

namespace {

// One thread that lives as long as the engine and runs its tasks one at a
// time. rnd keeps its state per thread, so running every ordered frame here
// makes the random sequence start afresh with each engine and run on from
// one frame to the next, whatever ran in the process before.
class SerialThread {
   public:
    SerialThread() : thread_([this] { Loop(); }) {}
    ~SerialThread() {
        {
            std::lock_guard lock(mutex_);
            stop_ = true;
        }
        changed_.notify_all();
        thread_.join();
    }

    void Run(const std::function<void()>& task) {
        std::unique_lock lock(mutex_);
        task_ = &task;
        changed_.notify_all();
        changed_.wait(lock, [this] { return task_ == nullptr; });
    }

   private:
    void Loop() {
        std::unique_lock lock(mutex_);
        for (;;) {
            changed_.wait(lock, [this] { return stop_ || task_ != nullptr; });
            if (stop_) return;
            (*task_)();
            task_ = nullptr;
            changed_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    const std::function<void()>* task_ = nullptr;
    bool stop_ = false;
    std::thread thread_;
};

class PixelEngine final : public Engine {
   public:
    PixelEngine(const Program& program, unsigned threads)
        : program_(program), threads_(std::max(1u, threads)) {}

    std::string Path(int channel, int32_t channels) const override {
        if (channel >= channels) return "none";
        if (!program_.Computes(channel)) return "kept";
        if (program_.visitingOrder) return "per-pixel, 1 thread in visiting order (put/rnd)";
        return "per-pixel, " + std::to_string(threads_) + (threads_ == 1 ? " thread" : " threads");
    }

    Image Render(const Image& source, const FrameSettings& settings, Progress& progress) override {
        const int32_t channels = OutputChannels(program_, source);
        Image out = WithChannels(source, channels);
        const FrameRecord frame(source, channels, settings);
        std::vector<int32_t> computed;
        for (int32_t k = 0; k < channels; ++k) {
            if (program_.Computes(k)) computed.push_back(k);
        }
        const auto rows = [&](PixelContext& record, int32_t from, int32_t to) {
            for (int32_t y = from; y < to; ++y) {
                RenderPixelRow(program_, source, out, computed, record, y);
                progress.Advance(1);
            }
        };
        if (program_.visitingOrder) {
            if (!serial_) serial_ = std::make_unique<SerialThread>();
            serial_->Run([&] {
                PixelContext record = frame.Fresh();
                rows(record, 0, source.height);
            });
        } else {
            ForEachRowBlock(
                threads_, source.height, [&frame] { return frame.Fresh(); }, rows);
        }
        return out;
    }

   private:
    const Program& program_;
    unsigned threads_;
    std::unique_ptr<SerialThread> serial_;
};

}  // namespace

std::unique_ptr<Engine> MakePixelEngine(const Program& program, unsigned threads) {
    return std::make_unique<PixelEngine>(program, threads);
}

}  // namespace zv::cli
