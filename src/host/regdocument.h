// A .reg file in memory, read as regedit imports it: its keys and values, the one edit the program
// makes (a DWORD value, its key made where missing), and its bytes again. Whatever an edit does not
// touch - other keys, comments, spacing, encoding, line ends - comes back byte for byte. The store
// (regstore.h) keeps one of these in its file; the fuzz target drives it from arbitrary bytes.
#pragma once

#include "base/errors.h"
#include "host/registry.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace ostrel::host {

namespace regfile {
struct Content; // the document's lines and where its keys and values lie: regdocument.cpp's own
}

// Bytes that are no registry file, as opposed to a file that cannot be read at all: the store keeps
// such a file aside and starts afresh.
class MalformedRegFile final : public RegistryError {
public:
    using RegistryError::RegistryError;
};

// How every complaint about a .reg file reads: Registry file "<file>"[, line <n>]: <what>.
// line counts from 0, as the document's lines do; -1 for none.
std::string RegFileProblem(const QString& file, const QString& what, qsizetype line = -1);

// A key's values as the document held them when asked, kept apart from it: what a key opened in the
// store reads until it writes.
class RegKeyValues {
public:
    // Every definition's name, in file order (a name defined twice is there twice).
    std::vector<std::string> Names() const;
    // The value as importing the file leaves it: the last definition that parses wins ("name"=-
    // deletes it); one whose data does not parse is passed over, as regedit does.
    RegValueRead Read(const std::string& name) const;

private:
    friend class RegDocument;
    // A value as found in the file; its data is only interpreted when somebody reads it.
    struct Definition {
        QString name;
        QString data; // continuation lines joined into one
    };
    std::vector<Definition> definitions_;
    bool ansiStrings_ = false; // REGEDIT4 holds string-type hex data as 8-bit text, not UTF-16
};

class RegDocument {
public:
    // A document of no keys, as regedit would export them.
    RegDocument();
    // Throws MalformedRegFile when the bytes are no registry file; source names them in its message.
    explicit RegDocument(const QByteArray& bytes, const QString& source = QStringLiteral("(memory)"));
    RegDocument(RegDocument&&) noexcept;
    RegDocument& operator=(RegDocument&&) noexcept;
    ~RegDocument();

    // "Software\X" and "\Software\X" name the same key, "" and "\" the root itself. Line breaks would
    // split a section header in two, so no name may hold one, nor may a name be empty.
    static bool IsKeyPath(const std::string& path);

    // False for a document without content: made empty, or read from bytes empty to the eye.
    bool HadContent() const;
    // Every key that has a section of its own, in file order, as the file spells it.
    std::vector<std::string> Keys() const;
    // A key exists when a section names it or a key below it, as importing the file would create
    // it; the root whenever the document had content.
    bool HasKey(const std::string& key) const;
    std::vector<std::string> ValueNames(const std::string& key) const;
    RegValueRead Read(const std::string& key, const std::string& name) const;
    RegKeyValues Values(const std::string& key) const;

    // Adds the key, and each key above it that the document lacks, as regedit lays them out; nothing
    // when it exists already (through a key below it too).
    void AddKey(const std::string& key);
    // False for a name no file can hold; true once the value is so (written, or already there).
    bool WriteDword(const std::string& key, const std::string& name, std::uint32_t data);
    // True once an edit has changed a line since the bytes were read: they are to be written back.
    bool Edited() const;

    // The file's bytes now: those of the content given, where nothing was edited.
    QByteArray Bytes() const;

private:
    std::unique_ptr<regfile::Content> content_;
};

} // namespace ostrel::host
