// The current user's registry hive, as far as the program needs it: one value read, one written.
// Linux keeps the hive in a .reg file (regstore.h); Windows uses the real registry.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace ostrel::host {

// Registry value types, with the numbers Windows gives them.
enum class RegType : std::uint32_t {
    None = 0,
    Sz = 1,
    ExpandSz = 2,
    Binary = 3,
    Dword = 4,
    DwordBigEndian = 5,
    Link = 6,
    MultiSz = 7,
    Qword = 11,
};

struct RegValueRead {
    enum class Status { Ok, Absent, Unreadable };
    Status status = Status::Absent;
    std::uint32_t type = 0;
    // The value's bytes. For the string types (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) the program's
    // 8-bit text (UTF-8 here), usually with its terminating NUL; other types as stored.
    std::string data;
};

// Where the hive is kept and how its last reading went, as the service desk is told ("Over Ostrel
// Web"). The system's own registry (Windows) has no file to tell of.
struct RegistryStoreStatus {
    enum class Reading { NotYet, Absent, Read, Unreadable };
    std::string path; // the store's file; empty for the system's own registry
    Reading reading = Reading::NotYet;
    std::string problem;       // Unreadable: why, as the store says it
    std::string keptAsidePath; // a damaged file that this run kept aside: where it went (empty: none)
    std::string keptAsideOn;   // and when, in local time: "dd-MM-yyyy HH:mm:ss"
};

// An open key; the destructor closes it.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    virtual RegValueRead ReadValue(const std::string& name) = 0;
    // Creates or replaces the value, whatever its earlier type. False when it cannot be written.
    virtual bool WriteDword(const std::string& name, std::uint32_t data) = 0;
};

// HKEY_CURRENT_USER. Key paths are relative to the root; a leading "\" also means "from the root".
// Key and value names match without regard to letter case.
class CurrentUserRegistry {
public:
    virtual ~CurrentUserRegistry() = default;
    // Opens an existing key for reading only; nullptr when it is absent or cannot be opened.
    virtual std::unique_ptr<RegistryKey> OpenKeyReadOnly(const std::string& path) = 0;
    // Opens the key for reading and writing, creating it and any missing keys above it;
    // nullptr when it can be neither opened nor created.
    virtual std::unique_ptr<RegistryKey> CreateKey(const std::string& path) = 0;
    // Where the hive is kept and how its last reading went; the system's own registry tells nothing.
    virtual RegistryStoreStatus StoreStatus() const { return {}; }
};

} // namespace ostrel::host
