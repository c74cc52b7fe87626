#include "tools/AuditToolCodecs.h"

#include <istream>
#include <iterator>
#include <ostream>
#include <string>

#include "common/clsB64.h"
#include "common/clsHuffman.h"

namespace {

using quorvane::clsB64;
using quorvane::clsHuffman;
using quorvane::Expected;

int fail(std::ostream& err, std::string_view codec, std::string_view message) {
  err << "quorvane-audit " << codec << ": " << message << "\n";
  return 1;
}

bool readAll(std::istream& in, std::string& bytes) {
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

int finish(std::ostream& out, std::ostream& err, std::string_view codec, const Expected<std::string>& r) {
  if (!r) return fail(err, codec, r.status().description());
  out.write(r->data(), static_cast<std::streamsize>(r->size()));
  out.flush();
  if (!out) return fail(err, codec, "cannot write the output");
  return 0;
}

}  // namespace

int runHe3(std::string_view mode, std::istream& in, std::ostream& out, std::ostream& err) {
  if (mode != "encode" && mode != "decode") {
    return fail(err, "he3", "unknown mode \"" + std::string(mode) + "\" (encode or decode)");
  }
  std::string bytes;
  if (!readAll(in, bytes)) return fail(err, "he3", "cannot read the input");
  const clsHuffman huffman;
  return finish(out, err, "he3", mode == "encode" ? huffman.EncodeString(bytes) : huffman.DecodeString(bytes));
}

int runB64(std::string_view mode, std::istream& in, std::ostream& out, std::ostream& err) {
  if (mode != "encode" && mode != "decode") {
    return fail(err, "b64", "unknown mode \"" + std::string(mode) + "\" (encode or decode)");
  }
  std::string bytes;
  if (!readAll(in, bytes)) return fail(err, "b64", "cannot read the input");
  const clsB64 b64;
  if (mode == "encode") return finish(out, err, "b64", b64.EncodeString(bytes));
  while (!bytes.empty() && (bytes.back() == '\n' || bytes.back() == '\r')) bytes.pop_back();
  return finish(out, err, "b64", b64.DecodeString(bytes));
}
