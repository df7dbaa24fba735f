#include "shell/filter_worker.h"

#include "document/text_document.h"
#include "filter/filter_range.h"

namespace linesift {

FilterWorker::FilterWorker(QObject* parent) : QObject(parent), thread_([this] { Loop(); }) {}

FilterWorker::~FilterWorker() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        quit_ = true;
        pending_.reset();
        cancel_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void FilterWorker::Start(const FilterRequest& request, const TextDocument& document) {
    ++generation_;
    running_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = Job{.generation = generation_, .request = request, .document = &document};
        cancel_ = true;
    }
    wake_.notify_all();
}

void FilterWorker::StartRange(const FilterRequest& request, const TextDocument& document,
                              size_t begin, size_t end) {
    ++generation_;
    running_ = true;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        pending_ = Job{.generation = generation_,
                       .request = request,
                       .document = &document,
                       .range = true,
                       .begin = begin,
                       .end = end};
        cancel_ = true;
    }
    wake_.notify_all();
}

void FilterWorker::Cancel() {
    ++generation_;
    running_ = false;
    std::lock_guard<std::mutex> lock(mutex_);
    pending_.reset();
    cancel_ = true;
}

void FilterWorker::Stop() {
    ++generation_;
    running_ = false;
    std::unique_lock<std::mutex> lock(mutex_);
    pending_.reset();
    cancel_ = true;
    idle_.wait(lock, [this] { return !busy_; });
}

void FilterWorker::Loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return quit_ || pending_.has_value(); });
        if (quit_) {
            return;
        }
        Job job = std::move(*pending_);
        pending_.reset();
        cancel_ = false;
        busy_ = true;
        lock.unlock();
        Run(job);
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

void FilterWorker::RunRange(const Job& job) {
    auto matched = std::make_shared<LineBits>();
    FilterStatus status =
        FilterRange(job.request, *job.document, job.begin, job.end, *matched, &cancel_);
    if (status == FilterStatus::Cancelled) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation = job.generation, begin = job.begin, status, matched] {
            if (generation == generation_) {
                running_ = false;
                emit rangeReady(begin, status, *matched);
            }
        },
        Qt::QueuedConnection);
}

void FilterWorker::Run(const Job& job) {
    if (job.range) {
        RunRange(job);
        return;
    }
    const uint64_t generation = job.generation;
    auto onChunk = [this, generation](const FilterChunk& chunk) {
        const auto& all = chunk.matched.Words();
        std::vector<uint64_t> words(all.begin() + static_cast<ptrdiff_t>(chunk.begin / 64),
                                    all.begin() + static_cast<ptrdiff_t>((chunk.end + 63) / 64));
        QMetaObject::invokeMethod(
            this,
            [this, generation, begin = chunk.begin, end = chunk.end, total = chunk.total,
             words = std::move(words)] {
                if (generation == generation_) {
                    emit chunkReady(begin, end, total, words);
                }
            },
            Qt::QueuedConnection);
    };
    auto result = std::make_shared<FilterResult>();
    FilterStatus status;
    try {
        status = RunFilterPass(job.request, *job.document, *result,
                               FilterPassOptions{.cancel = &cancel_, .on_chunk = onChunk});
    } catch (const std::bad_alloc&) {
        status = FilterStatus::OutOfMemory;
    }
    if (status == FilterStatus::Cancelled) {
        return;
    }
    QMetaObject::invokeMethod(
        this,
        [this, generation, status, result] {
            if (generation == generation_) {
                running_ = false;
                emit finished(status, *result);
            }
        },
        Qt::QueuedConnection);
}

}  // namespace linesift
