#include "host/regstore.h"

#include "host/errors.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <QStringConverter>
#include <QStringList>

#include <algorithm>
#include <optional>
#include <utility>
#include <vector>

namespace ostrel::host {
namespace {

constexpr QStringView kRoot = u"HKEY_CURRENT_USER";
constexpr QStringView kHeader = u"Windows Registry Editor Version 5.00";

struct Line {
    QString text;
    QString eol; // "\r\n" or "\n"; empty only for a last line that has none
};

// A value's place in the file: the line with its name, then the continuations of a long hex list.
struct ValueLines {
    QString name;
    qsizetype first = 0;
    qsizetype last = 0;
    qsizetype dataPos = 0; // just after the '=' in the first line
};

struct Section {
    QStringList key;   // the names below HKEY_CURRENT_USER
    qsizetype end = 0; // a new value goes after this line: the header or the last value's last line
    std::vector<ValueLines> values;
};

// The file as lines of text, with enough of an index to find keys and values. Lines keep their
// own line ends, so writing the lines back reproduces every byte the store did not change.
struct Document {
    QString path;
    bool onDisk = false; // false while the file does not exist or is empty
    QStringConverter::Encoding encoding = QStringConverter::Utf8;
    QByteArray bom;
    QString eol = QStringLiteral("\r\n"); // for the lines the store adds
    bool ansiStrings = false;             // REGEDIT4 holds string-type hex data as 8-bit text, not UTF-16
    std::vector<Line> lines;
    std::vector<Section> sections; // HKEY_CURRENT_USER sections only, in file order
};

// A value as found in the file; its data is only interpreted when somebody reads it.
struct RawValue {
    QString name;
    QString data; // continuation lines joined into one
};

[[noreturn]] void Fail(const Document& d, const QString& what, qsizetype line = -1)
{
    QString message = QStringLiteral("Registry file \"%1\"").arg(QDir::toNativeSeparators(d.path));
    if (line >= 0)
        message += QStringLiteral(", line %1").arg(line + 1);
    throw RegistryError(QString(message + QStringLiteral(": ") + what).toStdString());
}

bool IsHex(QStringView digits)
{
    return !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
    });
}

// "Software\X" and "\Software\X" name the same key, "" and "\" the root itself. Line breaks would
// split a section header in two, so no name may hold one.
std::optional<QStringList> ParseKeyPath(QStringView path)
{
    if (path.startsWith(u'\\'))
        path = path.sliced(1);
    QStringList key;
    if (path.isEmpty())
        return key;
    for (QStringView name : path.split(u'\\')) {
        if (name.isEmpty() || name.contains(u'\n') || name.contains(u'\r'))
            return std::nullopt;
        key.append(name.toString());
    }
    return key;
}

// The key a section header names, or nothing for another root, a deletion ("[-...]") or a bad path.
std::optional<QStringList> SectionKey(QStringView inner)
{
    const qsizetype cut = inner.indexOf(u'\\');
    const QStringView root = cut < 0 ? inner : inner.first(cut);
    if (root.compare(kRoot, Qt::CaseInsensitive) != 0)
        return std::nullopt;
    return ParseKeyPath(inner.sliced(root.size()));
}

bool StartsWith(const QStringList& key, const QStringList& prefix)
{
    return key.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), key.begin(), [](const QString& a, const QString& b) {
               return a.compare(b, Qt::CaseInsensitive) == 0;
           });
}

bool SameKey(const QStringList& a, const QStringList& b)
{
    return a.size() == b.size() && StartsWith(a, b);
}

// Reads the quoted string that text starts with and returns it with the length it took, or nothing
// when the closing quote is missing. Only \" and \\ are escapes: any other backslash stays, since
// people hand-write Windows paths without doubling them.
std::optional<std::pair<QString, qsizetype>> Unquote(QStringView text)
{
    QString out;
    for (qsizetype i = 1; i < text.size(); ++i) {
        if (text[i] == u'"')
            return std::pair{out, i + 1};
        if (text[i] == u'\\' && i + 1 < text.size() && (text[i + 1] == u'"' || text[i + 1] == u'\\'))
            ++i;
        out += text[i];
    }
    return std::nullopt;
}

QString Quote(QString text)
{
    text.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + text + u'"';
}

// Builds the index, and in doing so checks that every line is one a .reg file may hold.
void Index(Document& d)
{
    d.sections.clear();
    qsizetype current = -1; // the section the value lines belong to; -1 for one the store ignores
    bool headerSeen = false;
    for (qsizetype i = 0; i < qsizetype(d.lines.size()); ++i) {
        const QString& text = d.lines[i].text;
        const QStringView line = QStringView(text).trimmed();
        if (!headerSeen) {
            if (line.isEmpty())
                continue;
            d.ansiStrings = line == u"REGEDIT4";
            if (!d.ansiStrings && line != kHeader)
                Fail(d, QStringLiteral("not a registry file; it must begin with \"%1\"").arg(kHeader), i);
            headerSeen = true;
        } else if (line.isEmpty() || line.startsWith(u';')) {
            continue;
        } else if (line.startsWith(u'[')) {
            if (!line.endsWith(u']'))
                Fail(d, QStringLiteral("the key name has no closing ']'"), i);
            current = -1;
            if (auto key = SectionKey(line.sliced(1, line.size() - 2))) {
                d.sections.push_back({std::move(*key), i, {}});
                current = qsizetype(d.sections.size()) - 1;
            }
        } else if (line.startsWith(u'"') || line.startsWith(u'@')) {
            ValueLines value{{}, i, i, 0};
            qsizetype pos = line.constData() - text.constData();
            if (line.startsWith(u'@')) {
                ++pos;
            } else {
                const auto name = Unquote(QStringView(text).sliced(pos));
                if (!name)
                    Fail(d, QStringLiteral("the value name has no closing '\"'"), i);
                value.name = name->first;
                pos += name->second;
            }
            while (pos < text.size() && text[pos].isSpace())
                ++pos;
            if (pos == text.size() || text[pos] != u'=')
                Fail(d, QStringLiteral("expected '=' after the value name"), i);
            value.dataPos = pos + 1;
            // Only hex lists run on over several lines; a quoted string ending in '\' does not.
            const bool hex =
                QStringView(text).sliced(value.dataPos).trimmed().startsWith(u"hex", Qt::CaseInsensitive);
            while (hex && QStringView(d.lines[value.last].text).trimmed().endsWith(u'\\') &&
                   value.last + 1 < qsizetype(d.lines.size()) &&
                   (d.lines[value.last + 1].text.startsWith(u' ') ||
                    d.lines[value.last + 1].text.startsWith(u'\t')))
                ++value.last;
            if (current >= 0) {
                d.sections[current].values.push_back(value);
                d.sections[current].end = value.last;
            }
            i = value.last;
        } else {
            Fail(d, QStringLiteral("\"%1\" is neither a key, a value nor a comment").arg(line.left(40)), i);
        }
    }
    if (!headerSeen)
        Fail(d, QStringLiteral("not a registry file; it must begin with \"%1\"").arg(kHeader));
}

Document Load(const QString& path)
{
    // A file that does not exist yet, or is empty, starts out as regedit would export no keys.
    Document d;
    d.path = path;
    d.lines = {{kHeader.toString(), d.eol}, {QString(), d.eol}};
    QFile file(path);
    if (!file.exists())
        return d;
    if (!file.open(QIODevice::ReadOnly))
        Fail(d, QStringLiteral("cannot be read: ") + file.errorString());
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        Fail(d, QStringLiteral("cannot be read: ") + file.errorString());
    if (bytes.isEmpty())
        return d;

    if (bytes.startsWith("\xFF\xFE")) {
        d.encoding = QStringConverter::Utf16LE;
        d.bom = bytes.first(2);
    } else if (bytes.startsWith("\xEF\xBB\xBF")) {
        d.bom = bytes.first(3);
    }
    const QByteArray body = bytes.sliced(d.bom.size());
    QStringDecoder decoder(d.encoding, QStringConverter::Flag::ConvertInitialBom);
    const QString text = decoder(body);
    // Rewriting the file must give back every byte the store did not change, so the decoding has
    // to be reversible.
    if (decoder.hasError() || QByteArray(QStringEncoder(d.encoding).encode(text)) != body)
        Fail(d, d.encoding == QStringConverter::Utf8 ? QStringLiteral("is not UTF-8 text")
                                                     : QStringLiteral("is not UTF-16 text"));

    d.lines.clear();
    for (qsizetype start = 0; start < text.size();) {
        const qsizetype newline = text.indexOf(u'\n', start);
        if (newline < 0) {
            d.lines.push_back({text.sliced(start), QString()});
            break;
        }
        const qsizetype end = newline > start && text[newline - 1] == u'\r' ? newline - 1 : newline;
        d.lines.push_back({text.sliced(start, end - start), text.sliced(end, newline + 1 - end)});
        start = newline + 1;
    }
    if (!d.lines.empty() && !d.lines.front().eol.isEmpty())
        d.eol = d.lines.front().eol;
    Index(d);
    d.onDisk = true;
    return d;
}

bool Save(const Document& d)
{
    QString text;
    for (const Line& line : d.lines)
        text += line.text + line.eol;
    const QByteArray bytes = d.bom + QByteArray(QStringEncoder(d.encoding).encode(text));
    if (!QDir().mkpath(QFileInfo(d.path).absolutePath()))
        return false;
    // Unbuffered, because QSaveFile only notices a failed write() and would commit a file cut
    // short when the failure came at the final flush instead (a full disk, say).
    QSaveFile file(d.path);
    return file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size() &&
           file.commit();
}

void InsertLine(Document& d, qsizetype at, const QString& text)
{
    if (at == qsizetype(d.lines.size()) && !d.lines.empty() && d.lines.back().eol.isEmpty())
        d.lines.back().eol = d.eol;
    d.lines.insert(d.lines.begin() + at, Line{text, d.eol});
}

// A key exists when a section names it or a key below it, as importing the file would create it;
// the root whenever the file does. With ownSection only a section naming the key itself counts.
bool Exists(const Document& d, const QStringList& key, bool ownSection = false)
{
    return std::any_of(
               d.sections.begin(), d.sections.end(),
               [&](const Section& s) { return ownSection ? SameKey(s.key, key) : StartsWith(s.key, key); }) ||
           (d.onDisk && key.isEmpty() && !ownSection);
}

// Appends an empty section for the key and for each key above it that the file lacks, parent first
// and each after an empty line, as regedit lays them out. With ownSection, a key that exists only
// through sections below it gets one of its own to hold its values. Leaves the index stale.
bool AddSections(Document& d, const QStringList& key, bool ownSection)
{
    bool added = false;
    for (qsizetype i = key.isEmpty() ? 0 : 1; i <= key.size(); ++i) {
        const QStringList name = key.first(i);
        if (Exists(d, name, ownSection && i == key.size()))
            continue;
        if (d.lines.empty() || !QStringView(d.lines.back().text).trimmed().isEmpty())
            InsertLine(d, qsizetype(d.lines.size()), QString());
        const QString path = name.isEmpty() ? QString() : u'\\' + name.join(u'\\');
        InsertLine(d, qsizetype(d.lines.size()), u'[' + kRoot.toString() + path + u']');
        InsertLine(d, qsizetype(d.lines.size()), QString());
        added = true;
    }
    return added;
}

std::vector<RawValue> ValuesOf(const Document& d, const QStringList& key)
{
    std::vector<RawValue> values;
    for (const Section& section : d.sections) {
        if (!SameKey(section.key, key))
            continue;
        for (const ValueLines& value : section.values) {
            QString data;
            for (qsizetype i = value.first; i <= value.last; ++i) {
                QStringView piece =
                    QStringView(d.lines[i].text).sliced(i == value.first ? value.dataPos : 0).trimmed();
                if (i < value.last)
                    piece.chop(1); // the '\' that continues the list
                data += piece;
            }
            values.push_back({value.name, data});
        }
    }
    return values;
}

RegValueRead Decode(QStringView data, bool ansiStrings)
{
    RegValueRead read;
    read.status = RegValueRead::Status::Unreadable;
    QByteArray bytes;
    if (data.startsWith(u'"')) {
        const auto text = Unquote(data);
        if (!text || !data.sliced(text->second).trimmed().isEmpty())
            return read;
        read.type = std::uint32_t(RegType::Sz);
        bytes = text->first.toUtf8().append('\0');
    } else if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        const QStringView digits = data.sliced(6).trimmed();
        if (digits.size() != 8 || !IsHex(digits))
            return read;
        const std::uint32_t number = digits.toUInt(nullptr, 16);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.append(char((number >> shift) & 0xff));
        read.type = std::uint32_t(RegType::Dword);
    } else if (data.startsWith(u"hex", Qt::CaseInsensitive)) {
        QStringView rest = data.sliced(3);
        read.type = std::uint32_t(RegType::Binary);
        if (rest.startsWith(u'(')) {
            const qsizetype close = rest.indexOf(u')');
            const QStringView type = close < 0 ? QStringView() : rest.sliced(1, close - 1);
            if (type.size() > 8 || !IsHex(type))
                return read;
            read.type = type.toUInt(nullptr, 16);
            rest = rest.sliced(close + 1);
        }
        if (!rest.startsWith(u':'))
            return read;
        if (!rest.sliced(1).trimmed().isEmpty()) {
            for (QStringView item : rest.sliced(1).split(u',')) {
                item = item.trimmed();
                if (item.size() > 2 || !IsHex(item))
                    return read;
                bytes.append(char(item.toUInt(nullptr, 16)));
            }
        }
        const auto type = RegType(read.type);
        if (!ansiStrings && (type == RegType::Sz || type == RegType::ExpandSz || type == RegType::MultiSz)) {
            bytes.chop(bytes.size() % 2);
            QStringDecoder decoder(QStringConverter::Utf16LE, QStringConverter::Flag::ConvertInitialBom);
            bytes = QString(decoder(bytes)).toUtf8();
        }
    } else {
        return read;
    }
    read.status = RegValueRead::Status::Ok;
    read.data = bytes.toStdString();
    return read;
}

// A key holds the values it had when opened (or last written through it), like a snapshot; every
// write reloads the file first so that changes made meanwhile are not lost.
class FileKey final : public RegistryKey {
public:
    FileKey(QString file, QStringList key, bool writable, const Document& d)
        : file_(std::move(file)), key_(std::move(key)), writable_(writable), ansiStrings_(d.ansiStrings),
          values_(ValuesOf(d, key_))
    {
    }

    RegValueRead ReadValue(const std::string& name) override
    {
        const QString wanted = QString::fromUtf8(name);
        // A later definition wins, as it would when the file is imported.
        const auto found = std::find_if(values_.rbegin(), values_.rend(), [&](const RawValue& v) {
            return v.name.compare(wanted, Qt::CaseInsensitive) == 0;
        });
        return found == values_.rend() ? RegValueRead{} : Decode(found->data, ansiStrings_);
    }

    bool WriteDword(const std::string& name, std::uint32_t data) override
    {
        const QString valueName = QString::fromUtf8(name);
        if (!writable_ || valueName.contains(u'\n') || valueName.contains(u'\r'))
            return false;
        try {
            Document d = Load(file_);
            // The key may have been taken out of the file since it was opened; it comes back.
            AddSections(d, key_, true);
            Index(d);
            const QString dword = QStringLiteral("dword:%1").arg(data, 8, 16, QChar(u'0'));
            qsizetype insertAfter = -1;
            std::optional<ValueLines> old;
            for (const Section& section : d.sections) {
                if (!SameKey(section.key, key_))
                    continue;
                insertAfter = section.end;
                for (const ValueLines& value : section.values) {
                    if (value.name.compare(valueName, Qt::CaseInsensitive) == 0)
                        old = value;
                }
            }
            if (old) {
                // The name stays spelled as the file has it, as Windows keeps a value's name.
                Line& first = d.lines[old->first];
                first.text = first.text.first(old->dataPos) + dword;
                first.eol = d.lines[old->last].eol;
                d.lines.erase(d.lines.begin() + old->first + 1, d.lines.begin() + old->last + 1);
            } else {
                const QString quoted = valueName.isEmpty() ? QStringLiteral("@") : Quote(valueName);
                InsertLine(d, insertAfter + 1, quoted + u'=' + dword);
            }
            Index(d);
            if (!Save(d))
                return false;
            values_ = ValuesOf(d, key_);
            return true;
        } catch (const std::exception&) {
            return false;
        }
    }

private:
    QString file_;
    QStringList key_;
    bool writable_;
    bool ansiStrings_;
    std::vector<RawValue> values_;
};

} // namespace

RegFileStore::RegFileStore(QString filePath) : filePath_(std::move(filePath)) {}

QString RegFileStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ostrel-web/HKEY_CURRENT_USER.reg");
}

std::unique_ptr<RegistryKey> RegFileStore::OpenKeyReadOnly(const std::string& path)
{
    const auto key = ParseKeyPath(QString::fromUtf8(path));
    if (!key)
        return nullptr;
    const Document d = Load(filePath_);
    if (!Exists(d, *key))
        return nullptr;
    return std::make_unique<FileKey>(filePath_, *key, false, d);
}

std::unique_ptr<RegistryKey> RegFileStore::CreateKey(const std::string& path)
{
    try {
        const auto key = ParseKeyPath(QString::fromUtf8(path));
        if (!key)
            return nullptr;
        Document d = Load(filePath_);
        // Windows persists a created key at once; opening one that exists writes nothing.
        if (AddSections(d, *key, false)) {
            Index(d);
            if (!Save(d))
                return nullptr;
        }
        return std::make_unique<FileKey>(filePath_, *key, true, d);
    } catch (const std::exception&) {
        return nullptr;
    }
}

} // namespace ostrel::host
