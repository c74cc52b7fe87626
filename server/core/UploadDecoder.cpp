#include "server/core/UploadDecoder.h"

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

bool UploadDecoder::submit(const std::string& ip, std::string upload) {
  {
    std::lock_guard lock(mutex_);
    auto& queue = queues_[ip];
    if (queue.size() >= limits_.perSource || waitingBytes_ + upload.size() > limits_.totalBytes) {
      if (queue.empty()) queues_.erase(ip);
      return false;
    }
    if (queue.empty()) turns_.push_back(ip);
    waitingBytes_ += upload.size();
    queue.push_back(std::move(upload));
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

// The next source's oldest upload; that source goes to the end of the turns.
bool UploadDecoder::takeNext(std::string& ip, std::string& upload) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [this] { return stopping_ || !turns_.empty(); });
  if (stopping_) return false;
  ip = std::move(turns_.front());
  turns_.pop_front();
  auto it = queues_.find(ip);
  upload = std::move(it->second.front());
  it->second.pop_front();
  waitingBytes_ -= upload.size();
  if (it->second.empty()) {
    queues_.erase(it);
  } else {
    turns_.push_back(ip);
  }
  ++inHand_;
  return true;
}

void UploadDecoder::run() {
  std::string ip;
  std::string upload;
  while (takeNext(ip, upload)) {
    Expected<AuditRecord> record = decode_(upload);
    // Handed to the owner's thread; dropped there if the decoder is gone.
    QMetaObject::invokeMethod(
        this,
        [this, ip, upload = std::move(upload), record = std::move(record)]() mutable {
          {
            std::lock_guard lock(mutex_);
            --inHand_;
          }
          done_(ip, std::move(upload), std::move(record));
        },
        Qt::QueuedConnection);
    upload = std::string();
  }
}

}  // namespace quorvane
