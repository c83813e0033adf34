#include <windows.h>

#include "host/win32/RegistrySettings.h"

#include "system/win32/WideText.h"

namespace veskar {

namespace {

// A value's UTF-16 contents, or nothing when it is missing or of another type.
bool readValue(HKEY key, const std::string& name, DWORD wantedType, std::wstring& contents)
{
    if (!key) return false;
    const std::wstring wideName = widen(name);
    DWORD type = 0, bytes = 0;
    if (RegQueryValueExW(key, wideName.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS || type != wantedType) return false;
    contents.assign(bytes / sizeof(wchar_t), L'\0');
    if (RegQueryValueExW(key, wideName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(contents.data()), &bytes) != ERROR_SUCCESS) return false;
    contents.resize(bytes / sizeof(wchar_t));
    return true;
}

void writeValue(HKEY key, const std::string& name, DWORD type, const std::wstring& contents)
{
    if (!key) return;
    RegSetValueExW(key, widen(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(contents.c_str()),
                   static_cast<DWORD>((contents.size() + 1) * sizeof(wchar_t)));
}

} // namespace

RegistrySettings::RegistrySettings()
{
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Software\\Veskar\\Viewer", 0, nullptr, 0, KEY_READ | KEY_WRITE, nullptr, &key, nullptr) == ERROR_SUCCESS)
        key_ = key;
}

RegistrySettings::~RegistrySettings()
{
    if (key_) RegCloseKey(key_);
}

std::string RegistrySettings::text(const std::string& key) const
{
    std::wstring contents;
    if (!readValue(key_, key, REG_SZ, contents)) return {};
    // Stored with its terminating NUL, which may or may not come back.
    while (!contents.empty() && contents.back() == L'\0') contents.pop_back();
    return narrow(contents);
}

void RegistrySettings::setText(const std::string& key, const std::string& value) { writeValue(key_, key, REG_SZ, widen(value)); }

std::vector<std::string> RegistrySettings::list(const std::string& key) const
{
    std::vector<std::string> values;
    std::wstring contents;
    if (!readValue(key_, key, REG_MULTI_SZ, contents)) return values;
    std::size_t start = 0;
    while (start < contents.size()) {
        const std::size_t end = contents.find(L'\0', start);
        const std::size_t stop = end == std::wstring::npos ? contents.size() : end;
        if (stop == start) break;  // the empty string that ends the list
        values.push_back(narrow(std::wstring_view(contents).substr(start, stop - start)));
        start = stop + 1;
    }
    return values;
}

void RegistrySettings::setList(const std::string& key, const std::vector<std::string>& values)
{
    // Each entry ends in NUL, and the list in one more (writeValue adds it).
    std::wstring contents;
    for (const std::string& value : values) {
        if (value.empty()) continue;
        contents += widen(value);
        contents.push_back(L'\0');
    }
    if (contents.empty()) contents.push_back(L'\0');
    writeValue(key_, key, REG_MULTI_SZ, contents);
}

} // namespace veskar
