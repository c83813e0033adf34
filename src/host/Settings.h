#pragma once
// What the viewer keeps between runs (recent files, the last folder): named
// texts and lists of texts. Each window backend stores them its own way (Qt's
// settings on Linux); headless runs and tests keep them in memory only.

#include <map>
#include <string>
#include <vector>

namespace veskar {

class Settings {
public:
    virtual ~Settings() = default;
    // An unknown key reads as empty.
    virtual std::string text(const std::string& key) const = 0;
    virtual void setText(const std::string& key, const std::string& value) = 0;
    virtual std::vector<std::string> list(const std::string& key) const = 0;
    virtual void setList(const std::string& key, const std::vector<std::string>& values) = 0;
};

class MemorySettings final : public Settings {
public:
    std::string text(const std::string& key) const override
    {
        const auto it = texts_.find(key);
        return it == texts_.end() ? std::string() : it->second;
    }
    void setText(const std::string& key, const std::string& value) override { texts_[key] = value; }
    std::vector<std::string> list(const std::string& key) const override
    {
        const auto it = lists_.find(key);
        return it == lists_.end() ? std::vector<std::string>() : it->second;
    }
    void setList(const std::string& key, const std::vector<std::string>& values) override { lists_[key] = values; }

private:
    std::map<std::string, std::string> texts_;
    std::map<std::string, std::vector<std::string>> lists_;
};

} // namespace veskar
