// The registry of Windows: RegOpenKeyExA, RegEnumKeyA and RegQueryValueExA
// with the bytes handed back as stored. Each query opens the key for reading
// and closes it again.
// The neutral headers come before the system headers, whose macros
// share their names.
#include "platform/windows/WindowsBackends.h"

#include <windows.h>

#include <memory>


namespace quorvane::platform::windows_backend {
namespace {

// The predefined handles are 32-bit values sign-extended to the width of a
// handle (HKEY_LOCAL_MACHINE is 0xFFFFFFFF80000002 on 64-bit Windows).
HKEY rootHandle(RootKey root) {
  return reinterpret_cast<HKEY>(static_cast<ULONG_PTR>(static_cast<LONG_PTR>(
      static_cast<LONG>(root))));
}

class OpenKey {
 public:
  OpenKey(RootKey root, std::string_view path) {
    const std::string p(path);
    if (RegOpenKeyExA(rootHandle(root), p.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS)
      key_ = nullptr;
  }
  ~OpenKey() {
    if (key_) RegCloseKey(key_);
  }
  OpenKey(const OpenKey&) = delete;
  OpenKey& operator=(const OpenKey&) = delete;

  explicit operator bool() const { return key_ != nullptr; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};

class WindowsRegistry final : public RegistryStore {
 public:
  bool keyExists(RootKey root, std::string_view path) const override {
    return static_cast<bool>(OpenKey(root, path));
  }

  std::optional<std::string> subKeyName(RootKey root, std::string_view path,
                                        std::uint32_t index) const override {
    OpenKey key(root, path);
    if (!key) return std::nullopt;
    char name[MAX_PATH + 1] = {};
    if (RegEnumKeyA(key.get(), index, name, sizeof name) != ERROR_SUCCESS) return std::nullopt;
    return fromBuffer(name, sizeof name);
  }

  std::optional<RegValue> queryValue(RootKey root, std::string_view path,
                                     std::string_view name) const override {
    OpenKey key(root, path);
    if (!key) return std::nullopt;
    const std::string valueName(name);
    DWORD type = REG_NONE;
    DWORD size = 0;
    LONG rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type, nullptr, &size);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    // The value can grow between the calls: ask until it fits.
    for (int attempt = 0; attempt < 4; ++attempt) {
      std::string data(size, '\0');
      DWORD got = size;
      rc = RegQueryValueExA(key.get(), valueName.c_str(), nullptr, &type,
                            reinterpret_cast<BYTE*>(data.data()), &got);
      if (rc == ERROR_SUCCESS) {
        data.resize(got);
        return RegValue{type, std::move(data)};
      }
      if (rc != ERROR_MORE_DATA) return std::nullopt;
      size = got > size ? got : size * 2 + 16;
    }
    return std::nullopt;
  }
};

}  // namespace

std::unique_ptr<RegistryStore> makeWindowsRegistry() { return std::make_unique<WindowsRegistry>(); }

}  // namespace quorvane::platform::windows_backend
