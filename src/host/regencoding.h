// How a .reg file's bytes are text, as regedit reads them, and how its text goes back to those
// bytes: a file the store rewrites keeps its encoding and its BOM, so that every byte the store did
// not change comes back as it was.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace ostrel::host::regfile {

// UTF-16LE (with its BOM), UTF-8 (what the store writes itself), or for a file without BOM that is
// not UTF-8, the Windows ANSI code page of the Dutch desktop, Windows-1252, as regedit reads such a file.
enum class Encoding { Utf8, Utf16LE, Windows1252 };

struct FileText {
    Encoding encoding = Encoding::Utf8;
    QByteArray bom; // as the file begins: "" or the BOM of UTF-8 or UTF-16LE
    QString text;   // what follows the BOM; a BOM further on is text (U+FEFF)
};

// The bytes as text. Nothing for bytes that are no text of the encoding their BOM announces, with
// why in whyNot (to follow the file's name in a message).
std::optional<FileText> DecodeFileText(const QByteArray& bytes, QString& whyNot);

// The bytes of the text in the file's encoding, after its BOM. A Windows-1252 file that would read
// back as UTF-8, as other characters, comes back as UTF-8 instead.
QByteArray EncodeFileText(const FileText& file);

} // namespace ostrel::host::regfile
