#include "server/core/UploadAssembler.h"

#include "server/core/CommandTokens.h"

namespace quorvane {

UploadAssembler::Result UploadAssembler::feed(std::string_view piece) {
  const std::size_t overlap = kEndMarker.size() - 1;
  const std::size_t from = buffer_.size() > overlap ? buffer_.size() - overlap : 0;
  buffer_.append(piece);
  const std::size_t at = buffer_.find(kEndMarker, from);
  Result result;
  if (at == std::string::npos) {
    if (buffer_.size() > maxUpload_ + overlap) {
      clear();
      result.outcome = Outcome::Overflow;
    }
    return result;
  }
  if (at > maxUpload_) {
    clear();
    result.outcome = Outcome::Overflow;
    return result;
  }
  buffer_.resize(at);
  result.outcome = Outcome::Complete;
  result.upload = std::move(buffer_);
  buffer_ = std::string();
  return result;
}

}  // namespace quorvane
