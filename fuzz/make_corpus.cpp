// fuzz_make_corpus OUTDIR: writes the seed inputs of every fuzz entry into
// OUTDIR/<entry>/<seed name>. The committed fuzz/corpus/ was made with it:
//   build/bin/fuzz_make_corpus fuzz/corpus
// Seeds are kept small (a few KB) so that the fuzzer mutates them quickly.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "common/AuditRecordIO.h"
#include "common/SampleAudit.h"
#include "common/clsB64.h"
#include "common/clsHuffman.h"
#include "common/modCompression.h"

namespace {

namespace fs = std::filesystem;

bool failed = false;

void put(const fs::path& out, std::string_view entry, std::string_view name, std::string_view bytes) {
  const fs::path dir = out / entry;
  std::error_code ec;
  fs::create_directories(dir, ec);
  std::ofstream file(dir / name, std::ios::binary | std::ios::trunc);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) {
    std::fprintf(stderr, "cannot write %s\n", (dir / name).string().c_str());
    failed = true;
  }
}

std::string withLengthPrefix(std::uint16_t bound, unsigned char seed, std::string_view stream) {
  std::string s;
  s += static_cast<char>(bound & 0xFF);
  s += static_cast<char>(bound >> 8);
  s += static_cast<char>(seed);
  s.append(stream);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace quorvane;
  if (argc != 2) {
    std::fprintf(stderr, "usage: fuzz_make_corpus OUTDIR\n");
    return 2;
  }
  const fs::path out = argv[1];

  const std::string sample = writeAuditRecord(makeSampleAudit(3, 1));
  const std::string bare = writeAuditRecord(makeSampleAudit(0, 2));
  const std::string empty = writeAuditRecord(AuditRecord{});

  put(out, "audit_record", "sample-3-apps", sample);
  put(out, "audit_record", "sample-no-apps", bare);
  put(out, "audit_record", "empty-record", empty);
  put(out, "audit_record", "sample-truncated", std::string_view(sample).substr(0, sample.size() / 2));

  const std::string stored = makeStoredForm(sample);
  put(out, "stored_form", "sample-3-apps", stored);
  put(out, "stored_form", "sample-datastore-copy", stored + "\r\n");
  put(out, "stored_form", "empty-record", makeStoredForm(empty));
  put(out, "stored_form", "empty-data", makeStoredForm(""));
  put(out, "stored_form", "text-not-a-record", makeStoredForm("not an audit record"));
  put(out, "stored_form", "declared-2-40", std::string("1099511627776") + std::string(1, '\0') +
                                               std::string(std::string_view(stored).substr(stored.find('\0') + 1)));
  put(out, "stored_form", "declared-longer-than-stream",
      std::to_string(sample.size() + 1) + std::string(1, '\0') +
          std::string(std::string_view(stored).substr(stored.find('\0') + 1)));

  // A small stream that inflates far beyond what it declares (a zlib bomb).
  put(out, "stored_form", "bomb-past-declared",
      std::string("1000") + std::string(1, '\0') + *compressString(std::string(1u << 20, '\0'), 9));

  const clsHuffman huffman;
  put(out, "he3", "text", *huffman.EncodeString("The quick brown fox jumps over the lazy dog. 0123456789"));
  put(out, "he3", "one-symbol", *huffman.EncodeString(std::string(40, 'A')));
  put(out, "he3", "record", *huffman.EncodeString(bare));
  put(out, "he3", "stored-he0", "HE0\rplain bytes");
  put(out, "he3", "empty", *huffman.EncodeString(""));

  const clsB64 b64;
  put(out, "b64", "no-padding", b64.EncodeString("abcdef"));
  put(out, "b64", "one-pad", b64.EncodeString("abcde"));
  put(out, "b64", "two-pads", b64.EncodeString("abcd"));
  put(out, "b64", "all-bytes", b64.EncodeString(std::string("\x00\x01\x7F\x80\xFE\xFF", 6)));
  put(out, "b64", "he3-packed", b64.EncodeString(*huffman.EncodeString("packed data inside the program")));

  put(out, "server_settings", "typical", "ConnectPortNumber:2005\r\nListenPortNumber:2004\r\n");
  put(out, "server_settings", "lf-and-unknown", "# comment\nOther:1\nListenPortNumber: 2004 \n\nConnectPortNumber:+7\n");
  put(out, "server_settings", "overflow", "ListenPortNumber:2147483648\r\n");
  put(out, "server_settings", "no-colon", "ListenPortNumber\r\n");

  const std::string marker("\xFD\x01\xFE\x02\xFF\x04", 6);
  put(out, "upload_assembly", "small-upload", withLengthPrefix(1000, 7, "upload bytes" + marker));
  put(out, "upload_assembly", "stored-audit", withLengthPrefix(1023, 3, makeStoredForm(bare).substr(0, 600) + marker));
  put(out, "upload_assembly", "over-bound", withLengthPrefix(16, 200, std::string(40, 'x') + marker));
  put(out, "upload_assembly", "two-uploads", withLengthPrefix(100, 1, "first" + marker + "second" + marker));
  put(out, "upload_assembly", "no-marker", withLengthPrefix(64, 9, std::string(100, 'y')));

  put(out, "report_catalog", "dovrel",
      "Report Software Assets::clsReportSoftware::{Output to HTML,.html}\n"
      "XML Data Export::clsXMLExport::{Output to XML,.xml}");
  put(out, "report_catalog", "two-formats", "Report::clsReport::{Output to HTML,.html;Output to Text,.txt}");
  put(out, "report_catalog", "broken-entries", "No separators\nName::Class::no brace}\n::Class::{A,.a}\nName::::{A,.a}");

  put(out, "agent_settings", "typical",
      "ServerIP:127.0.0.1\r\nConnectPortNumber:2004\r\nListenPortNumber:2005\r\nAllowQuit:True\r\n"
      "QuitPassword:secret\r\nReauditDelayTime:10-20\r\nShowSystemTray:0\r\n");
  put(out, "agent_settings", "accept-from",
      "# who may command\nServerIP:127.0.0.1\nAcceptCommandsFrom: 127.0.0.1 , 192.0.2.7\nReauditDelayTime:0-0\n");
  put(out, "agent_settings", "accept-any", "AcceptCommandsFrom:ANY\r\nListenPortNumber: 2.5 \r\n");
  put(out, "agent_settings", "type-mismatch", "ConnectPortNumber:twelve\r\n");
  put(out, "agent_settings", "no-colon", "AllowQuit\r\n");
  put(out, "agent_settings", "negative-delay", "ReauditDelayTime:-5--1\r\n");

  return failed ? 1 : 0;
}
