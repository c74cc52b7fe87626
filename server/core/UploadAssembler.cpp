#include "server/core/UploadAssembler.h"

#include <algorithm>

#include "server/core/CommandTokens.h"

namespace quorvane {

namespace {
constexpr std::size_t kOverlap = kEndMarker.size() - 1;
}  // namespace

std::size_t UploadAssembler::heldAfter(std::size_t more) const {
  // The buffer never takes more than the largest upload and a split marker.
  const std::size_t need = std::min(buffer_.size() + more, maxUpload_ + kOverlap);
  if (need <= buffer_.capacity()) return need == 0 ? 0 : buffer_.capacity();
  return std::max(need, 2 * buffer_.capacity());
}

// Where the first marker starts in the buffer followed by `piece`, or npos:
// first across the seam (the last buffered bytes with the piece's first
// ones), then inside the piece.
std::size_t UploadAssembler::findMarker(std::string_view piece) const {
  const std::size_t tail = std::min(kOverlap, buffer_.size());
  std::string seam = buffer_.substr(buffer_.size() - tail);
  seam.append(piece.substr(0, std::min(piece.size(), kOverlap)));
  const std::size_t inSeam = seam.find(kEndMarker);
  if (inSeam != std::string::npos) return buffer_.size() - tail + inSeam;
  const std::size_t inPiece = piece.find(kEndMarker);
  return inPiece == std::string::npos ? std::string::npos : buffer_.size() + inPiece;
}

UploadAssembler::Result UploadAssembler::feed(std::string_view piece) {
  const std::size_t at = findMarker(piece);
  Result result;
  if (at == std::string::npos) {
    if (buffer_.size() + piece.size() > maxUpload_ + kOverlap) {
      clear();
      result.outcome = Outcome::Overflow;
    } else {
      buffer_.append(piece);
    }
    return result;
  }
  if (at > maxUpload_) {
    clear();
    result.outcome = Outcome::Overflow;
    return result;
  }
  return complete(at, piece);
}

// The upload ends at `at`; what the piece holds after the marker is dropped.
// The upload leaves with no more memory than it needs (the growth of its
// buffer could have doubled it), since it waits in queues counted by size.
UploadAssembler::Result UploadAssembler::complete(std::size_t at, std::string_view piece) {
  if (at >= buffer_.size()) {
    buffer_.append(piece.substr(0, at - buffer_.size()));
  } else {
    buffer_.resize(at);
  }
  if (buffer_.capacity() - buffer_.size() > buffer_.size() / 4 + 4096) buffer_.shrink_to_fit();
  Result result;
  result.outcome = Outcome::Complete;
  result.upload = std::move(buffer_);
  buffer_ = std::string();
  return result;
}

}  // namespace quorvane
