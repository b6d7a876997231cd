#include "platform/kernel/Registry.h"

#include <cctype>
#include <cstring>
#include <map>

#include "platform/kernel/LastError.h"

namespace {

using Values = std::map<std::string, std::string>;

// Full key path ("root\sub\key", lower case) to its values.
std::map<std::string, Values>& Keys() {
  static std::map<std::string, Values> keys;
  return keys;
}

// Open handles to their full key path.
std::map<uintptr_t, std::string>& OpenKeys() {
  static std::map<uintptr_t, std::string> open;
  return open;
}

std::string Lowered(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

bool RootName(HKEY key, std::string& out) {
  const auto value = reinterpret_cast<uintptr_t>(key);
  if (value < 0x80000000 || value > 0x80000002) return false;
  out = "root" + std::to_string(value - 0x80000000);
  return true;
}

bool KeyPath(HKEY key, std::string& out) {
  if (RootName(key, out)) return true;
  auto found = OpenKeys().find(reinterpret_cast<uintptr_t>(key));
  if (found == OpenKeys().end()) return false;
  out = found->second;
  return true;
}

std::string Joined(const std::string& path, const char* subKey) {
  std::string sub = subKey ? subKey : "";
  while (!sub.empty() && sub.front() == '\\') sub.erase(0, 1);
  while (!sub.empty() && sub.back() == '\\') sub.pop_back();
  return sub.empty() ? path : path + "\\" + Lowered(sub);
}

}  // namespace

LONG RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM, HKEY* result) {
  if (!result) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  *result = nullptr;
  std::string path;
  if (!KeyPath(key, path)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  path = Joined(path, subKey);
  if (!Keys().count(path)) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  static uintptr_t nextHandle = 0x1000;
  nextHandle += 4;
  OpenKeys()[nextHandle] = path;
  *result = reinterpret_cast<HKEY>(nextHandle);
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                      DWORD* dataSize) {
  if (reserved || (data && !dataSize)) return static_cast<LONG>(ERROR_INVALID_PARAMETER);
  std::string path;
  if (!KeyPath(key, path)) return static_cast<LONG>(ERROR_INVALID_HANDLE);
  auto keyEntry = Keys().find(path);
  if (keyEntry == Keys().end()) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  auto value = keyEntry->second.find(Lowered(valueName ? valueName : ""));
  if (value == keyEntry->second.end()) return static_cast<LONG>(ERROR_FILE_NOT_FOUND);
  if (type) *type = REG_SZ;
  const auto needed = static_cast<DWORD>(value->second.size() + 1);
  if (!dataSize) return static_cast<LONG>(ERROR_SUCCESS);
  if (!data) {
    *dataSize = needed;
    return static_cast<LONG>(ERROR_SUCCESS);
  }
  if (*dataSize < needed) {
    *dataSize = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, value->second.c_str(), needed);
  *dataSize = needed;
  return static_cast<LONG>(ERROR_SUCCESS);
}

LONG RegCloseKey(HKEY key) {
  std::string root;
  if (RootName(key, root)) return static_cast<LONG>(ERROR_SUCCESS);
  return OpenKeys().erase(reinterpret_cast<uintptr_t>(key)) ? static_cast<LONG>(ERROR_SUCCESS)
                                                            : static_cast<LONG>(ERROR_INVALID_HANDLE);
}

void RegistrySetString(HKEY root, const std::string& subKey, const std::string& valueName,
                       const std::string& value) {
  std::string path;
  if (!RootName(root, path)) return;
  // Every key on the way exists, as it would after creating the deepest one.
  std::string remaining = subKey;
  size_t separator = 0;
  while ((separator = remaining.find('\\', separator)) != std::string::npos) {
    Keys()[Joined(path, remaining.substr(0, separator).c_str())];
    ++separator;
  }
  Keys()[Joined(path, subKey.c_str())][Lowered(valueName)] = value;
}

void RegistryClear() {
  Keys().clear();
  OpenKeys().clear();
}
