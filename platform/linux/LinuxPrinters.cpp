#include "platform/linux/LinuxPrinters.h"

#include <cups/cups.h>
#include <sys/socket.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "common/Text8.h"
#include "platform/linux/LinuxHardwareFiles.h"

namespace quorvane::platform::linux_backend {
namespace {

std::string lower(std::string_view s) {
  std::string out(s);
  for (auto& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

const std::string* option(const CupsDest& d, std::string_view name) {
  for (const auto& [k, v] : d.options) {
    if (k == name) return &v;
  }
  return nullptr;
}

struct NamedCode {
  std::string_view name;
  std::int32_t code;
};

// PWG self-describing names lead with their class ("iso_a4_210x297mm"),
// PPD names are bare ("A4"); both are matched by their lower-case key.
constexpr NamedCode kPaper[] = {
    {"na_letter", 1},      {"letter", 1},        {"lettersmall", 2},   {"na_ledger", 3},
    {"tabloid", 3},        {"ledger", 4},        {"na_legal", 5},      {"legal", 5},
    {"na_invoice", 6},     {"statement", 6},     {"na_executive", 7},  {"executive", 7},
    {"iso_a3", 8},         {"a3", 8},            {"iso_a4", 9},        {"a4", 9},
    {"a4small", 10},       {"iso_a5", 11},       {"a5", 11},           {"jis_b4", 12},
    {"b4", 12},            {"jis_b5", 13},       {"b5", 13},           {"om_folio", 14},
    {"folio", 14},         {"na_quarto", 15},    {"quarto", 15},       {"na_10x14", 16},
    {"10x14", 16},         {"na_11x17", 17},     {"11x17", 17},        {"na_number-9", 19},
    {"env9", 19},          {"na_number-10", 20}, {"env10", 20},        {"na_number-11", 21},
    {"env11", 21},         {"na_number-12", 22}, {"env12", 22},        {"na_number-14", 23},
    {"env14", 23},         {"na_c", 24},         {"ansi_c", 24},       {"na_d", 25},
    {"ansi_d", 25},        {"na_e", 26},         {"ansi_e", 26},       {"iso_dl", 27},
    {"envdl", 27},         {"iso_c5", 28},       {"envc5", 28},        {"iso_c3", 29},
    {"envc3", 29},         {"iso_c4", 30},       {"envc4", 30},        {"iso_c6", 31},
    {"envc6", 31},         {"iso_c6c5", 32},     {"envc65", 32},       {"iso_b4", 33},
    {"envisob4", 33},      {"iso_b5", 34},       {"envisob5", 34},     {"iso_b6", 35},
    {"envisob6", 35},      {"om_italian", 36},   {"envitalian", 36},   {"na_monarch", 37},
    {"envmonarch", 37},    {"na_personal", 38},  {"envpersonal", 38},  {"na_fanfold-us", 39},
    {"fanfoldus", 39},     {"na_fanfold-eur", 40}, {"fanfoldstdgerman", 40},
    {"na_foolscap", 41},   {"fanfoldlglgerman", 41}};

constexpr NamedCode kSources[] = {
    {"auto", 7},          {"main", 1},       {"top", 1},            {"upper", 1},
    {"tray-1", 1},        {"tray1", 1},      {"bottom", 2},         {"lower", 2},
    {"tray-2", 2},        {"tray2", 2},      {"middle", 3},         {"tray-3", 3},
    {"tray3", 3},         {"manual", 4},     {"by-pass-tray", 4},   {"envelope", 5},
    {"tractor", 8},       {"large-capacity", 11}, {"largecapacity", 11}, {"cassette", 14},
    {"formsource", 15}};

std::int32_t resolutionDpi(std::string_view v) {
  // "600dpi", "600x600dpi", "300x600dpi" (the first figure)
  std::size_t n = 0;
  while (n < v.size() && std::isdigit(static_cast<unsigned char>(v[n]))) ++n;
  if (n == 0 || n > 6) return 0;
  return static_cast<std::int32_t>(std::stol(std::string(v.substr(0, n))));
}

}  // namespace

std::int32_t paperSizeCode(std::string_view media) {
  // A media option may list several keywords ("iso_a4_210x297mm,tray-1").
  std::string first = lower(media.substr(0, media.find(',')));
  if (first.empty()) return 0;
  for (const auto& p : kPaper) {
    if (first == p.name) return p.code;
    // PWG names: class_name_size, matched on "class_name"
    if (first.size() > p.name.size() && first.compare(0, p.name.size(), p.name) == 0 &&
        first[p.name.size()] == '_' && p.name.find('_') != std::string_view::npos) {
      return p.code;
    }
  }
  return 256;
}

std::int32_t paperSourceCode(std::string_view source) {
  std::string s = lower(source);
  if (s.empty()) return 0;
  for (const auto& p : kSources) {
    if (s == p.name) return p.code;
  }
  return 0;
}

PrinterSettings printerFromCupsDest(const CupsDest& d) {
  PrinterSettings p;
  std::string name = d.instance.empty() ? d.name : d.name + "/" + d.instance;
  p.deviceName = utf8ToWindows1252(name);
  if (auto v = option(d, "printer-make-and-model")) p.driverName = utf8ToWindows1252(*v);
  if (auto v = option(d, "device-uri")) p.portName = utf8ToWindows1252(*v);

  p.colorMode = DMCOLOR_MONOCHROME;
  if (auto v = option(d, "print-color-mode")) {
    p.colorMode = lower(*v) == "monochrome" || lower(*v) == "bi-level" ? DMCOLOR_MONOCHROME
                                                                        : DMCOLOR_COLOR;
  } else if (auto v = option(d, "printer-type")) {
    auto type = parseNumber(*v);
    if (type && (*type & CUPS_PRINTER_COLOR)) p.colorMode = DMCOLOR_COLOR;
  }

  p.duplex = 1;
  if (auto v = option(d, "sides")) {
    if (*v == "two-sided-long-edge") p.duplex = 2;
    else if (*v == "two-sided-short-edge") p.duplex = 3;
  } else if (auto v = option(d, "Duplex")) {
    if (*v == "DuplexNoTumble") p.duplex = 2;
    else if (*v == "DuplexTumble") p.duplex = 3;
  }

  p.orientation = 1;
  if (auto v = option(d, "orientation-requested")) {
    auto o = parseNumber(*v);
    if (o && (*o == 4 || *o == 5)) p.orientation = 2;
  } else if (option(d, "landscape")) {
    p.orientation = 2;
  }

  if (auto v = option(d, "media-source")) p.defaultSource = paperSourceCode(*v);
  else if (auto v = option(d, "InputSlot")) p.defaultSource = paperSourceCode(*v);

  if (auto v = option(d, "media")) p.paperSize = paperSizeCode(*v);
  else if (auto v = option(d, "PageSize")) p.paperSize = paperSizeCode(*v);

  if (auto v = option(d, "print-quality")) {
    auto q = parseNumber(*v);
    if (q && *q == 3) p.printQuality = -1;
    else if (q && *q == 4) p.printQuality = -3;
    else if (q && *q == 5) p.printQuality = -4;
  }
  if (p.printQuality == 0) {
    if (auto v = option(d, "printer-resolution")) p.printQuality = resolutionDpi(*v);
    else if (auto v = option(d, "Resolution")) p.printQuality = resolutionDpi(*v);
  }
  return p;
}

std::vector<PrinterSettings> printersFromCupsDests(const std::vector<CupsDest>& dests) {
  std::vector<PrinterSettings> out;
  out.reserve(dests.size());
  for (const auto& d : dests) out.push_back(printerFromCupsDest(d));
  return out;
}

namespace {

struct Deadline {
  std::chrono::steady_clock::time_point end;
};

// libcups asks this while it waits for data: keep waiting only until the
// deadline of the whole exchange.
int keepWaiting(http_t*, void* data) {
  auto* d = static_cast<Deadline*>(data);
  return std::chrono::steady_clock::now() < d->end ? 1 : 0;
}

std::vector<CupsDest> readCupsDestsNow(Deadline* deadline) {
  std::vector<CupsDest> out;
  auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline->end -
                                                                    std::chrono::steady_clock::now());
  int connectMs = static_cast<int>(std::max<long long>(1, left.count() / 2));
  http_t* http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                              connectMs, nullptr);
  if (!http) return out;
  httpSetTimeout(http, 0.25, keepWaiting, deadline);
  cups_dest_t* dests = nullptr;
  int count = cupsGetDests2(http, &dests);
  for (int i = 0; i < count; ++i) {
    CupsDest d;
    d.name = dests[i].name ? dests[i].name : "";
    d.instance = dests[i].instance ? dests[i].instance : "";
    d.isDefault = dests[i].is_default != 0;
    for (int k = 0; k < dests[i].num_options; ++k) {
      d.options.emplace_back(dests[i].options[k].name ? dests[i].options[k].name : "",
                             dests[i].options[k].value ? dests[i].options[k].value : "");
    }
    out.push_back(std::move(d));
  }
  cupsFreeDests(count, dests);
  httpClose(http);
  return out;
}

struct Exchange {
  std::mutex m;
  std::condition_variable cv;
  bool done = false;
  Deadline deadline;
  std::vector<CupsDest> result;
  // libcups keeps its connection settings per thread: the helper takes the caller's.
  std::string server;
  int port = 631;
  http_encryption_t encryption = HTTP_ENCRYPTION_IF_REQUESTED;
};

}  // namespace

std::vector<CupsDest> readCupsDests(std::chrono::milliseconds limit) {
  // libcups retries and reconnects on its own, each time with its own
  // time-outs; the exchange runs on a helper thread so that the audit waits
  // no longer than `limit` whatever the scheduler does. A helper that is
  // given up on finishes by itself (its deadline makes libcups stop too).
  auto ex = std::make_shared<Exchange>();
  ex->deadline.end = std::chrono::steady_clock::now() + limit;
  ex->server = cupsServer();
  ex->port = ippPort();
  ex->encryption = cupsEncryption();
  std::thread([ex] {
    cupsSetServer(ex->server.c_str());
    ippSetPort(ex->port);
    cupsSetEncryption(ex->encryption);
    auto r = readCupsDestsNow(&ex->deadline);
    std::lock_guard lock(ex->m);
    ex->result = std::move(r);
    ex->done = true;
    ex->cv.notify_all();
  }).detach();
  std::unique_lock lock(ex->m);
  if (!ex->cv.wait_until(lock, ex->deadline.end + std::chrono::milliseconds(50),
                         [&] { return ex->done; })) {
    return {};
  }
  return std::move(ex->result);
}

namespace {

class LinuxPrinters final : public Printers {
 public:
  explicit LinuxPrinters(std::chrono::milliseconds limit) : limit_(limit) {}
  Expected<std::vector<PrinterSettings>> installed() const override {
    return printersFromCupsDests(readCupsDests(limit_));
  }

 private:
  std::chrono::milliseconds limit_;
};

}  // namespace

std::unique_ptr<Printers> makeLinuxPrinters(std::chrono::milliseconds limit) {
  return std::make_unique<LinuxPrinters>(limit);
}

}  // namespace quorvane::platform::linux_backend
