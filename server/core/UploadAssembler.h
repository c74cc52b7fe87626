// UploadAssembler: the upload buffer of one inbound connection.
//
// Pieces are appended until the end marker FD 01 FE 02 FF 04 arrives; the
// bytes before the first marker are the upload, anything after it in the
// same piece is dropped. The marker is found even when it is split across
// pieces (the last five buffered bytes are searched together with the new
// piece). The upload is bounded: a buffer past `maxUpload` bytes without a
// marker, or a marker found past that bound, is an overflow, and the buffer
// is emptied. The buffer grows only by pieces that can still be part of an
// upload within the bound, so a sender never makes it allocate past that.
// Pure logic, no I/O; one instance per connection.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvane {

// Sized to real audits (the stored form of the largest record a reader takes).
inline constexpr std::size_t kMaxUploadBytes = 16u * 1024 * 1024;

class UploadAssembler {
 public:
  enum class Outcome { NeedMore, Complete, Overflow };
  struct Result {
    Outcome outcome = Outcome::NeedMore;
    std::string upload;  // set for Complete
  };

  explicit UploadAssembler(std::size_t maxUpload = kMaxUploadBytes) : maxUpload_(maxUpload) {}

  Result feed(std::string_view piece);
  std::size_t buffered() const { return buffer_.size(); }
  // The memory the buffer holds (its capacity), for the intake's bounds.
  std::size_t held() const { return buffer_.empty() ? 0 : buffer_.capacity(); }
  // What held() may become when a piece of `more` bytes is fed (the string's
  // growth doubles its capacity), so the intake can make room beforehand.
  std::size_t heldAfter(std::size_t more) const;
  void clear() { buffer_.clear(); buffer_.shrink_to_fit(); }

 private:
  std::size_t findMarker(std::string_view piece) const;
  Result complete(std::size_t at, std::string_view piece);

  std::size_t maxUpload_;
  std::string buffer_;
};

}  // namespace quorvane
