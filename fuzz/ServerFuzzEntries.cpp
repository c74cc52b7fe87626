// The server's hostile-input entries: serverSettings.txt, the upload buffer of
// one connection, the catalog texts of report libraries.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/FuzzEntries.h"
#include "server/core/MessageSink.h"
#include "server/core/ReportCatalog.h"
#include "server/core/ReportRunner.h"
#include "server/core/ServerSettings.h"
#include "server/core/UploadAssembler.h"

namespace quorvane::fuzz {
namespace {

// Written out here rather than taken from the server's headers, so that the
// model below checks the server's constant as well.
constexpr std::string_view kMarker{"\xFD\x01\xFE\x02\xFF\x04", 6};

class CountingSink final : public MessageSink {
 public:
  void showMessage(std::string_view, std::string_view, int) override { ++shown; }
  int shown = 0;
};

}  // namespace

Verdict serverSettings(std::string_view input) {
  constexpr std::string_view kName = "server_settings";
  Expected<ServerSettings> settings = parseServerSettings(input);
  // CR LF and a lone LF end lines alike (compared where taking the CR out
  // of each CR LF leaves no new CR LF behind, as in CR CR LF).
  const std::string lf = lfOnly(input);
  if (lf.find("\r\n") != std::string::npos) {
    if (!settings && settings.status().description().empty()) {
      return broken(kName, "refused without a description", false);
    }
    Verdict v;
    v.accepted = settings.ok();
    return v;
  }
  Expected<ServerSettings> unix = parseServerSettings(lf);
  if (settings.ok() != unix.ok()) return broken(kName, "CR LF and LF line ends read differently", settings.ok());
  if (!settings) {
    if (settings.status().number() != unix.status().number()) {
      return broken(kName, "CR LF and LF line ends fail differently", false);
    }
    if (settings.status().description().empty()) return broken(kName, "refused without a description", false);
    Verdict v;
    return v;
  }
  if (settings->connectPort != unix->connectPort || settings->listenPort != unix->listenPort) {
    return broken(kName, "CR LF and LF line ends give different ports");
  }
  Verdict v;
  v.accepted = true;
  return v;
}

// Input: two bytes of bound (0..1023), one byte seeding the piece lengths,
// then the stream of one connection. The stream is cut into pieces of 0 to
// 16 bytes and fed one by one; a model of the rules predicts every outcome.
Verdict uploadAssembly(std::string_view input) {
  constexpr std::string_view kName = "upload_assembly";
  if (input.size() < 3) return Verdict{};
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(input[i]); };
  const std::size_t bound = (byte(0) | (byte(1) << 8)) % 1024;
  std::uint32_t seed = byte(2) * 2654435761u + 1;
  std::string_view stream = input.substr(3);

  UploadAssembler assembler(bound);
  std::string model;
  bool anyComplete = false;
  while (!stream.empty()) {
    seed = seed * 1664525u + 1013904223u;
    const std::size_t length = std::min<std::size_t>((seed >> 24) % 17, stream.size());
    const std::string_view piece = stream.substr(0, length);
    stream.remove_prefix(length);

    model.append(piece);
    UploadAssembler::Outcome expected = UploadAssembler::Outcome::NeedMore;
    std::string expectedUpload;
    const std::size_t at = model.find(kMarker);
    if (at != std::string::npos) {
      if (at > bound) {
        expected = UploadAssembler::Outcome::Overflow;
      } else {
        expected = UploadAssembler::Outcome::Complete;
        expectedUpload = model.substr(0, at);
      }
      model.clear();
    } else if (model.size() > bound + kMarker.size() - 1) {
      expected = UploadAssembler::Outcome::Overflow;
      model.clear();
    }

    UploadAssembler::Result result = assembler.feed(piece);
    if (result.outcome != expected) return broken(kName, "outcome differs from the model", anyComplete);
    if (expected == UploadAssembler::Outcome::Complete) {
      anyComplete = true;
      if (result.upload != expectedUpload) return broken(kName, "upload differs from the bytes before the marker");
    } else if (!result.upload.empty()) {
      return broken(kName, "an upload handed out without completion", anyComplete);
    }
    if (assembler.buffered() != model.size()) return broken(kName, "buffered byte count differs from the model", anyComplete);
    if (assembler.buffered() > bound + kMarker.size() - 1) return broken(kName, "buffer grew past its bound", anyComplete);
  }
  Verdict v;
  v.accepted = anyComplete;
  return v;
}

// Input: the catalog texts of one library, one per line (LF).
Verdict reportCatalog(std::string_view input) {
  constexpr std::string_view kName = "report_catalog";
  ReportLibraryEntry library;
  library.path = "/nonexistent/dovrelfuzz.so";
  library.author = "Fuzz";
  std::size_t expectedRows = 0;
  std::size_t expectedTypes = 0;
  for (std::size_t start = 0; start <= input.size();) {
    std::size_t end = input.find('\n', start);
    if (end == std::string_view::npos) end = input.size();
    const std::string_view text = input.substr(start, end - start);
    library.catalog.emplace_back(text);
    Expected<CatalogEntryParts> parts = parseCatalogEntry(text);
    if (parts) {
      if (parts->reportName.empty() || parts->className.empty()) return broken(kName, "empty report or class name");
      if (parts->formats.empty()) return broken(kName, "an entry without formats");
      for (const auto& [caption, extension] : parts->formats) {
        if (caption.empty()) return broken(kName, "a format without caption");
      }
      expectedRows += parts->formats.size();
      ++expectedTypes;
    } else if (parts.status().description().empty()) {
      return broken(kName, "refused without a description", false);
    }
    start = end + 1;
  }

  std::vector<ReportLibraryEntry> libraries{library};
  if (buildReportCatalog(libraries).size() != expectedRows) return broken(kName, "catalog rows differ from the formats");

  CountingSink sink;
  ReportRunner runner(sink, 0);
  runner.setLibraries(std::move(libraries));
  if (runner.typeRows().size() != expectedTypes) return broken(kName, "report types differ from the readable entries");
  for (std::size_t row = 0; row <= runner.typeRows().size(); ++row) {
    runner.clickReportType(row);
    for (std::size_t format = 0; format <= runner.formatRows().size(); ++format) runner.clickFormat(format);
  }
  if (sink.shown != 0) return broken(kName, "choosing a report showed a message");
  Verdict v;
  v.accepted = expectedTypes > 0;
  return v;
}

const std::vector<Entry>& serverEntries() {
  static const std::vector<Entry> entries{
      {"server_settings", &serverSettings},
      {"upload_assembly", &uploadAssembly},
      {"report_catalog", &reportCatalog},
  };
  return entries;
}

}  // namespace quorvane::fuzz
