#include "common/modCompression.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <limits>
#include <new>
#include <random>
#include <system_error>

#include "common/ErrorReport.h"
#include "common/WholeFile.h"

namespace quorvane {
namespace {

Status dataError(std::string description) {
  return Status::Error(kErrCompressedData, std::move(description), "decompressString()");
}

std::string zlibText(int code, const z_stream* strm) {
  std::string text = "zlib code " + std::to_string(code);
  if (strm != nullptr && strm->msg != nullptr) text.append(": ").append(strm->msg);
  return text;
}

}  // namespace

Expected<std::string> compressString(std::string_view data, int level) {
  if (level < Z_DEFAULT_COMPRESSION || level > Z_BEST_COMPRESSION) {
    return Status::Error(kErrCompressFailed, "Compression level out of range: " + std::to_string(level),
                         "compressString()");
  }
  if (data.size() > std::numeric_limits<uLong>::max() / 2) {
    return Status::Error(kErrCompressFailed, "The data is too long for zlib", "compressString()");
  }
  uLongf capacity = compressBound(static_cast<uLong>(data.size()));
  std::string out(capacity, '\0');
  const int rc = compress2(reinterpret_cast<Bytef*>(out.data()), &capacity,
                           reinterpret_cast<const Bytef*>(data.data()), static_cast<uLong>(data.size()),
                           level);
  if (rc != Z_OK) {
    return Status::Error(kErrCompressFailed, "Compression failed (" + zlibText(rc, nullptr) + ")",
                         "compressString()");
  }
  out.resize(capacity);
  return out;
}

Expected<std::string> decompressString(std::string_view stream, std::uint64_t uncompressedLength) {
  if (uncompressedLength > kMaxDeclaredLength) {
    return dataError("Declared length " + std::to_string(uncompressedLength) +
                     " exceeds the limit of " + std::to_string(kMaxDeclaredLength) + " bytes");
  }
  z_stream strm{};
  int rc = inflateInit(&strm);
  if (rc != Z_OK) {
    return Status::Error(kErrCompressFailed, "Decompression could not start (" + zlibText(rc, &strm) + ")",
                         "decompressString()");
  }
  struct Guard {
    z_stream* s;
    ~Guard() { inflateEnd(s); }
  } guard{&strm};

  strm.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(stream.data()));
  strm.avail_in = static_cast<uInt>(std::min<std::size_t>(stream.size(), 1u << 30));
  std::size_t inputLeft = stream.size() - strm.avail_in;

  // The output grows in steps so that a tiny hostile stream with a large
  // declared length never makes us allocate the whole declared size up front.
  const std::size_t n = static_cast<std::size_t>(uncompressedLength);
  std::string out;
  out.resize(std::min<std::size_t>(n, std::max<std::size_t>(64 * 1024, stream.size() * 4)));
  std::size_t produced = 0;
  for (;;) {
    if (produced == out.size() && out.size() < n) {
      out.resize(std::min<std::size_t>(n, out.size() * 2));
    }
    if (strm.avail_in == 0 && inputLeft > 0) {
      strm.avail_in = static_cast<uInt>(std::min<std::size_t>(inputLeft, 1u << 30));
      inputLeft -= strm.avail_in;
    }
    unsigned char spare = 0;
    const bool full = produced == n;
    if (full) {
      // Everything declared has arrived: the stream must end now, without
      // yielding another byte.
      strm.next_out = &spare;
      strm.avail_out = 1;
    } else {
      strm.next_out = reinterpret_cast<Bytef*>(out.data() + produced);
      strm.avail_out = static_cast<uInt>(std::min<std::size_t>(out.size() - produced, 1u << 30));
    }
    const uInt before = strm.avail_out;
    rc = inflate(&strm, Z_NO_FLUSH);
    const std::size_t got = before - strm.avail_out;
    if (full && got > 0) {
      return dataError("The data holds more than the declared " + std::to_string(n) + " bytes");
    }
    produced += got;
    if (rc == Z_STREAM_END) break;
    if (rc == Z_NEED_DICT || rc == Z_DATA_ERROR) {
      return dataError("The compressed data is damaged (" + zlibText(rc, &strm) + ")");
    }
    if (rc == Z_MEM_ERROR) throw std::bad_alloc();
    if (rc == Z_BUF_ERROR) {
      // No progress was possible: either the input is used up or zlib is stuck.
      if (strm.avail_in == 0 && inputLeft == 0) return dataError("The compressed data ends early");
      return dataError("The compressed data is damaged (" + zlibText(rc, &strm) + ")");
    }
    if (rc != Z_OK) {
      return dataError("The compressed data is damaged (" + zlibText(rc, &strm) + ")");
    }
  }
  if (produced != n) {
    return dataError("The data holds " + std::to_string(produced) + " bytes, not the declared " +
                     std::to_string(n));
  }
  out.resize(n);
  return out;
}

std::string makeStoredForm(std::string_view data) {
  Expected<std::string> stream = compressString(data, Z_BEST_COMPRESSION);
  if (!stream) throw std::bad_alloc();  // level 9 on memory fails only when memory does
  std::string out = std::to_string(data.size());
  out.push_back('\0');
  out.append(*stream);
  return out;
}

Expected<std::uint64_t> parseDeclaredLength(std::string_view digits) {
  auto bad = [&](std::string_view why) {
    return dataError("The declared length is not valid (" + std::string(why) + ")");
  };
  if (digits.empty()) return bad("empty");
  if (digits.size() > 1 && digits[0] == '0') return bad("leading zero");
  std::uint64_t value = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return bad("not a plain decimal number");
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > kMaxDeclaredLength) {
      return dataError("Declared length exceeds the limit of " + std::to_string(kMaxDeclaredLength) +
                       " bytes");
    }
  }
  return value;
}

Expected<std::string> readStoredForm(std::string_view fileBytes) {
  const std::size_t nul = fileBytes.find('\0');
  if (nul == std::string_view::npos) {
    return dataError("The file is not in the stored form (no NUL after the length)");
  }
  Expected<std::uint64_t> length = parseDeclaredLength(fileBytes.substr(0, nul));
  if (!length) return length.status();
  return decompressString(fileBytes.substr(nul + 1), *length);
}

Status replaceFileContents(const std::filesystem::path& path, std::string_view bytes) {
  const std::filesystem::path dir = path.parent_path();
  std::random_device rd;
  std::filesystem::path temp;
  std::error_code ec;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char suffix[32];
    std::snprintf(suffix, sizeof suffix, ".KVX%08x.tmp", static_cast<unsigned>(rd()));
    temp = dir / (path.filename().string() + suffix);
    if (!std::filesystem::exists(temp, ec)) break;
  }
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (!out) {
      return Status::Error(kErrPathAccess, "Path/File access error: " + temp.string(),
                           "replaceFileContents()");
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.flush();
    if (!out) {
      out.close();
      std::filesystem::remove(temp, ec);
      return Status::Error(kErrPathAccess, "Could not write " + temp.string(), "replaceFileContents()");
    }
  }
  std::filesystem::rename(temp, path, ec);
  if (ec) {
    std::error_code ignored;
    std::filesystem::remove(temp, ignored);
    return Status::Error(kErrPathAccess, "Could not replace " + path.string() + ": " + ec.message(),
                         "replaceFileContents()");
  }
  return Status::Ok();
}

Status compressFile(const std::filesystem::path& path) {
  Expected<std::string> bytes = readWholeFile(path, kMaxDeclaredLength);
  if (!bytes) return bytes.status();
  return replaceFileContents(path, makeStoredForm(*bytes));
}

}  // namespace quorvane
