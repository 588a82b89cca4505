// The .reg format from arbitrary bytes. The image either refuses them with a RegistryError or:
// gives them back byte for byte while nothing is written (a store that only looks empty is a fresh
// one instead); reads every value it lists; writes the browser-emulation DWORD so that a fresh parse
// reads it back, leaves every other value as it was (in its own key too), and writing it once more
// changes nothing.
#include "fuzzrequire.h"
#include "base/errors.h"
#include "host/regdocument.h"

#include <QByteArray>
#include <QString>
#include <QStringDecoder>
#include <QStringView>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace {

using ostrel::host::RegDocument;
using ostrel::host::RegValueRead;

constexpr char kKey[] =
    "Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";
constexpr char kName[] = "ostrel-web";
constexpr std::uint32_t kData = 11001;
const std::string kDataBytes("\xF9\x2A\x00\x00", 4); // 11001, little-endian

using ostrel::testing::Violated;

// Nothing but blanks and line ends (and a BOM) to the eye, read as the store reads text: UTF-16LE
// after its BOM, UTF-8, or Windows-1252 for bytes that are no UTF-8 (whose blanks are those of
// ASCII and the no-break space, 0xA0). Only called for bytes the image accepted.
bool looksEmpty(const QByteArray& bytes)
{
    constexpr auto flags = QStringConverter::Flag::ConvertInitialBom | QStringConverter::Flag::Stateless;
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder utf16(QStringConverter::Utf16LE, flags);
        return QString(utf16(QByteArrayView(bytes).sliced(2))).trimmed().isEmpty();
    }
    const QByteArrayView body = QByteArrayView(bytes).sliced(bytes.startsWith("\xEF\xBB\xBF") ? 3 : 0);
    QStringDecoder utf8(QStringConverter::Utf8, flags);
    const QString text = utf8(body);
    if (!utf8.hasError())
        return text.trimmed().isEmpty();
    for (const char c : body) {
        const auto b = static_cast<unsigned char>(c);
        if (b != ' ' && b != 0xA0 && !(b >= '\t' && b <= '\r'))
            return false;
    }
    return true;
}

// The value written, as the image reads names: key and value names in any letter case.
bool isWrittenValue(const std::string& key, const std::string& name)
{
    QString path = QString::fromUtf8(key);
    if (path.startsWith(u'\\'))
        path.remove(0, 1);
    return path.compare(QString::fromUtf8(kKey), Qt::CaseInsensitive) == 0 &&
           QString::fromUtf8(name).compare(QString::fromUtf8(kName), Qt::CaseInsensitive) == 0;
}

bool sameRead(const RegValueRead& a, const RegValueRead& b)
{
    return a.status == b.status && a.type == b.type && a.data == b.data;
}

struct Seen {
    std::string key;
    std::string name;
    RegValueRead read;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    std::optional<RegDocument> image;
    try {
        image.emplace(input);
    } catch (const ostrel::RegistryError&) {
        return 0; // no registry file: refusing it is the answer
    }

    const std::vector<std::string> keys = image->Keys();
    if (looksEmpty(input)) {
        REQUIRE(keys.empty());
        REQUIRE(image->ValueNames(std::string()).empty());
        const RegDocument fresh(image->Bytes());
        REQUIRE(fresh.Keys().empty());
    } else {
        REQUIRE(image->Bytes() == input);
    }

    // A key with several sections is listed once per section, a name once per definition: each is
    // read once, which keeps large inputs fast.
    std::vector<Seen> seen;
    for (const std::string& key : std::set<std::string>(keys.begin(), keys.end())) {
        const std::vector<std::string> names = image->ValueNames(key);
        for (const std::string& name : std::set<std::string>(names.begin(), names.end()))
            seen.push_back({key, name, image->Read(key, name)});
    }

    REQUIRE(image->WriteDword(kKey, kName, kData));
    const RegValueRead inImage = image->Read(kKey, kName);
    REQUIRE(inImage.status == RegValueRead::Status::Ok && inImage.type == 4 && inImage.data == kDataBytes);

    const QByteArray written = image->Bytes();
    std::optional<RegDocument> again;
    try {
        again.emplace(written);
    } catch (const ostrel::RegistryError& error) {
        std::fprintf(stderr, "store: %s\n", error.what());
        Violated("the written image is no registry file");
    }
    const RegValueRead back = again->Read(kKey, kName);
    REQUIRE(back.status == RegValueRead::Status::Ok && back.type == 4 && back.data == kDataBytes);
    for (const Seen& value : seen) {
        if (value.read.status == RegValueRead::Status::Ok && !isWrittenValue(value.key, value.name))
            REQUIRE(sameRead(again->Read(value.key, value.name), value.read));
    }

    // The value is there now: writing it again is no change.
    REQUIRE(again->WriteDword(kKey, kName, kData));
    REQUIRE(again->Bytes() == written);
    return 0;
}
