#include "server/core/ReportComponent.h"

#include "common/ErrorReport.h"

#include <dlfcn.h>

#include <cstdio>
#include <filesystem>

namespace quorvane {

std::string_view reportLibrarySuffix() { return ".so"; }

DispatchObject& DispatchObject::operator=(DispatchObject&& other) noexcept {
  if (this != &other) {
    release();
    object_ = other.object_;
    other.object_ = nullptr;
  }
  return *this;
}

void DispatchObject::release() {
  if (object_ != nullptr) object_->vtbl->Release(object_);
  object_ = nullptr;
}

Expected<ReportValue> DispatchObject::invoke(std::string_view name,
                                             const std::vector<ReportValue>& args) {
  const std::string method(name);
  if (object_ == nullptr) {
    return Status::Error(kErrObjectNotSet, "Object variable not set (" + method + ")");
  }
  // Arguments as the C structures; the texts stay owned by `args`.
  std::vector<std::vector<QvText>> arrays(args.size());
  std::vector<QvValue> in(args.size());
  for (std::size_t i = 0; i < args.size(); ++i) {
    QvValue& q = in[i];
    q = QvValue{};
    const auto& v = args[i].v;
    if (const bool* b = std::get_if<bool>(&v)) {
      q.type = QV_TYPE_BOOL;
      q.boolean = *b ? 1 : 0;
    } else if (const auto* n = std::get_if<std::int32_t>(&v)) {
      q.type = QV_TYPE_INT32;
      q.int32 = *n;
    } else if (const auto* s = std::get_if<std::string>(&v)) {
      q.type = QV_TYPE_TEXT;
      q.text = QvText{s->data(), s->size()};
    } else if (const auto* list = std::get_if<std::vector<std::string>>(&v)) {
      for (const auto& s2 : *list) arrays[i].push_back(QvText{s2.data(), s2.size()});
      q.type = QV_TYPE_TEXT_ARRAY;
      q.items = arrays[i].data();
      q.count = arrays[i].size();
    }
  }
  QvValue out{};
  const QvResult rc = object_->vtbl->Invoke(object_, method.c_str(), in.empty() ? nullptr : in.data(),
                                            static_cast<std::int32_t>(in.size()), &out);
  if (rc != QV_OK) {
    char code[16];
    std::snprintf(code, sizeof code, "%08X", static_cast<unsigned>(rc));
    return Status::Error(kErrMethodFailed, "The call of " + method + " failed (0x" + code + ")");
  }
  ReportValue result;
  switch (out.type) {
    case QV_TYPE_BOOL: result.v = out.boolean != 0; break;
    case QV_TYPE_INT32: result.v = out.int32; break;
    case QV_TYPE_TEXT:
      result.v = out.text.data == nullptr ? std::string() : std::string(out.text.data, out.text.size);
      break;
    case QV_TYPE_TEXT_ARRAY: {
      std::vector<std::string> list;
      if (out.items != nullptr) {
        for (std::size_t i = 0; i < out.count; ++i) {
          list.emplace_back(out.items[i].data == nullptr ? std::string()
                                                         : std::string(out.items[i].data, out.items[i].size));
        }
      }
      result.v = std::move(list);
      break;
    }
    default: break;
  }
  return result;
}

Expected<std::unique_ptr<ComponentLibrary>> ComponentLibrary::load(const std::string& path) {
  void* handle = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    const char* why = ::dlerror();
    return Status::Error(kErrLoadLibrary, why != nullptr ? why : "cannot load " + path);
  }
  return std::unique_ptr<ComponentLibrary>(new ComponentLibrary(path, handle));
}

ComponentLibrary::~ComponentLibrary() {
  if (handle_ != nullptr) ::dlclose(handle_);
}

std::string ComponentLibrary::projectName() const {
  return std::filesystem::path(path_).stem().string();
}

void* ComponentLibrary::symbol(const char* name) const { return ::dlsym(handle_, name); }

bool ComponentLibrary::hasEntryPoint(const char* name) const { return symbol(name) != nullptr; }

Status ComponentLibrary::registerServer() {
  auto fn = reinterpret_cast<QvDllRegisterServerFn>(symbol("DllRegisterServer"));
  if (fn == nullptr) return Status::Error(kErrEntryPointMissing, "DllRegisterServer is missing in " + path_);
  fn();
  return Status::Ok();
}

Status ComponentLibrary::unregisterServer() {
  auto fn = reinterpret_cast<QvDllUnregisterServerFn>(symbol("DllUnregisterServer"));
  if (fn == nullptr) return Status::Error(kErrEntryPointMissing, "DllUnregisterServer is missing in " + path_);
  fn();
  return Status::Ok();
}

Expected<DispatchObject> ComponentLibrary::createObject(std::string_view className, const QvHost* host) {
  const std::string progId = projectName() + "." + std::string(className);
  auto fn = reinterpret_cast<QvDllGetClassObjectFn>(symbol("DllGetClassObject"));
  if (fn == nullptr) {
    return Status::Error(kErrCannotCreateObject, "ActiveX component can't create object (" + progId + ")");
  }
  QvDispatch* object = nullptr;
  const QvResult rc = fn(progId.c_str(), host, &object);
  if (rc != QV_OK || object == nullptr) {
    return Status::Error(kErrCannotCreateObject, "ActiveX component can't create object (" + progId + ")");
  }
  return DispatchObject(object);
}

}  // namespace quorvane
