#include "common/clsHuffman.h"

#include <array>
#include <cstring>
#include <limits>
#include <vector>

namespace quorvane {
namespace {

constexpr std::string_view kMagicCompressed = "HE3\r";
constexpr std::string_view kMagicStored = "HE0\r";
constexpr std::size_t kHeaderSize = 11;  // magic, check byte, length, symbol count
constexpr int kMaxNodes = 511;           // 256 leaves and 255 inner nodes

Status corrupt(std::string_view what) {
  std::string text = "The data either was not compressed with HE3 or is corrupt (";
  text.append(what).append(")");
  return Status::Error(kErrHe3Corrupt, std::move(text), std::string(kHe3DecodeSource));
}

// Appends bits to a byte string, least significant bit first.
class BitWriter {
 public:
  explicit BitWriter(std::string& out) : out_(out) {}
  BitWriter(const BitWriter&) = delete;
  BitWriter& operator=(const BitWriter&) = delete;

  // Appends the `count` (at most 56) low bits of `bits`, lowest first.
  void put(std::uint64_t bits, int count) {
    acc_ |= bits << filled_;
    filled_ += count;
    while (filled_ >= 8) {
      out_.push_back(static_cast<char>(acc_ & 0xFF));
      acc_ >>= 8;
      filled_ -= 8;
    }
  }
  // Pads the last byte with zero bits so that the next bit starts a fresh byte.
  void flush() {
    if (filled_ > 0) {
      out_.push_back(static_cast<char>(acc_ & 0xFF));
      acc_ = 0;
      filled_ = 0;
    }
  }

 private:
  std::string& out_;
  std::uint64_t acc_ = 0;
  int filled_ = 0;
};

// One symbol's code: the path from the root, first decision first.
struct Code {
  std::vector<std::uint8_t> bits;  // 0 = left, 1 = right
  std::uint64_t packed = 0;        // the same bits, first in bit 0 (when short enough)
};

void writeCode(BitWriter& w, const Code& code) {
  if (code.bits.size() <= 56) {
    w.put(code.packed, static_cast<int>(code.bits.size()));
    return;
  }
  for (std::uint8_t b : code.bits) w.put(b, 1);
}

struct EncodeNode {
  int parent = -1;
  int right = -1;
  int left = -1;
  int value = -1;  // byte value of a leaf, -1 for an inner node
  std::uint64_t weight = 0;
};

// Builds the coding tree over the byte counts and returns the code of every
// byte value present (empty vectors for values absent, and for the only value
// when just one is present).
std::array<Code, 256> buildCodes(const std::array<std::uint64_t, 256>& counts) {
  std::vector<EncodeNode> nodes;
  nodes.reserve(kMaxNodes);
  for (int v = 0; v < 256; ++v) {
    if (counts[v] == 0) continue;
    EncodeNode leaf;
    leaf.value = v;
    leaf.weight = counts[v];
    nodes.push_back(leaf);
  }
  int parentless = static_cast<int>(nodes.size());
  while (parentless > 1) {
    int a = -1;
    int b = -1;
    for (int i = 0; i < static_cast<int>(nodes.size()); ++i) {
      if (nodes[i].parent != -1) continue;
      if (a == -1) {
        a = i;
      } else if (b == -1) {
        b = i;
      } else {
        const std::uint64_t w = nodes[i].weight;
        if (w >= nodes[a].weight) {
          if (w < nodes[b].weight) b = i;
        } else if (w >= nodes[b].weight || nodes[a].weight >= nodes[b].weight) {
          a = i;
        } else {
          b = i;
        }
      }
    }
    EncodeNode inner;
    inner.left = a;
    inner.right = b;
    inner.weight = nodes[a].weight + nodes[b].weight;
    const int index = static_cast<int>(nodes.size());
    nodes[a].parent = index;
    nodes[b].parent = index;
    nodes.push_back(inner);
    --parentless;
  }

  std::array<Code, 256> codes{};
  if (nodes.empty()) return codes;
  // Depth-first walk from the root (the last node made).
  struct Step {
    int node;
    std::vector<std::uint8_t> path;
  };
  std::vector<Step> stack;
  stack.push_back({static_cast<int>(nodes.size()) - 1, {}});
  while (!stack.empty()) {
    Step step = std::move(stack.back());
    stack.pop_back();
    const EncodeNode& n = nodes[step.node];
    if (n.value >= 0) {
      Code& c = codes[n.value];
      c.bits = std::move(step.path);
      for (std::size_t i = 0; i < c.bits.size() && i < 64; ++i) {
        c.packed |= static_cast<std::uint64_t>(c.bits[i]) << i;
      }
      continue;
    }
    Step right{n.right, step.path};
    right.path.push_back(1);
    step.path.push_back(0);
    stack.push_back(std::move(right));
    stack.push_back({n.left, std::move(step.path)});
  }
  return codes;
}

std::string storedContainer(std::string_view bytes) {
  std::string out;
  out.reserve(kMagicStored.size() + bytes.size());
  out.append(kMagicStored).append(bytes);
  return out;
}

Expected<std::string> encode(std::string_view in) {
  if (in.size() > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
    return Status::Error(kErrHe3TooLong, "The data is longer than 2147483647 bytes",
                         std::string(kHe3EncodeSource));
  }
  if (in.empty()) return storedContainer(in);

  std::array<std::uint64_t, 256> counts{};
  std::uint8_t check = 0;
  for (unsigned char c : in) {
    ++counts[c];
    check ^= c;
  }
  const std::array<Code, 256> codes = buildCodes(counts);

  std::uint64_t totalBits = 0;
  std::uint64_t codeBits = 0;
  int symbols = 0;
  for (int v = 0; v < 256; ++v) {
    if (counts[v] == 0) continue;
    ++symbols;
    totalBits += counts[v] * codes[v].bits.size();
    codeBits += codes[v].bits.size();
  }
  const std::uint64_t dataBytes = (totalBits + 7) / 8;
  if (dataBytes == 0 || dataBytes > in.size()) return storedContainer(in);

  std::string out;
  out.reserve(kHeaderSize + 2 * symbols + (codeBits + 7) / 8 + dataBytes);
  out.append(kMagicCompressed);
  out.push_back(static_cast<char>(check));
  const auto length = static_cast<std::uint32_t>(in.size());
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((length >> (8 * i)) & 0xFF));
  out.push_back(static_cast<char>(symbols & 0xFF));
  out.push_back(static_cast<char>((symbols >> 8) & 0xFF));
  for (int v = 0; v < 256; ++v) {
    if (counts[v] == 0) continue;
    out.push_back(static_cast<char>(v));
    out.push_back(static_cast<char>(codes[v].bits.size()));
  }
  BitWriter writer(out);
  for (int v = 0; v < 256; ++v) {
    if (counts[v] != 0) writeCode(writer, codes[v]);
  }
  writer.flush();
  for (unsigned char c : in) writeCode(writer, codes[c]);
  writer.flush();
  return out;
}

struct DecodeNode {
  std::array<std::int16_t, 2> child{-1, -1};  // [0] left, [1] right
  std::int16_t value = -1;
};

// The symbol table after the header: `symbols` pairs (value, code length),
// values ascending, no code length 0. Gives the number of code bits.
Expected<std::uint64_t> checkSymbolTable(const unsigned char* table, std::size_t symbols) {
  std::uint64_t codeBitCount = 0;
  int previous = -1;
  for (std::size_t i = 0; i < symbols; ++i) {
    const int value = table[2 * i];
    const int codeLength = table[2 * i + 1];
    if (value <= previous) return corrupt("symbol table not in ascending order");
    if (codeLength == 0) return corrupt("code length 0");
    previous = value;
    codeBitCount += codeLength;
  }
  return codeBitCount;
}

// The decoding tree of the table's codes, read from `codeBits`; node 0 is the root.
Expected<std::vector<DecodeNode>> buildDecodeTree(const unsigned char* table, std::size_t symbols,
                                                  const unsigned char* codeBits) {
  std::vector<DecodeNode> nodes(1);
  nodes.reserve(kMaxNodes);
  std::uint64_t bit = 0;
  for (std::size_t i = 0; i < symbols; ++i) {
    const int value = table[2 * i];
    const int codeLength = table[2 * i + 1];
    int cur = 0;
    for (int k = 0; k < codeLength; ++k, ++bit) {
      if (nodes[cur].value >= 0) return corrupt("a code is a prefix of another");
      const int b = (codeBits[bit >> 3] >> (bit & 7)) & 1;
      int next = nodes[cur].child[b];
      if (next < 0) {
        if (static_cast<int>(nodes.size()) >= kMaxNodes) {
          return corrupt("codes overflow the coding tree");
        }
        next = static_cast<int>(nodes.size());
        nodes[cur].child[b] = static_cast<std::int16_t>(next);
        nodes.emplace_back();
      }
      cur = next;
    }
    if (nodes[cur].value >= 0 || nodes[cur].child[0] >= 0 || nodes[cur].child[1] >= 0) {
      return corrupt("duplicate code or a code that is a prefix of another");
    }
    nodes[cur].value = static_cast<std::int16_t>(value);
  }
  return nodes;
}

Status checkByteMismatch() {
  return Status::Error(kErrHe3CheckByte, std::string(kHe3CheckByteText), std::string(kHe3DecodeSource));
}

// `length` bytes from the data bits through the tree; their XOR must be `check`.
Expected<std::string> decodeData(const std::vector<DecodeNode>& nodes, const unsigned char* data,
                                 std::uint64_t dataBits, std::size_t length, std::uint8_t check) {
  std::string out;
  out.resize(length);
  std::uint8_t xorAll = 0;
  std::size_t emitted = 0;
  int cur = 0;
  for (std::uint64_t i = 0; emitted < length; ++i) {
    if (i >= dataBits) return corrupt("data bits end before the uncompressed length");
    const int b = (data[i >> 3] >> (i & 7)) & 1;
    const int next = nodes[cur].child[b];
    if (next < 0) return corrupt("data bits follow no code of the table");
    if (nodes[next].value >= 0) {
      const auto v = static_cast<std::uint8_t>(nodes[next].value);
      out[emitted++] = static_cast<char>(v);
      xorAll ^= v;
      cur = 0;
    } else {
      cur = next;
    }
  }
  if (xorAll != check) return checkByteMismatch();
  return out;
}

Expected<std::string> decode(std::string_view in) {
  if (in.size() < 4 || in.substr(0, 4) != kMagicCompressed) {
    if (in.size() >= 4 && in.substr(0, 4) == kMagicStored) return std::string(in.substr(4));
    return Status::Error(kErrHe3NotIdentified, std::string(kHe3NotIdentifiedText),
                         std::string(kHe3DecodeSource));
  }
  if (in.size() < kHeaderSize) return corrupt("container shorter than its header");
  const auto* p = reinterpret_cast<const unsigned char*>(in.data());
  const std::uint8_t check = p[4];
  const std::uint32_t rawLength = static_cast<std::uint32_t>(p[5]) |
                                  (static_cast<std::uint32_t>(p[6]) << 8) |
                                  (static_cast<std::uint32_t>(p[7]) << 16) |
                                  (static_cast<std::uint32_t>(p[8]) << 24);
  if (rawLength > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max())) {
    return corrupt("negative uncompressed length");
  }
  const std::size_t length = rawLength;
  const std::size_t symbols = static_cast<std::size_t>(p[9]) | (static_cast<std::size_t>(p[10]) << 8);
  if (length == 0) {
    if (check != 0) return checkByteMismatch();
    return std::string();
  }
  if (symbols == 0 || symbols > 256) return corrupt("symbol count out of range");

  const std::size_t tablePos = kHeaderSize;
  if (in.size() - tablePos < 2 * symbols) return corrupt("symbol table runs past the end");
  Expected<std::uint64_t> codeBitCount = checkSymbolTable(p + tablePos, symbols);
  if (!codeBitCount) return codeBitCount.status();
  std::size_t pos = tablePos + 2 * symbols;
  const std::size_t codeBytes = (*codeBitCount + 7) / 8;
  if (in.size() - pos < codeBytes) return corrupt("code bits run past the end");
  Expected<std::vector<DecodeNode>> nodes = buildDecodeTree(p + tablePos, symbols, p + pos);
  if (!nodes) return nodes.status();
  pos += codeBytes;

  // Every byte takes at least one data bit: refuse a length the data cannot supply
  // before allocating for it.
  const std::uint64_t dataBits = static_cast<std::uint64_t>(in.size() - pos) * 8;
  if (length > dataBits) return corrupt("data bits too short for the uncompressed length");
  return decodeData(*nodes, p + pos, dataBits, length, check);
}

}  // namespace

Status clsHuffman::EncodeByte(std::string& bytes) const {
  Expected<std::string> r = encode(bytes);
  if (!r) return r.status();
  bytes = std::move(r).value();
  return Status::Ok();
}

Status clsHuffman::DecodeByte(std::string& bytes) const {
  Expected<std::string> r = decode(bytes);
  if (!r) return r.status();
  bytes = std::move(r).value();
  return Status::Ok();
}

Expected<std::string> clsHuffman::EncodeString(std::string_view text) const { return encode(text); }

Expected<std::string> clsHuffman::DecodeString(std::string_view text) const { return decode(text); }

}  // namespace quorvane
