#pragma once
// Registry hives: Win32-shaped access to trees of keys and typed values.
// HKEY_CURRENT_USER persists as a text file in the configuration folder, saved when the
// last open handle into it closes, after a change made through the predefined key itself,
// and at shut-down. A save writes only this process's own changes over the file as it is
// then, so instances running side by side keep each other's. The other hives live in memory.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/WinTypes.h"

using PHKEY = HKEY*;
using LPSECURITY_ATTRIBUTES = void*;

inline HKEY const HKEY_CLASSES_ROOT = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000000u));
inline HKEY const HKEY_CURRENT_USER = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000001u));
inline HKEY const HKEY_LOCAL_MACHINE = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000002u));
inline HKEY const HKEY_USERS = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000003u));
inline HKEY const HKEY_CURRENT_CONFIG = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000005u));
inline HKEY const HKEY_DYN_DATA = reinterpret_cast<HKEY>(static_cast<uintptr_t>(0x80000006u));

// Value types.
constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

// Access rights.
constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_NOTIFY = 0x0010;
constexpr REGSAM KEY_CREATE_LINK = 0x0020;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_EXECUTE = 0x20019;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_OPTION_VOLATILE = 1;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD ulOptions, REGSAM samDesired, PHKEY phkResult);
LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD Reserved, LPSTR lpClass, DWORD dwOptions,
                     REGSAM samDesired, LPSECURITY_ATTRIBUTES lpSecurityAttributes, PHKEY phkResult,
                     LPDWORD lpdwDisposition);
LONG RegCloseKey(HKEY hKey);
LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD lpReserved, LPDWORD lpType, LPBYTE lpData,
                      LPDWORD lpcbData);
LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD Reserved, DWORD dwType, const BYTE* lpData,
                    DWORD cbData);
LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName);
// Refuses a key that still has subkeys (ERROR_ACCESS_DENIED).
LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey);
// Deletes the subkey and everything below it; a null or empty subkey empties hKey itself.
LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey);
// lpcchName: buffer size in characters on entry, name length without the NUL on return.
LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD lpReserved,
                   LPSTR lpClass, LPDWORD lpcchClass, void* lpftLastWriteTime);
LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD lpReserved,
                   LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData);
LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD lpReserved, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor,
                      void* lpftLastWriteTime);

// Damage found in the settings file when HKEY_CURRENT_USER was read: the file, the copy of
// it kept as it was (empty when none could be written; the file is then left alone), and
// the 1-based numbers of the lines left out (every other line was kept). Taken once: File
// is empty when there was none or it was taken before.
struct RegistryDamage {
    std::string File;
    std::string Copy;
    std::vector<size_t> Lines;
};
RegistryDamage RegistryTakeDamage();

// Writes a changed HKEY_CURRENT_USER to its file; called once when the program ends.
void RegistryShutdown();
// Told when HKEY_CURRENT_USER could not be written: the file and the system's reason. Each
// kind of failure is told once per run; the call comes with the registry free for use.
void RegistrySetWriteFailureReport(std::function<void(const std::string& file, const std::string& reason)> report);
// Test hooks. In-memory mode keeps HKEY_CURRENT_USER off the disk (and starts it empty).
void RegistrySetInMemory(bool inMemory);
// Drops the in-memory HKEY_CURRENT_USER so the next use reads the file again (a restart).
void RegistryReload();
// The folder holding registry.txt and bare-named ini files (no trailing '/').
std::string RegistryConfigDir();
