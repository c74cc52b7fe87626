// UploadDecoder: decodes complete uploads on a worker thread, so that
// inflating and reading them (a bomb costs the most) never holds the event
// loop: sockets, time-outs and the termination signal go on meanwhile.
//
// Cheapest first, fair across sources: each upload comes with its cost (the
// length it declares: inflating and reading take time in proportion to it,
// whatever the sender puts on the wire), each source address has its own
// queue, and the worker takes the cheapest of the uploads at the heads of the
// queues (the earliest among equals). A flood of bombs, which must declare
// much to cost much, thus waits behind every ordinary audit, and a source
// that sends many uploads delays another source's cheaper one by at most the
// upload in hand. A source may have `perSource` uploads waiting and all
// waiting uploads together at most `totalBytes`; submit refuses more. At
// most `resultsInFlight` results wait for the owner's loop at once.
//
// The result of each upload reaches `done` on the thread that owns the
// decoder (its event loop), in the order of each source's submissions.
// Destroying the decoder waits for the upload in hand and drops the rest.
#pragma once

#include <QObject>
#include <condition_variable>
#include <cstdint>
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
  // Results decoded but not yet taken by the owner's event loop: the worker
  // waits rather than pile up records (up to 16 MiB each) when the loop is
  // slower than it.
  std::size_t resultsInFlight = 2;
};

class UploadDecoder : public QObject {
  Q_OBJECT

 public:
  // Runs on the worker: it may also do the slow work that goes with a
  // result (keeping a rejected upload's copy), away from the event loop.
  using Decode = std::function<Expected<AuditRecord>(const std::string& ip, std::string_view upload)>;
  using Done = std::function<void(const std::string& ip, std::string upload, Expected<AuditRecord> record)>;

  UploadDecoder(Decode decode, Done done, DecodeQueueLimits limits = {}, QObject* parent = nullptr);
  ~UploadDecoder() override;
  UploadDecoder(const UploadDecoder&) = delete;
  UploadDecoder& operator=(const UploadDecoder&) = delete;

  // Queues one upload; false (nothing queued) when its source or the whole
  // queue is full.
  bool submit(const std::string& ip, std::string upload, std::uint64_t cost);
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
  struct Waiting {
    std::string upload;
    std::uint64_t cost = 0;
    std::uint64_t order = 0;  // arrival
  };
  std::map<std::string, std::deque<Waiting>> queues_;
  std::uint64_t arrivals_ = 0;
  std::size_t waitingBytes_ = 0;
  std::size_t inHand_ = 0;
  bool stopping_ = false;
  std::thread worker_;
};

}  // namespace quorvane
