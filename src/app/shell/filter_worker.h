#pragma once

#include <QObject>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>
#include <vector>

#include "filter/filter_pass.h"

namespace linesift {

class TextDocument;

// Runs filter passes on a thread of its own, one at a time: a new request
// cancels the pass that is running. The chunks and the end of the latest
// pass arrive as signals on the thread that owns the worker; those of a
// pass that was replaced or stopped never arrive.
class FilterWorker : public QObject {
    Q_OBJECT
  public:
    explicit FilterWorker(QObject* parent = nullptr);
    // Stops the pass that is running and ends the thread.
    ~FilterWorker() override;

    // Starts a pass of request over document, cancelling the one running.
    // The document belongs to the caller and is neither loaded nor reset
    // until finished arrives or Stop returns; it may be read meanwhile.
    void Start(const FilterRequest& request, const TextDocument& document);
    // Decides only lines [begin, end) of document, lines a followed file
    // appended, cancelling the pass that is running; rangeReady brings the
    // verdicts. The document is neither changed nor reset until then.
    void StartRange(const FilterRequest& request, const TextDocument& document, size_t begin,
                    size_t end);
    // Cancels the running pass, if any, without waiting for it.
    void Cancel();
    // Cancels the running pass, if any, and returns once the worker no longer
    // reads the document (at most a chunk's time).
    void Stop();
    // A pass was started and neither finished nor was stopped.
    bool IsRunning() const { return running_; }

  signals:
    // Lines [begin, end) of total are decided: words holds their matched
    // bits, word 0 standing for lines begin to begin + 63.
    void chunkReady(size_t begin, size_t end, size_t total, const std::vector<uint64_t>& words);
    // The pass ended; result is the pass's whole result when status is Done.
    void finished(FilterStatus status, const FilterResult& result);
    // The range of StartRange is decided: bit i of matched stands for line
    // begin + i (see FilterRange for status).
    void rangeReady(size_t begin, FilterStatus status, const LineBits& matched);

  private:
    struct Job {
        uint64_t generation;
        FilterRequest request;
        const TextDocument* document;
        bool range = false;  // only lines [begin, end)
        size_t begin = 0;
        size_t end = 0;
    };

    void Loop();
    void Run(const Job& job);
    void RunRange(const Job& job);

    std::mutex mutex_;
    std::condition_variable wake_;  // a job or the end is waiting
    std::condition_variable idle_;  // the worker finished a job
    std::optional<Job> pending_;
    bool busy_ = false;
    bool quit_ = false;
    std::atomic<bool> cancel_{false};
    // Read and written on the owner's thread only: the latest pass; posts of
    // other passes are dropped.
    uint64_t generation_ = 0;
    bool running_ = false;
    std::thread thread_;  // last: it starts once the members above exist
};

}  // namespace linesift
