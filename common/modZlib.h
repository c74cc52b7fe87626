// modZlib: data that a program carries inside itself, and the zlib presence check.
//
// Packed data is stored as Base64 text of an HE3 container, split into text
// pieces. The pieces are generated at build time by the he3pack tool (CMake
// function quorvane_pack_file); a generated header exposes them as a
// PackedPieces span whose texts live for the whole run. These functions are
// generic over such a span, so the same code unpacks any packed file (the
// report library's default template, for instance).
//
// A program whose own stored data fails to unpack (damaged piece, check byte
// mismatch) shows kStoredDataCorruptMessage and ends.
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "common/ErrorNumbers.h"
#include "common/Status.h"

namespace quorvane {

using PackedPieces = std::span<const std::string_view>;

inline constexpr std::string_view kStoredDataCorruptMessage =
    "Error occured during decompression of data.\r\n"
    "The executable may be corrupt.\r\n"
    "\r\n"
    "Please try downloading again ...";

// The text shown when the program's own stored data cannot be unpacked.
std::string corruptStoredDataMessage();

// The concatenation of all elements, in index order (one allocation).
std::string appendFromArray(PackedPieces parts);

// The stored Base64 text, joined from its pieces.
std::string getEncodedFile(PackedPieces pieces);

// The packed file's bytes: Base64 decode, then HE3 decode with its check
// byte verified. A check-byte mismatch fails with kErrHe3CheckByte; a piece
// that is no longer valid Base64 fails with kErrB64Malformed; a broken
// container fails with kErrHe3NotIdentified or kErrHe3Corrupt.
Expected<std::string> getFile(PackedPieces pieces);

// Makes sure the zlib library is usable. On this platform zlib is the linked
// system library: the check is that it answers with a version whose major
// number is the one the program was built against.
Status checkForZlib();

}  // namespace quorvane
