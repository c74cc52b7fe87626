// clsB64: Base64 text (RFC 4648 alphabet and padding, no line breaks).
//
// The tables are filled by Init; the constructor runs Init as well, so an
// object is usable as soon as it exists. Byte arrays are std::vector of
// uint8_t; texts are std::string holding 8-bit bytes. StrToAry and AryToStr
// convert between the two and leave every byte value unchanged.
//
// Decode takes untrusted text and refuses it (as an error value) when its
// length is not a multiple of 4, when it holds a character outside the
// alphabet, or when "=" stands anywhere but in the last one or two places.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "common/ErrorNumbers.h"
#include "common/Status.h"

namespace quorvane {

inline constexpr std::string_view kB64DecodeSource = "B64Decode()";

class clsB64 {
 public:
  clsB64() { Init(); }

  // Fills the encoding and decoding tables.
  void Init();

  static void StrToAry(std::string_view text, std::vector<std::uint8_t>& bytes);
  static void AryToStr(const std::vector<std::uint8_t>& bytes, std::string& text);

  // Base64 characters of `in`, as bytes.
  void Encode(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out) const;
  // Decoded bytes of the Base64 characters `in`. On failure `out` is left empty.
  Status Decode(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out) const;

  // The same on texts.
  std::string EncodeString(std::string_view bytes) const;
  Expected<std::string> DecodeString(std::string_view text) const;

 private:
  static constexpr std::uint8_t kInvalid = 0xFF;

  template <class Out>
  void encodeInto(const std::uint8_t* in, std::size_t n, Out& out) const;
  template <class Out>
  Status decodeInto(const std::uint8_t* in, std::size_t n, Out& out) const;

  std::array<char, 64> encodeTable_{};
  std::array<std::uint8_t, 256> decodeTable_{};
};

}  // namespace quorvane
