// quorvane-notify-standin: a stand-in desktop notification service for
// tests. It owns org.freedesktop.Notifications on the bus it is given and
// appends one JSON line per Notify call to the record file.
//
//   quorvane-notify-standin --address ADDRESS --record FILE --ready FILE
//                           [--markup] [--silent] [--max-seconds N]
//
// --ready FILE is written once the name is owned. --markup announces the
// "body-markup" capability. --silent takes the calls but never answers (a
// hung service). The program ends when its bus goes away, on SIGTERM, or
// after --max-seconds (default 120) by itself.
#include <systemd/sd-bus.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

namespace {

struct StandIn {
  std::string record;
  bool markup = false;
  bool silent = false;
  std::uint32_t nextId = 1;
};

int capabilities(sd_bus_message* m, const StandIn& s) {
  sd_bus_message* reply = nullptr;
  if (sd_bus_message_new_method_return(m, &reply) < 0) return -1;
  char body[] = "body", markup[] = "body-markup";
  char* caps[] = {body, s.markup ? markup : nullptr, nullptr};
  int r = sd_bus_message_append_strv(reply, caps);
  if (r >= 0) r = sd_bus_send(nullptr, reply, nullptr);
  sd_bus_message_unref(reply);
  return r < 0 ? r : 1;
}

int notify(sd_bus_message* m, StandIn& s) {
  const char *app = nullptr, *icon = nullptr, *summary = nullptr, *body = nullptr;
  std::uint32_t replaces = 0;
  std::int32_t expire = 0;
  if (sd_bus_message_read(m, "susss", &app, &replaces, &icon, &summary, &body) < 0 ||
      sd_bus_message_skip(m, "asa{sv}") < 0 || sd_bus_message_read(m, "i", &expire) < 0) {
    return sd_bus_reply_method_errorf(m, "org.freedesktop.DBus.Error.InvalidArgs", "bad Notify arguments");
  }
  const nlohmann::json line = {{"app", app},         {"replaces", replaces}, {"icon", icon},
                               {"summary", summary}, {"body", body},         {"expire", expire}};
  std::ofstream(s.record, std::ios::app | std::ios::binary) << line.dump() << "\n";
  if (s.silent) return 1;
  return sd_bus_reply_method_return(m, "u", s.nextId++);
}

int onMessage(sd_bus_message* m, void* userdata, sd_bus_error*) {
  auto& s = *static_cast<StandIn*>(userdata);
  const char* iface = "org.freedesktop.Notifications";
  if (sd_bus_message_is_method_call(m, iface, "GetCapabilities")) return s.silent ? 1 : capabilities(m, s);
  if (sd_bus_message_is_method_call(m, iface, "Notify")) return notify(m, s);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  StandIn s;
  std::string address, ready;
  long maxSeconds = 120;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    const bool more = i + 1 < argc;
    if (a == "--address" && more) address = argv[++i];
    else if (a == "--record" && more) s.record = argv[++i];
    else if (a == "--ready" && more) ready = argv[++i];
    else if (a == "--max-seconds" && more) maxSeconds = std::stol(argv[++i]);
    else if (a == "--markup") s.markup = true;
    else if (a == "--silent") s.silent = true;
    else {
      std::fprintf(stderr, "quorvane-notify-standin: unknown argument %s\n", a.c_str());
      return 2;
    }
  }
  sd_bus* bus = nullptr;
  if (address.empty() || s.record.empty() || sd_bus_new(&bus) < 0 || sd_bus_set_address(bus, address.c_str()) < 0 ||
      sd_bus_set_bus_client(bus, 1) < 0 || sd_bus_start(bus) < 0 ||
      sd_bus_add_object(bus, nullptr, "/org/freedesktop/Notifications", onMessage, &s) < 0 ||
      sd_bus_request_name(bus, "org.freedesktop.Notifications", 0) < 0) {
    std::fprintf(stderr, "quorvane-notify-standin: cannot serve on %s\n", address.c_str());
    return 1;
  }
  if (!ready.empty()) std::ofstream(ready) << "ready\n";
  const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(maxSeconds);
  while (std::chrono::steady_clock::now() < end) {
    const int r = sd_bus_process(bus, nullptr);
    if (r < 0) break;
    if (r > 0) continue;
    if (sd_bus_wait(bus, 500 * 1000) < 0) break;
  }
  sd_bus_flush_close_unref(bus);
  return 0;
}
