#include "host/qt/QtSettings.h"

#include <QByteArray>
#include <QSettings>
#include <QVariant>

namespace veskar {

namespace {

QString keyOf(const std::string& key) { return QString::fromUtf8(key.data(), static_cast<qsizetype>(key.size())); }
QByteArray bytesOf(const std::string& text) { return QByteArray(text.data(), static_cast<qsizetype>(text.size())); }
std::string textOf(const QByteArray& bytes) { return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size())); }

} // namespace

QtSettings::QtSettings() : store_(std::make_unique<QSettings>(QStringLiteral("Veskar"), QStringLiteral("veskar"))) {}

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
