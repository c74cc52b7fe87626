#include "server/core/UploadDecoder.h"

#include "server/core/ResourceLimits.h"

#include <iterator>
#include <utility>

namespace quorvane {

UploadDecoder::UploadDecoder(Decode decode, Done done, DecodeQueueLimits limits, QObject* parent)
    : QObject(parent), decode_(std::move(decode)), done_(std::move(done)), limits_(limits) {
  worker_ = std::thread([this] { run(); });
}

UploadDecoder::~UploadDecoder() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  worker_.join();
}

bool UploadDecoder::submit(const std::string& ip, std::string upload, std::uint64_t cost) {
  {
    std::lock_guard lock(mutex_);
    auto& queue = queues_[ip];
    if (queue.size() >= limits_.perSource || waitingBytes_ + upload.size() > limits_.totalBytes) {
      if (queue.empty()) queues_.erase(ip);
      return false;
    }
    waitingBytes_ += upload.size();
    queue.push_back({std::move(upload), cost, arrivals_++});
  }
  wake_.notify_one();
  return true;
}

std::size_t UploadDecoder::pending() const {
  std::lock_guard lock(mutex_);
  std::size_t n = inHand_;
  for (const auto& [ip, queue] : queues_) n += queue.size();
  return n;
}

// The cheapest upload at the head of a source's queue (the earliest of equals).
bool UploadDecoder::takeNext(std::string& ip, std::string& upload) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return stopping_ || (!queues_.empty() && inHand_ < limits_.resultsInFlight); });
  if (stopping_) return false;
  auto best = queues_.begin();
  for (auto it = std::next(best); it != queues_.end(); ++it) {
    const Waiting& a = it->second.front();
    const Waiting& b = best->second.front();
    if (a.cost < b.cost || (a.cost == b.cost && a.order < b.order)) best = it;
  }
  ip = best->first;
  upload = std::move(best->second.front().upload);
  best->second.pop_front();
  waitingBytes_ -= upload.size();
  if (best->second.empty()) queues_.erase(best);
  ++inHand_;
  return true;
}

void UploadDecoder::run() {
  lowerThisThreadsPriority();  // the event loop (sockets, time-outs, signals) comes first
  std::string ip;
  std::string upload;
  while (takeNext(ip, upload)) {
    Expected<AuditRecord> record = decode_(ip, upload);
    // Handed to the owner's thread; dropped there if the decoder is gone.
    QMetaObject::invokeMethod(
        this,
        [this, ip, upload = std::move(upload), record = std::move(record)]() mutable {
          {
            std::lock_guard lock(mutex_);
            --inHand_;
          }
          wake_.notify_one();
          done_(ip, std::move(upload), std::move(record));
        },
        Qt::QueuedConnection);
    upload = std::string();
  }
}

}  // namespace quorvane
