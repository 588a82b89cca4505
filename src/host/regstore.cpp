#include "host/regstore.h"

#include "base/errors.h"
#include "host/failurelog.h"
#include "host/regdocument.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSaveFile>
#include <QScopeGuard>
#include <QStandardPaths>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <optional>
#include <utility>

namespace ostrel::host {
namespace {

// A write of another copy of the program may be under way; one this old is not.
constexpr int kStaleTemporarySeconds = 2;

// The file cannot be read (or is no file).
[[noreturn]] void FailToRead(const QString& path, const QString& what)
{
    throw RegistryError(RegFileProblem(path, what));
}

// Only a regular file is read (a FIFO would block for ever, a device never end), and only up to
// kMaxStoreBytes. The file is opened without blocking and then looked at.
std::optional<QByteArray> ReadBytes(const QString& path)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (errno == ENOENT || errno == ENOTDIR) // nothing there (yet)
            return std::nullopt;
        FailToRead(path, QStringLiteral("cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno)));
    }
    const auto closeFd = qScopeGuard([fd] { ::close(fd); });
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))
        FailToRead(path, QStringLiteral("is not a regular file"));
    if (info.st_size > RegFileStore::kMaxStoreBytes)
        FailToRead(path, QStringLiteral("is larger than %1 MB").arg(RegFileStore::kMaxStoreBytes >> 20));
    QByteArray bytes(qsizetype(info.st_size), Qt::Uninitialized);
    qsizetype got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + got, size_t(bytes.size() - got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            FailToRead(path,
                       QStringLiteral("cannot be read: ") + QString::fromLocal8Bit(std::strerror(errno)));
        if (n == 0)
            break; // it shrank meanwhile
        got += n;
    }
    bytes.truncate(got);
    return bytes;
}

// The file as a document; no file is a store without keys. Throws MalformedRegFile for content that
// is not a registry file, RegistryError for a file that cannot be read.
RegDocument Load(const QString& path)
{
    const std::optional<QByteArray> bytes = ReadBytes(path);
    return bytes ? RegDocument(*bytes, path) : RegDocument();
}

// A write killed at its very end can leave its temporary file ("HKEY_CURRENT_USER.reg.AbC123",
// QSaveFile's) beside the store: the next write takes those away once they are clearly stale.
void RemoveStaleTemporaries(const QString& path)
{
    const QFileInfo store(path);
    const QRegularExpression temporary(QRegularExpression::anchoredPattern(
        QRegularExpression::escape(store.fileName()) + QStringLiteral("\\.[A-Za-z0-9]{6}")));
    const QDateTime stale = QDateTime::currentDateTime().addSecs(-kStaleTemporarySeconds);
    const QFileInfoList entries =
        store.dir().entryInfoList({store.fileName() + QStringLiteral(".*")}, QDir::Files);
    for (const QFileInfo& entry : entries)
        if (temporary.match(entry.fileName()).hasMatch() && entry.lastModified() < stale)
            QFile::remove(entry.filePath());
}

bool Save(const QString& path, const RegDocument& document)
{
    const QByteArray bytes = document.Bytes();
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        qCWarning(lcFailures, "the folder of \"%s\" cannot be made", qPrintable(path));
        return false;
    }
    RemoveStaleTemporaries(path);
    struct stat before {};
    const bool existed = ::stat(QFile::encodeName(path).constData(), &before) == 0;
    // Unbuffered, because QSaveFile only notices a failed write() and would commit a file cut
    // short when the failure came at the final flush instead (a full disk, say).
    QSaveFile file(path);
    if (!(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered) && file.write(bytes) == bytes.size() &&
          file.commit())) {
        qCWarning(lcFailures, "\"%s\" cannot be written: %s", qPrintable(path),
                  qPrintable(file.errorString()));
        return false;
    }
    // The new file keeps the old one's mode (QSaveFile gives a mode-000 file 0600).
    if (existed)
        ::chmod(QFile::encodeName(path).constData(), before.st_mode & 07777);
    return true;
}

// A key holds the values it had when opened (or last written through it), like a snapshot; every
// write reloads the file first so that changes made meanwhile are not lost.
class FileKey final : public RegistryKey {
public:
    FileKey(QString file, std::string key, bool writable, RegKeyValues values)
        : file_(std::move(file)), key_(std::move(key)), writable_(writable), values_(std::move(values))
    {
    }

    RegValueRead ReadValue(const std::string& name) override { return values_.Read(name); }

    bool WriteDword(const std::string& name, std::uint32_t data) override
    {
        if (!writable_)
            return false;
        try {
            RegDocument document = Load(file_);
            if (!document.WriteDword(key_, name, data) || (document.Edited() && !Save(file_, document)))
                return false;
            values_ = document.Values(key_);
            return true;
        } catch (const std::exception& error) {
            qCWarning(lcFailures, "%s", error.what());
            return false;
        }
    }

private:
    QString file_;
    std::string key_;
    bool writable_;
    RegKeyValues values_;
};

// A reading of the store's file, and how it went, noted for the service desk. A file empty to the
// eye tells as much as none.
template <class Read> RegDocument ReadNotingHowItWent(RegistryStoreStatus& status, Read read)
{
    using Reading = RegistryStoreStatus::Reading;
    try {
        RegDocument document = read();
        status.reading = document.HadContent() ? Reading::Read : Reading::Absent;
        status.problem.clear();
        return document;
    } catch (const std::exception& error) {
        status.reading = Reading::Unreadable;
        status.problem = error.what();
        throw;
    }
}

// A file whose content is not a registry file is kept aside byte for byte, under a name that says
// when, and the store starts afresh: a stray edit must not keep the portal away at every start.
RegDocument LoadOrSetAside(const QString& filePath, RegistryStoreStatus& status)
{
    try {
        return Load(filePath);
    } catch (const MalformedRegFile& error) {
        const QDateTime now = QDateTime::currentDateTime();
        const QString kept =
            filePath + QStringLiteral(".broken-") + now.toString(QStringLiteral("yyyyMMdd-HHmmss"));
        QString name = kept;
        for (int n = 2; QFileInfo::exists(name); ++n)
            name = kept + u'-' + QString::number(n);
        if (!QFile::rename(filePath, name)) {
            qWarning("ostrel-web: %s; it could not be kept aside, so it is left as it is", error.what());
            throw;
        }
        qWarning("ostrel-web: %s; kept as \"%s\", starting a fresh registry store", error.what(),
                 qPrintable(QDir::toNativeSeparators(name)));
        status.keptAsidePath = QDir::toNativeSeparators(name).toStdString();
        status.keptAsideOn = now.toString(QStringLiteral("dd-MM-yyyy HH:mm:ss")).toStdString();
        return RegDocument();
    }
}

} // namespace

RegFileStore::RegFileStore(QString filePath) : filePath_(std::move(filePath))
{
    status_.path = QDir::toNativeSeparators(filePath_).toStdString();
}

QString RegFileStore::DefaultPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/ostrel-web/HKEY_CURRENT_USER.reg");
}

std::unique_ptr<RegistryKey> RegFileStore::OpenKeyReadOnly(const std::string& path)
{
    if (!RegDocument::IsKeyPath(path))
        return nullptr;
    const RegDocument document = ReadNotingHowItWent(status_, [&] { return Load(filePath_); });
    if (!document.HasKey(path))
        return nullptr;
    return std::make_unique<FileKey>(filePath_, path, false, document.Values(path));
}

std::unique_ptr<RegistryKey> RegFileStore::CreateKey(const std::string& path)
{
    try {
        if (!RegDocument::IsKeyPath(path))
            return nullptr;
        RegDocument document =
            ReadNotingHowItWent(status_, [&] { return LoadOrSetAside(filePath_, status_); });
        // Windows persists a created key at once; opening one that exists writes nothing.
        document.AddKey(path);
        if (document.Edited()) {
            if (!Save(filePath_, document))
                return nullptr;
            status_.reading = RegistryStoreStatus::Reading::Read;
        }
        return std::make_unique<FileKey>(filePath_, path, true, document.Values(path));
    } catch (const std::exception& error) {
        qWarning("ostrel-web: %s", error.what());
        return nullptr;
    }
}

} // namespace ostrel::host
