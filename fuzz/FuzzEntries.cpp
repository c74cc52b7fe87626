#include "fuzz/FuzzEntries.h"

#include <cstdint>
#include <vector>

#include "common/AuditRecordIO.h"
#include "common/CommandEnvelope.h"
#include "common/Status.h"
#include "common/clsB64.h"
#include "common/clsHuffman.h"
#include "common/modCompression.h"

namespace quorvane::fuzz {
namespace {

// Round trips through zlib at level 9 cost far more than the read itself;
// above this size only the read is checked, so that the fuzzer keeps its pace.
constexpr std::size_t kRoundTripLimit = 1u << 20;

// A refused input must say why: an error number and a description.
Verdict refusedCleanly(std::string_view entry, const Status& status) {
  Verdict v;
  if (status.ok()) {
    v.violation = describeViolation(entry, "refused with an ok status");
  } else if (status.number() == 0) {
    v.violation = describeViolation(entry, "refused without an error number");
  } else if (status.description().empty()) {
    v.violation = describeViolation(entry, "refused without a description");
  }
  return v;
}

Verdict accepted() {
  Verdict v;
  v.accepted = true;
  return v;
}

}  // namespace

std::string describeViolation(std::string_view entry, std::string_view rule) {
  return std::string(entry) + ": " + std::string(rule);
}

Verdict broken(std::string_view entry, std::string_view rule, bool wasAccepted) {
  Verdict v;
  v.accepted = wasAccepted;
  v.violation = describeViolation(entry, rule);
  return v;
}

std::string lfOnly(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out.push_back(text[i]);
  }
  return out;
}

Verdict auditRecord(std::string_view input) {
  constexpr std::string_view kName = "audit_record";
  std::size_t consumed = 0;
  Expected<AuditRecord> record = readAuditRecord(input, &consumed);
  if (!record) return refusedCleanly(kName, record.status());
  if (consumed == 0 || consumed > input.size()) return broken(kName, "consumed count outside the input");

  // The bytes the record took are a record on their own; what follows is ignored.
  std::size_t again = 0;
  if (!readAuditRecord(input.substr(0, consumed), &again) || again != consumed) {
    return broken(kName, "the record's own bytes do not read alone");
  }

  // Written again, the record reads back to the same bytes.
  const std::string first = writeAuditRecord(*record);
  std::size_t firstConsumed = 0;
  Expected<AuditRecord> reread = readAuditRecord(first, &firstConsumed);
  if (!reread) return broken(kName, "a written record does not read back: " + reread.status().description());
  if (firstConsumed != first.size()) return broken(kName, "a written record reads back shorter");
  if (writeAuditRecord(*reread) != first) return broken(kName, "write/read/write changes the bytes");
  return accepted();
}

Verdict storedForm(std::string_view input) {
  constexpr std::string_view kName = "stored_form";
  Expected<std::string> data = readStoredForm(input);
  Expected<AuditRecord> record = decodeStoredAudit(input);

  const std::size_t nul = input.find('\0');
  bool pastRecordLimit = false;
  if (nul != std::string_view::npos) {
    Expected<std::uint64_t> length = parseDeclaredLength(input.substr(0, nul));
    if (length && *length > kMaxDeclaredLength) return broken(kName, "declared length above the bound accepted");
    pastRecordLimit = length && *length > kMaxRecordBytes;
    if (!length) {
      Verdict v = refusedCleanly(kName, length.status());
      if (!v.violation.empty()) return v;
      if (data) return broken(kName, "stored form read with a refused length");
    } else if (data && data->size() != *length) {
      return broken(kName, "inflated size differs from the declared length");
    }
  }

  if (!data) {
    if (record) return broken(kName, "audit decoded from a stored form that does not read");
    return refusedCleanly(kName, data.status());
  }
  if (pastRecordLimit) {
    // Longer than any record may be: refused before it is inflated.
    if (record) return broken(kName, "audit decoded from a stored form declaring more than a record may hold");
  } else if (record) {
    // decodeStoredAudit is readStoredForm followed by readAuditRecord.
    if (!readAuditRecord(*data)) return broken(kName, "decoded audit whose data does not read as a record");
  } else {
    Verdict v = refusedCleanly(kName, record.status());
    if (!v.violation.empty()) return v;
    if (readAuditRecord(*data)) return broken(kName, "audit refused although its data reads as a record");
  }

  if (data->size() <= kRoundTripLimit) {
    const std::string stored = makeStoredForm(*data);
    Expected<std::string> back = readStoredForm(stored);
    if (!back || *back != *data) return broken(kName, "makeStoredForm/readStoredForm changes the data");
    Expected<std::string> withCrLf = readStoredForm(stored + "\r\n");
    if (!withCrLf || *withCrLf != *data) return broken(kName, "the DataStore copy's CR LF is not ignored");
    if (record) {
      const std::string encoded = encodeStoredAudit(*record);
      Expected<AuditRecord> decoded = decodeStoredAudit(encoded);
      if (!decoded || encodeStoredAudit(*decoded) != encoded) {
        return broken(kName, "encodeStoredAudit/decodeStoredAudit changes the audit");
      }
    }
  }
  return accepted();
}

Verdict he3(std::string_view input) {
  constexpr std::string_view kName = "he3";
  const clsHuffman huffman;

  // The input as a container.
  Expected<std::string> decoded = huffman.DecodeString(input);
  std::string inPlace(input);
  const Status inPlaceStatus = huffman.DecodeByte(inPlace);
  if (inPlaceStatus.ok() != decoded.ok()) return broken(kName, "DecodeByte and DecodeString disagree", decoded.ok());
  if (!decoded) {
    if (inPlace != input) return broken(kName, "a failed DecodeByte changed its bytes", false);
    // Any bytes survive encoding and decoding. (Checked here only: building
    // the code table dominates the cost of a call, so one encoding per input
    // keeps the fuzzer's pace.)
    Expected<std::string> packed = huffman.EncodeString(input);
    if (!packed) return broken(kName, "EncodeString refused a short input", false);
    Expected<std::string> unpacked = huffman.DecodeString(*packed);
    if (!unpacked || *unpacked != input) return broken(kName, "EncodeString/DecodeString changes the bytes", false);
    return refusedCleanly(kName, decoded.status());
  }
  if (inPlace != *decoded) return broken(kName, "DecodeByte and DecodeString give different bytes");
  Expected<std::string> repacked = huffman.EncodeString(*decoded);
  if (!repacked) return broken(kName, "decoded bytes do not encode again");
  Expected<std::string> again = huffman.DecodeString(*repacked);
  if (!again || *again != *decoded) return broken(kName, "decoded bytes do not survive a second round");
  return accepted();
}

Verdict b64(std::string_view input) {
  constexpr std::string_view kName = "b64";
  const clsB64 codec;

  // Any bytes survive encoding and decoding, in both forms.
  const std::string text = codec.EncodeString(input);
  if (text.size() % 4 != 0) return broken(kName, "encoded length not a multiple of 4", false);
  Expected<std::string> back = codec.DecodeString(text);
  if (!back || *back != input) return broken(kName, "EncodeString/DecodeString changes the bytes", false);
  std::vector<std::uint8_t> bytes;
  clsB64::StrToAry(input, bytes);
  std::vector<std::uint8_t> encoded;
  codec.Encode(bytes, encoded);
  std::string encodedText;
  clsB64::AryToStr(encoded, encodedText);
  if (encodedText != text) return broken(kName, "Encode and EncodeString differ", false);

  // The input as Base64 text.
  Expected<std::string> decoded = codec.DecodeString(input);
  std::vector<std::uint8_t> out{1, 2, 3};
  const Status status = codec.Decode(bytes, out);
  if (status.ok() != decoded.ok()) return broken(kName, "Decode and DecodeString disagree", decoded.ok());
  if (!decoded) {
    if (!out.empty()) return broken(kName, "a failed Decode left bytes behind", false);
    return refusedCleanly(kName, decoded.status());
  }
  std::string outText;
  clsB64::AryToStr(out, outText);
  if (outText != *decoded) return broken(kName, "Decode and DecodeString give different bytes");
  if (decoded->size() > input.size() / 4 * 3) return broken(kName, "more bytes decoded than the text can hold");
  Expected<std::string> again = codec.DecodeString(codec.EncodeString(*decoded));
  if (!again || *again != *decoded) return broken(kName, "decoded bytes do not survive a second round");
  return accepted();
}

// The signed-command envelope an agent reads from any peer: a whole envelope
// is written back byte for byte; a refused stream stays refused whatever
// follows (the agent may refuse at once); a stream still waiting is shorter
// than the largest envelope; the challenge reader accepts exactly its form.
Verdict commandEnvelope(std::string_view input) {
  constexpr std::string_view kName = "command_envelope";
  const bool challenge = parseChallengeMessage(input).has_value();
  if (challenge != (input.size() == kChallengeMessageSize && input.substr(0, 4) == kChallengeMagic)) {
    return broken(kName, "the challenge reader disagrees with its form", challenge);
  }
  const ParsedEnvelope p = parseEnvelope(input);
  switch (p.state) {
    case EnvelopeState::Incomplete:
      if (input.size() >= kEnvelopeMaxSize) return broken(kName, "waiting for more past the largest envelope", false);
      return {};
    case EnvelopeState::Malformed:
      for (std::string_view more : {std::string_view("\0", 1), std::string_view("\xFF"), kEnvelopeMagic}) {
        if (parseEnvelope(std::string(input) + std::string(more)).state != EnvelopeState::Malformed) {
          return broken(kName, "a refused stream became acceptable", false);
        }
      }
      return {};
    case EnvelopeState::Complete:
      break;
  }
  const auto again = serializeEnvelope(p.envelope);
  if (!again || *again != input) return broken(kName, "a parsed envelope is not written back as it came");
  if (p.signedPart + p.envelope.signature != input) return broken(kName, "signed part and signature do not make the input");
  if (p.envelope.signature.size() != kEnvelopeSignatureSize) return broken(kName, "signature of the wrong size");
  if (parseEnvelope(std::string(input) + "x").state != EnvelopeState::Malformed) {
    return broken(kName, "trailing bytes after a whole envelope are accepted");
  }
  return accepted();
}

const std::vector<Entry>& commonEntries() {
  static const std::vector<Entry> entries{
      {"audit_record", &auditRecord},
      {"stored_form", &storedForm},
      {"he3", &he3},
      {"b64", &b64},
      {"command_envelope", &commandEnvelope},
  };
  return entries;
}

}  // namespace quorvane::fuzz
