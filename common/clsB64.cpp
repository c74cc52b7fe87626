#include "common/clsB64.h"

namespace quorvane {
namespace {

Status malformed(std::string_view what) {
  std::string text = "The Base64 text is malformed (";
  text.append(what).append(")");
  return Status::Error(kErrB64Malformed, std::move(text), std::string(kB64DecodeSource));
}

}  // namespace

void clsB64::Init() {
  constexpr std::string_view alphabet =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  decodeTable_.fill(kInvalid);
  for (std::size_t i = 0; i < alphabet.size(); ++i) {
    encodeTable_[i] = alphabet[i];
    decodeTable_[static_cast<unsigned char>(alphabet[i])] = static_cast<std::uint8_t>(i);
  }
}

void clsB64::StrToAry(std::string_view text, std::vector<std::uint8_t>& bytes) {
  bytes.assign(reinterpret_cast<const std::uint8_t*>(text.data()),
               reinterpret_cast<const std::uint8_t*>(text.data()) + text.size());
}

void clsB64::AryToStr(const std::vector<std::uint8_t>& bytes, std::string& text) {
  text.assign(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

template <class Out>
void clsB64::encodeInto(const std::uint8_t* in, std::size_t n, Out& out) const {
  using T = typename Out::value_type;
  out.clear();
  out.reserve((n + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 3 <= n; i += 3) {
    const unsigned b0 = in[i], b1 = in[i + 1], b2 = in[i + 2];
    out.push_back(static_cast<T>(encodeTable_[b0 >> 2]));
    out.push_back(static_cast<T>(encodeTable_[((b0 & 3) << 4) | (b1 >> 4)]));
    out.push_back(static_cast<T>(encodeTable_[((b1 & 15) << 2) | (b2 >> 6)]));
    out.push_back(static_cast<T>(encodeTable_[b2 & 63]));
  }
  const std::size_t rest = n - i;
  if (rest == 1) {
    const unsigned b0 = in[i];
    out.push_back(static_cast<T>(encodeTable_[b0 >> 2]));
    out.push_back(static_cast<T>(encodeTable_[(b0 & 3) << 4]));
    out.push_back(static_cast<T>('='));
    out.push_back(static_cast<T>('='));
  } else if (rest == 2) {
    const unsigned b0 = in[i], b1 = in[i + 1];
    out.push_back(static_cast<T>(encodeTable_[b0 >> 2]));
    out.push_back(static_cast<T>(encodeTable_[((b0 & 3) << 4) | (b1 >> 4)]));
    out.push_back(static_cast<T>(encodeTable_[(b1 & 15) << 2]));
    out.push_back(static_cast<T>('='));
  }
}

template <class Out>
Status clsB64::decodeInto(const std::uint8_t* in, std::size_t n, Out& out) const {
  using T = typename Out::value_type;
  out.clear();
  if (n % 4 != 0) return malformed("length not a multiple of 4");
  if (n == 0) return Status::Ok();
  std::size_t padding = 0;
  if (in[n - 1] == '=') padding = (in[n - 2] == '=') ? 2 : 1;
  const std::size_t significant = n - padding;
  for (std::size_t i = 0; i < significant; ++i) {
    if (decodeTable_[in[i]] == kInvalid) {
      return malformed(in[i] == '=' ? "padding before the end" : "character outside the alphabet");
    }
  }
  out.reserve(n / 4 * 3 - padding);
  for (std::size_t i = 0; i < n; i += 4) {
    const bool last = i + 4 == n;
    const unsigned c0 = decodeTable_[in[i]];
    const unsigned c1 = decodeTable_[in[i + 1]];
    const unsigned c2 = (last && padding == 2) ? 0 : decodeTable_[in[i + 2]];
    const unsigned c3 = (last && padding >= 1) ? 0 : decodeTable_[in[i + 3]];
    out.push_back(static_cast<T>(((c0 << 2) | (c1 >> 4)) & 0xFF));
    if (last && padding == 2) break;
    out.push_back(static_cast<T>((((c1 & 15) << 4) | (c2 >> 2)) & 0xFF));
    if (last && padding == 1) break;
    out.push_back(static_cast<T>((((c2 & 3) << 6) | c3) & 0xFF));
  }
  return Status::Ok();
}

void clsB64::Encode(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out) const {
  encodeInto(in.data(), in.size(), out);
}

Status clsB64::Decode(const std::vector<std::uint8_t>& in, std::vector<std::uint8_t>& out) const {
  Status s = decodeInto(in.data(), in.size(), out);
  if (!s) out.clear();
  return s;
}

std::string clsB64::EncodeString(std::string_view bytes) const {
  std::string out;
  encodeInto(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size(), out);
  return out;
}

Expected<std::string> clsB64::DecodeString(std::string_view text) const {
  std::string out;
  Status s = decodeInto(reinterpret_cast<const std::uint8_t*>(text.data()), text.size(), out);
  if (!s) return s;
  return out;
}

}  // namespace quorvane
