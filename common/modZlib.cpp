#include "common/modZlib.h"

#include <zlib.h>

#include "common/clsB64.h"
#include "common/clsHuffman.h"

namespace quorvane {

std::string corruptStoredDataMessage() { return std::string(kStoredDataCorruptMessage); }

std::string appendFromArray(PackedPieces parts) {
  std::size_t total = 0;
  for (std::string_view p : parts) total += p.size();
  std::string out;
  out.reserve(total);
  for (std::string_view p : parts) out.append(p);
  return out;
}

std::string getEncodedFile(PackedPieces pieces) { return appendFromArray(pieces); }

Expected<std::string> getFile(PackedPieces pieces) {
  const clsB64 b64;
  Expected<std::string> container = b64.DecodeString(getEncodedFile(pieces));
  if (!container) return container.status();
  const clsHuffman huffman;
  return huffman.DecodeString(*container);
}

Status checkForZlib() {
  const char* version = zlibVersion();
  if (version == nullptr || version[0] == '\0') {
    return Status::Error(kErrZlibMissing, "The zlib library does not report a version",
                         "checkForZlib()");
  }
  if (version[0] != ZLIB_VERSION[0]) {
    return Status::Error(kErrZlibMissing,
                         std::string("The zlib library has version ") + version + ", built against " +
                             ZLIB_VERSION,
                         "checkForZlib()");
  }
  return Status::Ok();
}

}  // namespace quorvane
