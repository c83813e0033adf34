#include "host/qt/QtSettings.h"

#include "base/PrintableName.h"

#include <QByteArray>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace veskar {

namespace {

QString keyOf(const std::string& key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }
QByteArray bytesOf(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }
std::string textOf(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

// Recent files and a folder take a few kilobytes.
constexpr off_t kMaxSettingsBytes = off_t{1} << 20;

// Why the file cannot be read as settings; empty when it can (or is missing).
std::string unusable(const std::string& path)
{
    struct stat status {};
    if (stat(path.c_str(), &status) != 0) return errno == ENOENT ? std::string() : std::strerror(errno);
    if (!S_ISREG(status.st_mode)) return "not a regular file";
    if (status.st_size > kMaxSettingsBytes) return "larger than 1 MiB";
    return {};
}

} // namespace

std::string qtSettingsPath()
{
    // The file's name as the file system has it, as QSettings would open it.
    return QFile::encodeName(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/Veskar/veskar.conf"))
        .toStdString();
}

std::unique_ptr<Settings> openQtSettings()
{
    const std::string path = qtSettingsPath();
    const std::string why = unusable(path);
    if (why.empty()) return std::make_unique<QtSettings>(path);
    std::fprintf(stderr, "veskar: %s: %s, so the settings are neither read from it nor kept this run\n", printableName(path).c_str(), why.c_str());
    return std::make_unique<MemorySettings>();
}

QtSettings::QtSettings(const std::string& path) : store_(std::make_unique<QSettings>(QFile::decodeName(path.c_str()), QSettings::IniFormat)) {}

QtSettings::~QtSettings() = default;

std::string QtSettings::text(const std::string& key) const { return textOf(store_->value(keyOf(key)).toByteArray()); }

void QtSettings::setText(const std::string& key, const std::string& value)
{
    store_->setValue(keyOf(key), bytesOf(value));
    store_->sync();
}

std::vector<std::string> QtSettings::list(const std::string& key) const
{
    std::vector<std::string> values;
    const int count = store_->beginReadArray(keyOf(key));
    for (int i = 0; i < count; ++i) {
        store_->setArrayIndex(i);
        values.push_back(textOf(store_->value(QStringLiteral("value")).toByteArray()));
    }
    store_->endArray();
    return values;
}

void QtSettings::setList(const std::string& key, const std::vector<std::string>& values)
{
    store_->remove(keyOf(key));
    store_->beginWriteArray(keyOf(key), static_cast<int>(values.size()));
    for (std::size_t i = 0; i < values.size(); ++i) {
        store_->setArrayIndex(static_cast<int>(i));
        store_->setValue(QStringLiteral("value"), bytesOf(values[i]));
    }
    store_->endArray();
    store_->sync();
}

} // namespace veskar
