#include "wine_dll_overrides.h"

#include <windows.h>

namespace {

void DeleteProgramKey(const std::string& programKey)
{
    RegDeleteKeyA(HKEY_CURRENT_USER, (programKey + "\\DllOverrides").c_str());
    RegDeleteKeyA(HKEY_CURRENT_USER, programKey.c_str());
}

}

WineDllOverrides::WineDllOverrides(const std::string& programFileName,
                                   const std::vector<std::pair<std::string, std::string>>& orders)
    : programKey_("Software\\Wine\\AppDefaults\\" + programFileName), written_(false)
{
    // A key left by an interrupted run must not add entries of its own.
    DeleteProgramKey(programKey_);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, (programKey_ + "\\DllOverrides").c_str(), 0, nullptr, 0,
                        KEY_SET_VALUE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    written_ = true;
    for (const auto& order : orders) {
        const std::string& value = order.second;
        written_ = written_ && RegSetValueExA(key, order.first.c_str(), 0, REG_SZ,
                                              reinterpret_cast<const BYTE*>(value.c_str()),
                                              static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
    }
    RegCloseKey(key);
}

WineDllOverrides::~WineDllOverrides()
{
    DeleteProgramKey(programKey_);
}
