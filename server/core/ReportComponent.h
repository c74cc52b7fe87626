// ReportComponent: the server's side of the report-library contract
// (reportlib/QuorvaneReport.h): loading a library file, its registration
// entry points, creating an object by ProgID and calling its methods by name.
//
// ComponentLibrary owns one loaded library (unloaded with the object);
// DispatchObject owns one reference to an object of it and must be released
// (destroyed) before its library. Values cross as ReportValue: copies, never
// pointers into the library. Single-threaded, like the window that uses it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "common/Status.h"
#include "reportlib/QuorvaneReport.h"
#include "server/core/ServerErrors.h"

namespace quorvane {

// The file suffix of a loadable library on this platform (".so", ".dll").
std::string_view reportLibrarySuffix();

struct ReportValue {
  std::variant<std::monostate, bool, std::int32_t, std::string, std::vector<std::string>> v;

  bool isEmpty() const { return std::holds_alternative<std::monostate>(v); }
  const bool* asBool() const { return std::get_if<bool>(&v); }
  const std::string* asText() const { return std::get_if<std::string>(&v); }
  const std::vector<std::string>* asTextArray() const { return std::get_if<std::vector<std::string>>(&v); }
};

class DispatchObject {
 public:
  DispatchObject() = default;
  explicit DispatchObject(QvDispatch* object) : object_(object) {}
  ~DispatchObject() { release(); }
  DispatchObject(DispatchObject&& other) noexcept : object_(other.object_) { other.object_ = nullptr; }
  DispatchObject& operator=(DispatchObject&& other) noexcept;
  DispatchObject(const DispatchObject&) = delete;
  DispatchObject& operator=(const DispatchObject&) = delete;

  explicit operator bool() const { return object_ != nullptr; }
  // Calls `name` with the arguments; the result is copied out.
  Expected<ReportValue> invoke(std::string_view name, const std::vector<ReportValue>& args = {});
  void release();

 private:
  QvDispatch* object_ = nullptr;
};

class ComponentLibrary {
 public:
  // Loads the library at `path`. Fails with kErrLoadLibrary.
  static Expected<std::unique_ptr<ComponentLibrary>> load(const std::string& path);
  ~ComponentLibrary();
  ComponentLibrary(const ComponentLibrary&) = delete;
  ComponentLibrary& operator=(const ComponentLibrary&) = delete;

  const std::string& path() const { return path_; }
  // The project name: the file name without folder and extension.
  std::string projectName() const;

  bool hasEntryPoint(const char* name) const;
  // Calls DllRegisterServer / DllUnregisterServer; kErrEntryPointMissing when absent.
  Status registerServer();
  Status unregisterServer();
  // Creates "<project>.<className>"; kErrCannotCreateObject on failure.
  Expected<DispatchObject> createObject(std::string_view className, const QvHost* host);

 private:
  ComponentLibrary(std::string path, void* handle) : path_(std::move(path)), handle_(handle) {}
  void* symbol(const char* name) const;

  std::string path_;
  void* handle_;
};

}  // namespace quorvane
