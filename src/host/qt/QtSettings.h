#pragma once
// The viewer's settings in Qt's store (on Linux an INI file under
// $XDG_CONFIG_HOME/Veskar/). Texts are kept as bytes, so a path comes back
// exactly as it was given whatever its encoding.

#include "host/Settings.h"

#include <memory>

class QSettings;

namespace veskar {

class QtSettings final : public Settings {
public:
    QtSettings();
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

} // namespace veskar
