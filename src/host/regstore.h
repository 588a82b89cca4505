// HKEY_CURRENT_USER kept in a text file in the format regedit exports (.reg), for Linux.
// The file is read anew whenever a key is opened, so edits made while the program runs are seen,
// and rewritten (atomically) only when a key is created or a value written. Whatever the store
// does not change in the file - other keys, comments, spacing, encoding, line ends - it keeps
// byte for byte, so the file stays the user's to edit. (A Windows-1252 file that a write would
// leave reading as UTF-8, as other characters, is written in UTF-8.) The format in memory is
// regdocument.h's; how its bytes are text, regencoding.h's.
#pragma once

#include "host/registry.h"

#include <QString>

#include <memory>
#include <string>

namespace ostrel::host {

class RegFileStore final : public CurrentUserRegistry {
public:
    explicit RegFileStore(QString filePath);

    // A store larger than this is refused: it is no hive a person keeps by hand.
    static constexpr qint64 kMaxStoreBytes = 16 << 20;

    // $XDG_CONFIG_HOME/ostrel-web/HKEY_CURRENT_USER.reg (~/.config when the variable is unset).
    static QString DefaultPath();

    // nullptr when the file or the key does not exist or the path is not a key path;
    // throws ostrel::RegistryError when the file exists but cannot be read or is malformed.
    std::unique_ptr<RegistryKey> OpenKeyReadOnly(const std::string& path) override;
    // Never throws: nullptr when the file is malformed or unreadable or cannot be written.
    std::unique_ptr<RegistryKey> CreateKey(const std::string& path) override;
    // The file, and how the store's last reading of it went (a damaged file kept aside stays told).
    RegistryStoreStatus StoreStatus() const override { return status_; }

private:
    QString filePath_;
    RegistryStoreStatus status_;
};

} // namespace ostrel::host
