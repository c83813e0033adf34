#pragma once
// The viewer's settings where Windows programs keep theirs: the registry,
// under HKEY_CURRENT_USER\Software\Veskar\Viewer. Texts are REG_SZ values and
// lists REG_MULTI_SZ ones, in UTF-16 made from the UTF-8 texts.

#include "host/Settings.h"

struct HKEY__;

namespace veskar {

class RegistrySettings final : public Settings {
public:
    RegistrySettings();
    ~RegistrySettings() override;
    RegistrySettings(const RegistrySettings&) = delete;
    RegistrySettings& operator=(const RegistrySettings&) = delete;

    std::string text(const std::string& key) const override;
    void setText(const std::string& key, const std::string& value) override;
    // Empty entries are left out: the registry's lists end at the first one.
    std::vector<std::string> list(const std::string& key) const override;
    void setList(const std::string& key, const std::vector<std::string>& values) override;

private:
    HKEY__* key_ = nullptr;  // null when the key cannot be opened: nothing is kept
};

} // namespace veskar
