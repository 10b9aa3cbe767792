#pragma once
// Stand-ins for the folder tests: file times kept in memory (with paths that refuse a
// new time) and fixed German-style locale formats.
#include "common/DateTimeText.h"
#include "platform/IFileTimes.h"
#include "platform/ILocaleFormats.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace velmora::test {

class MemoryFileTimes : public IFileTimes {
public:
    TDateTime now = 0;
    std::map<std::string, TDateTime> modified;
    std::set<std::string> refuse;  // paths whose times cannot be set
    std::vector<std::pair<std::string, TDateTime>> sets;

    std::optional<TDateTime> ModificationTime(const std::string& path) override
    {
        const auto it = modified.find(path);
        if (it == modified.end()) return std::nullopt;
        return it->second;
    }
    std::optional<TDateTime> LastAccessTime(const std::string& path) override { return ModificationTime(path); }
    bool SetModificationTime(const std::string& path, TDateTime local, int* = nullptr) override
    {
        return SetAccessAndModificationTime(path, local);
    }
    bool SetAccessAndModificationTime(const std::string& path, TDateTime local, int* = nullptr) override
    {
        if (refuse.count(path) != 0) return false;
        sets.emplace_back(path, local);
        modified[path] = local;
        return true;
    }
    TDateTime Now() override { return now; }
};

class GermanLocale : public ILocaleFormats {
public:
    LocaleFormats Formats() override { return GermanStyleFormats(); }
};

} // namespace velmora::test
