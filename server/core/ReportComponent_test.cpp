// The server's side of the report-library contract against a stand-in
// library built from the public header alone: what fails and with which
// error (no file, a file that is no library, a missing entry point, a class
// asked for before registering or never offered, an unknown method, wrong
// argument types, an object already released), and the values that cross in
// both directions (text, number, list of texts, true/false, nothing).
#include "server/core/ReportComponent.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "server/testsupport/QtTestSupport.h"

namespace quorvane {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

const std::string kFake = std::string(QUORVANE_BINARY_DIR) + "/testlibs/dovrelFake.so";
const std::string kNoReg = std::string(QUORVANE_BINARY_DIR) + "/testlibs/dovrelNoReg.so";

const QvHost kQuiet{sizeof(QvHost), QV_HOST_QUIET, nullptr, nullptr};

// A fresh copy of a built stand-in under `name` (its own load, its own
// registration state).
std::string copyOf(const TempFolder& folder, const std::string& from, const std::string& name) {
  EXPECT_TRUE(fs::exists(from)) << from << " is not built";
  fs::copy_file(from, folder.path() + name, fs::copy_options::overwrite_existing);
  return folder.path() + name;
}

Expected<std::unique_ptr<ComponentLibrary>> loadRegistered(const TempFolder& folder, const std::string& name) {
  auto lib = ComponentLibrary::load(copyOf(folder, kFake, name));
  if (lib) {
    if (Status st = (*lib)->registerServer(); !st) return st;
  }
  return lib;
}

// Runs the steps of one case and gives the first failure (Ok when none).
using Steps = std::function<Status(const TempFolder&)>;

struct FailureCase {
  const char* name;
  Steps steps;
  long number;
  const char* said;  // a part of the description
};

// What `use` makes of an object of the stand-in library, loaded and
// registered under `name`.
Status onFakeObject(const TempFolder& folder, const std::string& name,
                    const std::function<Status(DispatchObject&)>& use) {
  auto lib = loadRegistered(folder, name);
  if (!lib) return lib.status();
  auto object = (*lib)->createObject("clsFake", &kQuiet);
  if (!object) return object.status();
  return use(*object);
}

Status firstFailureOfCall(const TempFolder& folder, const char* method, std::vector<ReportValue> args) {
  return onFakeObject(folder, "dovrelCalls.so",
                      [&](DispatchObject& object) { return object.invoke(method, args).status(); });
}

const FailureCase kFailures[] = {
    {"NoSuchFile",
     [](const TempFolder& f) { return ComponentLibrary::load(f.path() + "dovrelGone.so").status(); },
     kErrLoadLibrary, "dovrelGone.so"},
    {"TextFileNamedLikeALibrary",
     [](const TempFolder& f) {
       f.write("dovrelText.so", "not a shared object\n");
       return ComponentLibrary::load(f.path() + "dovrelText.so").status();
     },
     kErrLoadLibrary, "dovrelText.so"},
    {"RegisterEntryPointMissing",
     [](const TempFolder& f) {
       auto lib = ComponentLibrary::load(copyOf(f, kNoReg, "dovrelNoReg.so"));
       return lib ? (*lib)->registerServer() : lib.status();
     },
     kErrEntryPointMissing, "DllRegisterServer is missing in "},
    {"ObjectBeforeRegistering",
     [](const TempFolder& f) {
       auto lib = ComponentLibrary::load(copyOf(f, kFake, "dovrelEarly.so"));
       return lib ? (*lib)->createObject("clsFake", &kQuiet).status() : lib.status();
     },
     kErrCannotCreateObject, "(dovrelEarly.clsFake)"},
    {"ClassNotOffered",
     [](const TempFolder& f) {
       auto lib = loadRegistered(f, "dovrelOther.so");
       return lib ? (*lib)->createObject("clsNothing", &kQuiet).status() : lib.status();
     },
     kErrCannotCreateObject, "(dovrelOther.clsNothing)"},
    {"EmptyClassName",
     [](const TempFolder& f) {
       auto lib = loadRegistered(f, "dovrelBlank.so");
       return lib ? (*lib)->createObject("", &kQuiet).status() : lib.status();
     },
     kErrCannotCreateObject, "(dovrelBlank.)"},
    {"UnknownMethod", [](const TempFolder& f) { return firstFailureOfCall(f, "Nothing", {}); }, kErrMethodFailed,
     "The call of Nothing failed (0x80020006)"},
    {"NumberWhereAListBelongs",
     [](const TempFolder& f) { return firstFailureOfCall(f, "Init", {ReportValue{std::int32_t{5}}}); },
     kErrMethodFailed, "The call of Init failed (0x80020005)"},
    {"MissingArguments", [](const TempFolder& f) { return firstFailureOfCall(f, "doReport", {}); },
     kErrMethodFailed, "The call of doReport failed (0x80020005)"},
    {"ReleasedObject",
     [](const TempFolder& f) {
       return onFakeObject(f, "dovrelGoneObject.so", [](DispatchObject& object) {
         object.release();
         return object.invoke("strGetAuthor").status();
       });
     },
     kErrObjectNotSet, "(strGetAuthor)"},
    {"MovedFromObject",
     [](const TempFolder& f) {
       return onFakeObject(f, "dovrelMoved.so", [](DispatchObject& object) {
         DispatchObject taken = std::move(object);
         EXPECT_TRUE(taken);
         return object.invoke("strGetAuthor").status();
       });
     },
     kErrObjectNotSet, "(strGetAuthor)"},
};

class ComponentFailureTest : public ::testing::TestWithParam<FailureCase> {};

TEST_P(ComponentFailureTest, FailsWithItsNumber) {
  TempFolder folder;
  const Status st = GetParam().steps(folder);
  ASSERT_FALSE(st.ok());
  EXPECT_EQ(st.number(), GetParam().number) << st.description();
  EXPECT_NE(st.description().find(GetParam().said), std::string::npos) << st.description();
}

INSTANTIATE_TEST_SUITE_P(Failures, ComponentFailureTest, ::testing::ValuesIn(kFailures),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(ComponentLibraryTest, ValuesCrossBothWays) {
  TempFolder folder;
  auto lib = loadRegistered(folder, "dovrelValues.so");
  ASSERT_TRUE(lib.ok()) << lib.status().description();
  EXPECT_EQ((*lib)->projectName(), "dovrelValues");
  EXPECT_TRUE((*lib)->hasEntryPoint("DllGetClassObject"));
  EXPECT_FALSE((*lib)->hasEntryPoint("DllNothing"));
  auto object = (*lib)->createObject("clsFake", &kQuiet);
  ASSERT_TRUE(object.ok()) << object.status().description();

  auto names = object->invoke("strGetNames");
  ASSERT_TRUE(names.ok());
  ASSERT_NE(names->asTextArray(), nullptr);
  EXPECT_EQ(*names->asTextArray(),
            (std::vector<std::string>{"XML Data Export::clsFake::{Output to XML,.xml;Output to Text,.txt}",
                                      "Fake Report::clsFake::{Plain,.txt}"}));
  auto author = object->invoke("strGetAuthor");
  ASSERT_TRUE(author.ok());
  ASSERT_NE(author->asText(), nullptr);
  EXPECT_EQ(*author->asText(), "Fake Author");

  auto init = object->invoke("Init", {ReportValue{std::vector<std::string>{"a.dat", "", "c.dat"}}});
  ASSERT_TRUE(init.ok());
  ASSERT_NE(init->asBool(), nullptr);
  EXPECT_TRUE(*init->asBool());
  const std::string out = folder.path() + "out.txt";
  auto done = object->invoke("doReport", {ReportValue{std::int32_t{1}}, ReportValue{out}});
  ASSERT_TRUE(done.ok());
  EXPECT_TRUE(done->isEmpty());
  EXPECT_EQ(folder.read("out.txt"), "fake 1 3\n");

  auto refused = object->invoke("Init", {ReportValue{std::vector<std::string>{"x/fail-init"}}});
  ASSERT_TRUE(refused.ok());
  ASSERT_NE(refused->asBool(), nullptr);
  EXPECT_FALSE(*refused->asBool());
  EXPECT_TRUE((*lib)->unregisterServer().ok());
  EXPECT_EQ((*lib)->createObject("clsFake", &kQuiet).status().number(), kErrCannotCreateObject);
}

}  // namespace
}  // namespace quorvane
