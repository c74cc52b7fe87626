// clsHuffman: the byte-oriented Huffman coder and its "HE3"/"HE0" container.
//
// Container: "HE3" or "HE0", then CR (13). A stored container ("HE0") holds
// the bytes themselves. A compressed one ("HE3") holds a check byte (XOR of
// all uncompressed bytes), the uncompressed length (signed 32-bit, little
// endian), the symbol count (16-bit), the symbol table (value, code length)
// in ascending value order, the code bits of each symbol and the data bits;
// bits are packed from the least significant bit up, and the code bits and the
// data bits each start on a fresh byte.
//
// Byte arrays and texts are std::string holding 8-bit bytes. The class holds
// no state; one object may serve any number of calls.
//
// The decoder takes untrusted bytes: every count is checked against the bytes
// present, impossible code tables are refused, and a length that the data
// bits cannot supply is an error. Errors come back as values with the source
// "HuffmanDecode()" (or "HuffmanEncode()").
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "common/ErrorNumbers.h"
#include "common/Status.h"

namespace quorvane {

inline constexpr std::string_view kHe3DecodeSource = "HuffmanDecode()";
inline constexpr std::string_view kHe3EncodeSource = "HuffmanEncode()";
inline constexpr std::string_view kHe3NotIdentifiedText =
    "The data either was not compressed with HE3 or is corrupt (identification string not found)";
inline constexpr std::string_view kHe3CheckByteText =
    "The data was decoded but does not match its check byte";

class clsHuffman {
 public:
  clsHuffman() = default;

  // Replaces `bytes` with its container (compressed or stored). Fails only for
  // input longer than 2^31 - 1 bytes; `bytes` is then left unchanged.
  Status EncodeByte(std::string& bytes) const;

  // Replaces the container in `bytes` with the uncompressed bytes. On failure
  // `bytes` is left unchanged.
  Status DecodeByte(std::string& bytes) const;

  // The container of `text`.
  Expected<std::string> EncodeString(std::string_view text) const;

  // The content of the container `text`.
  Expected<std::string> DecodeString(std::string_view text) const;
};

}  // namespace quorvane
