#include "host/regdocument.h"

#include "host/regencoding.h"

#include <QDir>
#include <QStringConverter>
#include <QStringList>
#include <QStringView>

#include <algorithm>
#include <optional>
#include <utility>

namespace ostrel::host {
namespace regfile {

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
    QStringList key;      // the names below HKEY_CURRENT_USER
    qsizetype header = 0; // the line "[HKEY_CURRENT_USER\...]"
    qsizetype end = 0;    // a new value goes after this line: the header or the last value's last line
    std::vector<ValueLines> values;
    bool deleted = false; // a "[-...]" line further down deletes this key or one above it
};

// The file as lines of text, with enough of an index to find keys and values. Lines keep their
// own line ends, so writing the lines back reproduces every byte that no edit changed.
struct Content {
    QString source;          // where the bytes came from, for messages
    bool hadContent = false; // false for no bytes, or bytes empty to the eye
    Encoding encoding = Encoding::Utf8;
    QByteArray bom;
    QString eol = QStringLiteral("\r\n"); // for the lines the store adds
    bool ansiStrings = false;             // REGEDIT4 holds string-type hex data as 8-bit text, not UTF-16
    std::vector<Line> lines;
    std::vector<Section> sections; // HKEY_CURRENT_USER sections only, in file order
    bool edited = false;           // a line changed since the bytes were read
};

namespace {

// The content is not a registry file.
[[noreturn]] void Fail(const Content& d, const QString& what, qsizetype line = -1)
{
    throw MalformedRegFile(RegFileProblem(d.source, what, line));
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

// Finds each key's sections and each value's lines as regedit imports the file: after the header, a
// line that is no key, value or comment is passed over (and kept), a key line without its "]" too
// (the values after it go on into the key before), and a value whose name does not parse. "[-KEY]"
// deletes the key and the keys below it as far as the file has defined them; a section after it
// starts the key again.
void LocateKeysAndValues(Content& d)
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
        } else if (line.startsWith(u'[') && line.endsWith(u']')) {
            QStringView inner = line.sliced(1, line.size() - 2);
            if (inner.startsWith(u'-')) {
                if (const auto gone = SectionKey(inner.sliced(1)))
                    for (Section& section : d.sections)
                        section.deleted = section.deleted || StartsWith(section.key, *gone);
                current = -1;
                continue;
            }
            current = -1;
            if (auto key = SectionKey(inner)) {
                d.sections.push_back({std::move(*key), i, i, {}});
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
                    continue;
                value.name = name->first;
                pos += name->second;
            }
            while (pos < text.size() && text[pos].isSpace())
                ++pos;
            if (pos == text.size() || text[pos] != u'=')
                continue;
            value.dataPos = pos + 1;
            // A hex list runs on while its lines end in "\", whatever the next one starts with; a
            // quoted string ending in "\" does not.
            const bool hex =
                QStringView(text).sliced(value.dataPos).trimmed().startsWith(u"hex", Qt::CaseInsensitive);
            while (hex && QStringView(d.lines[value.last].text).trimmed().endsWith(u'\\') &&
                   value.last + 1 < qsizetype(d.lines.size()))
                ++value.last;
            if (current >= 0) {
                d.sections[current].values.push_back(value);
                d.sections[current].end = value.last;
            }
            i = value.last;
        }
        // Anything else (blank, "; comment", "# comment", a stray line) is passed over.
    }
    if (!headerSeen)
        Fail(d, QStringLiteral("not a registry file; it must begin with \"%1\"").arg(kHeader));
}

// A document of no keys, as regedit would export them.
Content EmptyContent(const QString& source)
{
    Content d;
    d.source = source;
    d.lines = {{kHeader.toString(), d.eol}, {QString(), d.eol}};
    return d;
}

// The file's bytes as a document; throws MalformedRegFile for content that is not a registry file.
Content Parse(const QByteArray& bytes, const QString& source)
{
    Content d = EmptyContent(source);
    QString whyNot;
    const std::optional<FileText> file = DecodeFileText(bytes, whyNot);
    if (!file)
        Fail(d, whyNot);
    d.encoding = file->encoding;
    d.bom = file->bom;
    const QString& text = file->text;
    // Empty to the eye (nothing, blanks, line ends, a BOM alone): a store without keys.
    if (QStringView(text).trimmed().isEmpty())
        return d;

    // Lines end in CR LF, LF or a CR alone; each keeps its own.
    d.lines.clear();
    for (qsizetype start = 0; start < text.size();) {
        qsizetype end = start;
        while (end < text.size() && text[end] != u'\n' && text[end] != u'\r')
            ++end;
        if (end == text.size()) {
            d.lines.push_back({text.sliced(start), QString()});
            break;
        }
        const qsizetype next =
            text[end] == u'\r' && end + 1 < text.size() && text[end + 1] == u'\n' ? end + 2 : end + 1;
        d.lines.push_back({text.sliced(start, end - start), text.sliced(end, next - end)});
        start = next;
    }
    if (!d.lines.empty() && !d.lines.front().eol.isEmpty())
        d.eol = d.lines.front().eol;
    LocateKeysAndValues(d);
    d.hadContent = true;
    return d;
}

QByteArray Bytes(const Content& d)
{
    QString text;
    for (const Line& line : d.lines)
        text += line.text + line.eol;
    return EncodeFileText({d.encoding, d.bom, text});
}

void InsertLine(Content& d, qsizetype at, const QString& text)
{
    if (at == qsizetype(d.lines.size()) && !d.lines.empty() && d.lines.back().eol.isEmpty())
        d.lines.back().eol = d.eol;
    d.lines.insert(d.lines.begin() + at, Line{text, d.eol});
}

// A key exists when a section names it or a key below it, as importing the file would create it;
// the root whenever the file does. With ownSection only a section naming the key itself counts.
bool Exists(const Content& d, const QStringList& key, bool ownSection = false)
{
    return std::any_of(d.sections.begin(), d.sections.end(),
                       [&](const Section& s) {
                           return !s.deleted && (ownSection ? SameKey(s.key, key) : StartsWith(s.key, key));
                       }) ||
           (d.hadContent && key.isEmpty() && !ownSection);
}

// The section whose last value is a hex list that the file ends in the middle of: its last line
// still ends in "\". Such a list never ends and is passed over on reading; any line after it would
// end it and bring it in, so nothing new may follow it.
const Section* HolderOfOpenList(const Content& d)
{
    const qsizetype lastLine = qsizetype(d.lines.size()) - 1;
    for (const Section& section : d.sections) {
        if (!section.values.empty() && section.values.back().last == lastLine &&
            QStringView(d.lines[lastLine].text).trimmed().endsWith(u'\\'))
            return &section;
    }
    return nullptr;
}

// Adds an empty section for the key and for each key above it that the file lacks, parent first
// and each after an empty line, as regedit lays them out: at the end of the file, or before the
// section that holds a list the file ends in. With ownSection, a key that exists only through
// sections below it gets one of its own to hold its values. Leaves the sections to be located again.
bool AddSections(Content& d, const QStringList& key, bool ownSection)
{
    const Section* holder = HolderOfOpenList(d);
    qsizetype at = holder ? holder->header : qsizetype(d.lines.size());
    bool added = false;
    for (qsizetype i = key.isEmpty() ? 0 : 1; i <= key.size(); ++i) {
        const QStringList name = key.first(i);
        if (Exists(d, name, ownSection && i == key.size()))
            continue;
        if (at == 0 || !QStringView(d.lines[at - 1].text).trimmed().isEmpty())
            InsertLine(d, at++, QString());
        const QString path = name.isEmpty() ? QString() : u'\\' + name.join(u'\\');
        InsertLine(d, at++, u'[' + kRoot.toString() + path + u']');
        InsertLine(d, at++, QString());
        added = true;
    }
    return added;
}

RegValueRead Decode(QStringView data, bool ansiStrings)
{
    RegValueRead read;
    read.status = RegValueRead::Status::Unreadable;
    QByteArray bytes;
    // A ";" after the data starts a comment.
    const auto beforeComment = [](QStringView rest) {
        return rest.first(rest.indexOf(u';') < 0 ? rest.size() : rest.indexOf(u';')).trimmed();
    };
    if (data.startsWith(u'"')) {
        const auto text = Unquote(data);
        if (!text || !beforeComment(data.sliced(text->second)).isEmpty())
            return read;
        read.type = std::uint32_t(RegType::Sz);
        bytes = text->first.toUtf8().append('\0');
    } else if (data.startsWith(u"dword:", Qt::CaseInsensitive)) {
        const QStringView digits = beforeComment(data.sliced(6)); // one to eight digits
        if (digits.size() > 8 || !IsHex(digits))
            return read;
        const std::uint32_t number = digits.toUInt(nullptr, 16);
        for (int shift = 0; shift < 32; shift += 8)
            bytes.append(char((number >> shift) & 0xff));
        read.type = std::uint32_t(RegType::Dword);
    } else if (data.startsWith(u"hex", Qt::CaseInsensitive)) {
        QStringView rest = beforeComment(data.sliced(3));
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

enum class Written { Unchanged, Changed };

// Sets a DWORD value in the document, the key (and its section) made where missing; nothing when a
// line break in the name could not be written.
std::optional<Written> SetDword(Content& d, const QStringList& key, const QString& valueName,
                                std::uint32_t data)
{
    if (valueName.contains(u'\n') || valueName.contains(u'\r'))
        return std::nullopt;
    // The key may have been taken out of the file since it was opened; it comes back.
    const bool sectionsAdded = AddSections(d, key, true);
    LocateKeysAndValues(d);
    const QString dword = QStringLiteral("dword:%1").arg(data, 8, 16, QChar(u'0'));
    qsizetype insertAfter = -1;
    std::optional<ValueLines> old;
    const Section* holder = HolderOfOpenList(d);
    for (const Section& section : d.sections) {
        if (section.deleted || !SameKey(section.key, key))
            continue;
        insertAfter = section.end;
        for (const ValueLines& value : section.values) {
            if (value.name.compare(valueName, Qt::CaseInsensitive) == 0)
                old = value;
        }
        if (&section == holder) // the new line goes before the open list
            insertAfter = section.values.back().first - 1;
    }
    if (old && old->first == old->last && !sectionsAdded) {
        const RegValueRead now =
            Decode(QStringView(d.lines[old->first].text).sliced(old->dataPos).trimmed(), d.ansiStrings);
        std::string same(4, '\0');
        for (int shift = 0; shift < 32; shift += 8)
            same[shift / 8] = char((data >> shift) & 0xff);
        if (now.status == RegValueRead::Status::Ok && now.type == std::uint32_t(RegType::Dword) &&
            now.data == same)
            return Written::Unchanged;
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
    LocateKeysAndValues(d);
    return Written::Changed;
}

} // namespace
} // namespace regfile

using namespace regfile;

std::string RegFileProblem(const QString& file, const QString& what, qsizetype line)
{
    QString message = QStringLiteral("Registry file \"%1\"").arg(QDir::toNativeSeparators(file));
    if (line >= 0)
        message += QStringLiteral(", line %1").arg(line + 1);
    return QString(message + QStringLiteral(": ") + what).toStdString();
}

std::vector<std::string> RegKeyValues::Names() const
{
    std::vector<std::string> names;
    for (const Definition& definition : definitions_)
        names.push_back(definition.name.toStdString());
    return names;
}

RegValueRead RegKeyValues::Read(const std::string& name) const
{
    const QString wanted = QString::fromUtf8(name);
    for (auto value = definitions_.rbegin(); value != definitions_.rend(); ++value) {
        if (value->name.compare(wanted, Qt::CaseInsensitive) != 0)
            continue;
        if (value->data == u"-")
            return {};
        if (RegValueRead read = Decode(value->data, ansiStrings_); read.status == RegValueRead::Status::Ok)
            return read;
    }
    return {};
}

RegDocument::RegDocument() : RegDocument(QByteArray()) {}

RegDocument::RegDocument(const QByteArray& bytes, const QString& source)
    : content_(std::make_unique<Content>(Parse(bytes, source)))
{
}

RegDocument::RegDocument(RegDocument&&) noexcept = default;
RegDocument& RegDocument::operator=(RegDocument&&) noexcept = default;
RegDocument::~RegDocument() = default;

bool RegDocument::IsKeyPath(const std::string& path)
{
    return ParseKeyPath(QString::fromUtf8(path)).has_value();
}

bool RegDocument::HadContent() const
{
    return content_->hadContent;
}

std::vector<std::string> RegDocument::Keys() const
{
    std::vector<std::string> keys;
    for (const Section& section : content_->sections)
        keys.push_back(section.key.join(u'\\').toStdString());
    return keys;
}

bool RegDocument::HasKey(const std::string& key) const
{
    const auto path = ParseKeyPath(QString::fromUtf8(key));
    return path && Exists(*content_, *path);
}

std::vector<std::string> RegDocument::ValueNames(const std::string& key) const
{
    return Values(key).Names();
}

RegValueRead RegDocument::Read(const std::string& key, const std::string& name) const
{
    return Values(key).Read(name);
}

RegKeyValues RegDocument::Values(const std::string& key) const
{
    const Content& d = *content_;
    RegKeyValues values;
    values.ansiStrings_ = d.ansiStrings;
    const auto path = ParseKeyPath(QString::fromUtf8(key));
    if (!path)
        return values;
    for (const Section& section : d.sections) {
        if (section.deleted || !SameKey(section.key, *path))
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
            values.definitions_.push_back({value.name, data});
        }
    }
    return values;
}

void RegDocument::AddKey(const std::string& key)
{
    const auto path = ParseKeyPath(QString::fromUtf8(key));
    if (path && AddSections(*content_, *path, false)) {
        LocateKeysAndValues(*content_);
        content_->edited = true;
    }
}

bool RegDocument::WriteDword(const std::string& key, const std::string& name, std::uint32_t data)
{
    const auto path = ParseKeyPath(QString::fromUtf8(key));
    if (!path)
        return false;
    const std::optional<Written> written = SetDword(*content_, *path, QString::fromUtf8(name), data);
    if (written == Written::Changed)
        content_->edited = true;
    return written.has_value();
}

bool RegDocument::Edited() const
{
    return content_->edited;
}

QByteArray RegDocument::Bytes() const
{
    return regfile::Bytes(*content_);
}

} // namespace ostrel::host
