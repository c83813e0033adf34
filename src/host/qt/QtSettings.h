#pragma once
// The viewer's settings in Qt's store: an INI file, $XDG_CONFIG_HOME/Veskar/
// veskar.conf (~/.config when the variable is unset). Texts are kept as
// bytes, so a path comes back exactly as it was given whatever its encoding.

#include "host/Settings.h"

#include <memory>

class QSettings;

namespace veskar {

class QtSettings final : public Settings {
public:
    // The store of that one file: Qt's fallbacks (~/.config/Veskar.conf,
    // /etc/xdg) are not read.
    explicit QtSettings(const std::string& path);
    ~QtSettings() override;
    QtSettings(const QtSettings&) = delete;
    QtSettings& operator=(const QtSettings&) = delete;

    std::string text(const std::string& key) const override;
    void setText(const std::string& key, const std::string& value) override;
    std::vector<std::string> list(const std::string& key) const override;
    void setList(const std::string& key, const std::vector<std::string>& values) override;

private:
    std::unique_ptr<QSettings> store_;
};

// The settings file's path.
std::string qtSettingsPath();
// The settings from a file that is missing (made on the first change) or a
// regular file of at most 1 MiB. Anything else there (a FIFO, which would
// block the read forever, a device, a folder, a huge file) is left alone: one
// line on standard error says so, and the settings live in memory for this
// run.
std::unique_ptr<Settings> openQtSettings();

} // namespace veskar
