// The built library as the server meets it: dlopen, the four C entry
// points, ProgIDs only while registered, calls by name, and a renamed copy
// answering to its own project name.
#include <gtest/gtest.h>

#include <algorithm>

#include <dlfcn.h>

#include <filesystem>
#include <string>
#include <vector>

#include "reportlib/DovrelTestSupport.h"
#include "reportlib/QuorvaneReport.h"

namespace {

using dovrel::testing::TempDir;

struct Library {
  explicit Library(const std::string& path) : handle(dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (handle == nullptr) return;
    reg = reinterpret_cast<QvDllRegisterServerFn>(dlsym(handle, "DllRegisterServer"));
    unreg = reinterpret_cast<QvDllUnregisterServerFn>(dlsym(handle, "DllUnregisterServer"));
    get = reinterpret_cast<QvDllGetClassObjectFn>(dlsym(handle, "DllGetClassObject"));
    canUnload = reinterpret_cast<QvDllCanUnloadNowFn>(dlsym(handle, "DllCanUnloadNow"));
  }
  ~Library() {
    if (handle != nullptr) dlclose(handle);
  }
  void* handle;
  QvDllRegisterServerFn reg = nullptr;
  QvDllUnregisterServerFn unreg = nullptr;
  QvDllGetClassObjectFn get = nullptr;
  QvDllCanUnloadNowFn canUnload = nullptr;
};

const QvHost kQuietHost = {sizeof(QvHost), QV_HOST_QUIET, nullptr, nullptr};

QvValue call(QvDispatch* o, const char* name, std::vector<QvValue> args = {},
             QvResult* rc = nullptr) {
  QvValue result{};
  const QvResult r = o->vtbl->Invoke(o, name, args.empty() ? nullptr : args.data(),
                                     static_cast<int32_t>(args.size()), &result);
  if (rc != nullptr) *rc = r;
  return result;
}

std::string text(const QvText& t) { return std::string(t.data, t.size); }

TEST(ComponentTest, ExportsOnlyTheFourEntryPoints) {
  Library lib(DOVREL_LIBRARY_PATH);
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  EXPECT_NE(lib.reg, nullptr);
  EXPECT_NE(lib.unreg, nullptr);
  EXPECT_NE(lib.get, nullptr);
  EXPECT_NE(lib.canUnload, nullptr);
  // the report classes stay inside
  EXPECT_EQ(dlsym(lib.handle, "_ZN6dovrel12clsXMLExport8doReportEiRKNSt7__cxx1112basic_stringIcSt11char_traitsIcESaIcEEE"), nullptr);
  EXPECT_EQ(dlsym(lib.handle, "_ZN8quorvane16readAuditRecordESt17basic_string_viewIcSt11char_traitsIcEEPm"), nullptr);
}

TEST(ComponentTest, ProgIdsWorkOnlyWhileRegistered) {
  Library lib(DOVREL_LIBRARY_PATH);
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  QvDispatch* o = reinterpret_cast<QvDispatch*>(0x1);
  EXPECT_EQ(lib.get("Dovrel.clsInit", &kQuietHost, &o), QV_E_CLASSNOTREG);
  EXPECT_EQ(o, nullptr);
  ASSERT_EQ(lib.reg(), QV_OK);
  for (const char* id : {"Dovrel.clsInit", "Dovrel.clsReportSoftware", "Dovrel.clsXMLExport",
                         "dovrel.CLSINIT"}) {
    QvDispatch* made = nullptr;
    ASSERT_EQ(lib.get(id, &kQuietHost, &made), QV_OK) << id;
    EXPECT_EQ(lib.canUnload(), QV_S_FALSE);
    EXPECT_EQ(made->vtbl->Release(made), 0u);
  }
  EXPECT_EQ(lib.canUnload(), QV_OK);
  for (const char* id : {"Dovrel.clsNothing", "Other.clsInit", "Dovrel", "", "Dovrel.", ".clsInit"}) {
    QvDispatch* made = nullptr;
    EXPECT_EQ(lib.get(id, &kQuietHost, &made), QV_E_CLASSNOTREG) << id;
    EXPECT_EQ(made, nullptr);
  }
  EXPECT_EQ(lib.get(nullptr, &kQuietHost, &o), QV_E_POINTER);
  EXPECT_EQ(lib.get("Dovrel.clsInit", &kQuietHost, nullptr), QV_E_POINTER);
  ASSERT_EQ(lib.unreg(), QV_OK);
  QvDispatch* late = nullptr;
  EXPECT_EQ(lib.get("Dovrel.clsInit", &kQuietHost, &late), QV_E_CLASSNOTREG);
  EXPECT_EQ(lib.unreg(), QV_OK);  // idempotent
}

TEST(ComponentTest, CatalogAndAuthorByName) {
  Library lib(DOVREL_LIBRARY_PATH);
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  lib.reg();
  QvDispatch* o = nullptr;
  ASSERT_EQ(lib.get("Dovrel.clsInit", nullptr, &o), QV_OK);
  QvResult rc = 0;
  QvValue names = call(o, "strGetNames", {}, &rc);
  ASSERT_EQ(rc, QV_OK);
  ASSERT_EQ(names.type, QV_TYPE_TEXT_ARRAY);
  ASSERT_EQ(names.count, 6u);
  EXPECT_EQ(text(names.items[0]), "Report Software Assets::clsReportSoftware::{Output to HTML,.html}");
  EXPECT_EQ(text(names.items[1]), "XML Data Export::clsXMLExport::{Output to XML,.xml}");
  EXPECT_EQ(text(names.items[2]),
            "Software by Version and Computer::clsSoftwareByVersion::{Output to HTML,.html}");
  EXPECT_EQ(text(names.items[3]), "Software Inventory::clsSoftwareInventory::{Output to CSV,.csv}");
  EXPECT_EQ(text(names.items[4]), "Computer Summary::clsComputerSummary::{Output to CSV,.csv}");
  EXPECT_EQ(text(names.items[5]), "Fleet Export::clsFleetExport::{Output to JSON,.json}");
  // Every entry names a class the library creates, and no report name begins another one.
  for (std::size_t i = 0; i < names.count; ++i) {
    const std::string entry = text(names.items[i]);
    const std::string name = entry.substr(0, entry.find("::"));
    const std::size_t from = name.size() + 2;
    const std::string cls = entry.substr(from, entry.find("::", from) - from);
    QvDispatch* report = nullptr;
    EXPECT_EQ(lib.get(("Dovrel." + cls).c_str(), &kQuietHost, &report), QV_OK) << cls;
    if (report != nullptr) report->vtbl->Release(report);
    for (std::size_t j = 0; j < names.count; ++j) {
      const std::string other = text(names.items[j]);
      if (i == j) continue;
      std::string a = name, b = other.substr(0, name.size());
      for (auto* s : {&a, &b}) std::transform(s->begin(), s->end(), s->begin(), ::tolower);
      EXPECT_NE(a, b) << name << " begins " << other;
    }
  }
  QvValue author = call(o, "STRGETAUTHOR", {}, &rc);
  ASSERT_EQ(rc, QV_OK);
  ASSERT_EQ(author.type, QV_TYPE_TEXT);
  EXPECT_EQ(text(author.text), "Ostervale Technologies Ltd.");
  call(o, "doReport", {}, &rc);
  EXPECT_EQ(rc, QV_E_UNKNOWNNAME);
  QvValue arg{};
  arg.type = QV_TYPE_INT32;
  call(o, "strGetNames", {arg}, &rc);
  EXPECT_EQ(rc, QV_E_BADPARAMCOUNT);
  EXPECT_EQ(o->vtbl->AddRef(o), 2u);
  EXPECT_EQ(o->vtbl->Release(o), 1u);
  EXPECT_EQ(o->vtbl->Release(o), 0u);
  lib.unreg();
}

TEST(ComponentTest, ReportClassesCheckTheirArguments) {
  Library lib(DOVREL_LIBRARY_PATH);
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  lib.reg();
  std::vector<std::string> shown;
  QvHost host{sizeof(QvHost), QV_HOST_QUIET, &shown,
              [](void* ctx, int32_t, const char* t, size_t n) {
                static_cast<std::vector<std::string>*>(ctx)->emplace_back(t, n);
              }};
  QvDispatch* o = nullptr;
  ASSERT_EQ(lib.get("Dovrel.clsXMLExport", &host, &o), QV_OK);
  QvResult rc = 0;
  QvValue v = call(o, "isInit", {}, &rc);
  EXPECT_EQ(rc, QV_OK);
  EXPECT_EQ(v.type, QV_TYPE_BOOL);
  EXPECT_EQ(v.boolean, 0);

  QvValue type{}, path{};
  type.type = QV_TYPE_INT32;
  path.type = QV_TYPE_TEXT;
  TempDir dir;
  const std::string out = dir.file("x.xml");
  path.text = QvText{out.data(), out.size()};
  v = call(o, "doReport", {type, path}, &rc);
  EXPECT_EQ(rc, QV_OK);
  EXPECT_EQ(v.boolean, 0);
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0], "Dovrel.clsXMLExport.doReport()\r\n\r\nHas not been initialized");
  EXPECT_FALSE(std::filesystem::exists(out));

  call(o, "doReport", {path, type}, &rc);
  EXPECT_EQ(rc, QV_E_TYPEMISMATCH);
  call(o, "Init", {type}, &rc);
  EXPECT_EQ(rc, QV_E_TYPEMISMATCH);
  QvValue list{};
  list.type = QV_TYPE_TEXT_ARRAY;
  list.count = 3;  // items missing
  call(o, "Init", {list}, &rc);
  EXPECT_EQ(rc, QV_E_TYPEMISMATCH);

  QvText empty{"", 0};
  list.items = &empty;
  list.count = 1;
  v = call(o, "init", {list}, &rc);
  EXPECT_EQ(rc, QV_OK);
  EXPECT_EQ(v.boolean, 1);
  v = call(o, "doReport", {type, path}, &rc);
  EXPECT_EQ(rc, QV_OK);
  EXPECT_EQ(v.boolean, 1);
  EXPECT_TRUE(std::filesystem::exists(out));
  o->vtbl->Release(o);
  lib.unreg();
}

TEST(ComponentTest, RenamedCopyAnswersToItsOwnName) {
  TempDir dir;
  const auto copy = dir.path() / ("dovrelX" + std::filesystem::path(DOVREL_LIBRARY_PATH).extension().string());
  std::filesystem::copy_file(DOVREL_LIBRARY_PATH, copy);
  Library lib(copy.string());
  ASSERT_NE(lib.handle, nullptr) << dlerror();
  lib.reg();
  QvDispatch* o = nullptr;
  EXPECT_EQ(lib.get("Dovrel.clsInit", &kQuietHost, &o), QV_E_CLASSNOTREG);
  ASSERT_EQ(lib.get("dovrelX.clsInit", &kQuietHost, &o), QV_OK);
  o->vtbl->Release(o);
  lib.unreg();
}

}  // namespace
