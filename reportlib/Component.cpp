#include "reportlib/Component.h"

#include <atomic>
#include <memory>
#include <new>
#include <string_view>
#include <type_traits>

#include "reportlib/clsComputerSummary.h"
#include "reportlib/clsFleetExport.h"
#include "reportlib/clsInit.h"
#include "reportlib/clsReportSoftware.h"
#include "reportlib/clsSoftwareByVersion.h"
#include "reportlib/clsSoftwareInventory.h"
#include "reportlib/clsXMLExport.h"
#include "reportlib/modMain.h"

namespace dovrel {

namespace {

std::atomic<int> gLiveObjects{0};
bool gRegistered = false;

bool sameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

std::string_view textOf(const QvText& t) {
  return t.data == nullptr ? std::string_view() : std::string_view(t.data, t.size);
}

// Keeps a result alive until the next call on the same object.
class ResultHolder {
 public:
  void empty(QvValue* r) { *r = QvValue{}; }
  void boolean(QvValue* r, bool value) {
    *r = QvValue{};
    r->type = QV_TYPE_BOOL;
    r->boolean = value ? 1 : 0;
  }
  void text(QvValue* r, std::string value) {
    text_ = std::move(value);
    *r = QvValue{};
    r->type = QV_TYPE_TEXT;
    r->text = QvText{text_.data(), text_.size()};
  }
  void textArray(QvValue* r, std::vector<std::string> values) {
    items_ = std::move(values);
    views_.clear();
    for (const auto& s : items_) views_.push_back(QvText{s.data(), s.size()});
    *r = QvValue{};
    r->type = QV_TYPE_TEXT_ARRAY;
    r->items = views_.data();
    r->count = views_.size();
  }

 private:
  std::string text_;
  std::vector<std::string> items_;
  std::vector<QvText> views_;
};

class Object {
 public:
  virtual ~Object() = default;
  virtual QvResult invoke(std::string_view name, const QvValue* args, int32_t argCount,
                          QvValue* result) = 0;

 protected:
  ResultHolder holder_;
};

class InitObject final : public Object {
 public:
  explicit InitObject(const QvHost* host) : host_(host), init_(host_) {}
  QvResult invoke(std::string_view name, const QvValue*, int32_t argCount,
                  QvValue* result) override {
    if (sameName(name, "strGetNames")) {
      if (argCount != 0) return QV_E_BADPARAMCOUNT;
      holder_.textArray(result, init_.strGetNames());
      return QV_OK;
    }
    if (sameName(name, "strGetAuthor")) {
      if (argCount != 0) return QV_E_BADPARAMCOUNT;
      holder_.text(result, init_.strGetAuthor());
      return QV_OK;
    }
    return QV_E_UNKNOWNNAME;
  }

 private:
  ReportHost host_;
  clsInit init_;
};

template <class Report>
class ReportObject final : public Object {
 public:
  explicit ReportObject(const QvHost* host) : report_(ReportHost(host)) {}
  QvResult invoke(std::string_view name, const QvValue* args, int32_t argCount,
                  QvValue* result) override {
    if (sameName(name, "Init")) {
      if (argCount != 1) return QV_E_BADPARAMCOUNT;
      if (args[0].type != QV_TYPE_TEXT_ARRAY || (args[0].count > 0 && args[0].items == nullptr)) {
        return QV_E_TYPEMISMATCH;
      }
      std::vector<std::string> paths;
      paths.reserve(args[0].count);
      for (std::size_t i = 0; i < args[0].count; ++i) paths.emplace_back(textOf(args[0].items[i]));
      holder_.boolean(result, report_.Init(paths));
      return QV_OK;
    }
    if (sameName(name, "isInit")) {
      if (argCount != 0) return QV_E_BADPARAMCOUNT;
      holder_.boolean(result, report_.isInit());
      return QV_OK;
    }
    if (sameName(name, "doReport")) {
      if (argCount != 2) return QV_E_BADPARAMCOUNT;
      if (args[0].type != QV_TYPE_INT32 || args[1].type != QV_TYPE_TEXT) return QV_E_TYPEMISMATCH;
      holder_.boolean(result, report_.doReport(args[0].int32, std::string(textOf(args[1].text))));
      return QV_OK;
    }
    return QV_E_UNKNOWNNAME;
  }

 private:
  Report report_;
};

struct Box {
  QvDispatch base;
  uint32_t refs;
  std::unique_ptr<Object> object;
};

// A QvDispatch* handed out is the address of its Box.
static_assert(std::is_standard_layout_v<Box>);

uint32_t boxAddRef(QvDispatch* self) { return ++reinterpret_cast<Box*>(self)->refs; }

uint32_t boxRelease(QvDispatch* self) {
  auto* box = reinterpret_cast<Box*>(self);
  const uint32_t left = --box->refs;
  if (left == 0) {
    delete box;
    --gLiveObjects;
  }
  return left;
}

QvResult boxInvoke(QvDispatch* self, const char* name, const QvValue* args, int32_t argCount,
                   QvValue* result) {
  if (self == nullptr || name == nullptr || result == nullptr) return QV_E_POINTER;
  if (argCount < 0 || (argCount > 0 && args == nullptr)) return QV_E_POINTER;
  *result = QvValue{};
  try {
    return reinterpret_cast<Box*>(self)->object->invoke(name, args, argCount, result);
  } catch (const std::bad_alloc&) {
    return QV_E_FAIL;
  } catch (...) {
    return QV_E_FAIL;
  }
}

const QvDispatchVtbl kVtbl = {&boxAddRef, &boxRelease, &boxInvoke};

// A new object of the class `cls`, or none for a name the library does not know.
std::unique_ptr<Object> makeObject(std::string_view cls, const QvHost* host) {
  if (sameName(cls, "clsInit")) return std::make_unique<InitObject>(host);
  if (sameName(cls, "clsReportSoftware")) return std::make_unique<ReportObject<clsReportSoftware>>(host);
  if (sameName(cls, "clsXMLExport")) return std::make_unique<ReportObject<clsXMLExport>>(host);
  if (sameName(cls, "clsSoftwareByVersion")) {
    return std::make_unique<ReportObject<clsSoftwareByVersion>>(host);
  }
  if (sameName(cls, "clsSoftwareInventory")) {
    return std::make_unique<ReportObject<clsSoftwareInventory>>(host);
  }
  if (sameName(cls, "clsComputerSummary")) return std::make_unique<ReportObject<clsComputerSummary>>(host);
  if (sameName(cls, "clsFleetExport")) return std::make_unique<ReportObject<clsFleetExport>>(host);
  return nullptr;
}

}  // namespace

std::vector<std::string> creatableClasses() {
  return {"clsInit",         "clsReportSoftware",    "clsXMLExport",  "clsSoftwareByVersion",
          "clsSoftwareInventory", "clsComputerSummary", "clsFleetExport"};
}

QvResult registerServer() {
  gRegistered = true;
  return QV_OK;
}

QvResult unregisterServer() {
  gRegistered = false;
  return QV_OK;
}

bool isRegistered() { return gRegistered; }

QvResult getClassObject(const char* progId, const QvHost* host, QvDispatch** object) {
  if (object == nullptr) return QV_E_POINTER;
  *object = nullptr;
  if (progId == nullptr) return QV_E_POINTER;
  if (!gRegistered) return QV_E_CLASSNOTREG;
  const std::string_view id(progId);
  const auto dot = id.find('.');
  if (dot == std::string_view::npos) return QV_E_CLASSNOTREG;
  if (!sameName(id.substr(0, dot), libraryProjectName())) return QV_E_CLASSNOTREG;
  const std::string_view cls = id.substr(dot + 1);
  try {
    std::unique_ptr<Object> made = makeObject(cls, host);
    if (made == nullptr) return QV_E_CLASSNOTREG;
    auto* box = new Box{QvDispatch{&kVtbl}, 1, std::move(made)};
    ++gLiveObjects;
    *object = &box->base;
    return QV_OK;
  } catch (...) {
    return QV_E_FAIL;
  }
}

QvResult canUnloadNow() { return gLiveObjects.load() == 0 ? QV_OK : QV_S_FALSE; }

}  // namespace dovrel
