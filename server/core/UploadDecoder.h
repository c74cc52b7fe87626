// UploadDecoder: decodes complete uploads on a worker thread, so that
// inflating and reading them (a bomb costs the most) never holds the event
// loop: sockets, time-outs and the termination signal go on meanwhile.
//
// Fair across sources: each source address has its own queue, and the worker
// takes one upload from each waiting source in turn, so a source that sends
// many (or costly) uploads delays another source's upload by at most one of
// its own. A source may have `perSource` uploads waiting and all waiting
// uploads together at most `totalBytes`; submit refuses more.
//
// The result of each upload reaches `done` on the thread that owns the
// decoder (its event loop), in the order of each source's submissions.
// Destroying the decoder waits for the upload in hand and drops the rest.
#pragma once

#include <QObject>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "common/AuditRecord.h"
#include "common/Status.h"

namespace quorvane {

struct DecodeQueueLimits {
  std::size_t perSource = 2;
  std::size_t totalBytes = 64u * 1024 * 1024;
};

class UploadDecoder : public QObject {
  Q_OBJECT

 public:
  using Decode = std::function<Expected<AuditRecord>(std::string_view upload)>;
  using Done = std::function<void(const std::string& ip, std::string upload, Expected<AuditRecord> record)>;

  UploadDecoder(Decode decode, Done done, DecodeQueueLimits limits = {}, QObject* parent = nullptr);
  ~UploadDecoder() override;
  UploadDecoder(const UploadDecoder&) = delete;
  UploadDecoder& operator=(const UploadDecoder&) = delete;

  // Queues one upload; false (nothing queued) when its source or the whole
  // queue is full.
  bool submit(const std::string& ip, std::string upload);
  // Uploads waiting or being decoded.
  std::size_t pending() const;

 private:
  void run();
  bool takeNext(std::string& ip, std::string& upload);

  Decode decode_;
  Done done_;
  DecodeQueueLimits limits_;
  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::map<std::string, std::deque<std::string>> queues_;
  std::deque<std::string> turns_;  // sources with waiting uploads, in turn order
  std::size_t waitingBytes_ = 0;
  std::size_t inHand_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace quorvane
