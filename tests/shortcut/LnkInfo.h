#pragma once
// Runs lnkinfo (liblnk-utils) on a shortcut file and picks out what it read.
#include <cstdio>
#include <string>
#include <vector>

namespace velmora::test {

struct LnkInfoResult {
    bool ran = false;
    std::string output;
    bool hasTargetIdList = false;
    bool hasArguments = false;
    std::string localPath;
    std::string networkPath;
    std::string arguments;
    std::vector<std::string> itemClasses; // the class type indicator of each shell item, e.g. "0x31"
    std::vector<std::string> itemNames;   // volume and file-entry names, in order
};

inline std::string ValueAfterColon(const std::string& line)
{
    const std::size_t colon = line.find(": ");
    return colon == std::string::npos ? std::string() : line.substr(colon + 2);
}

inline LnkInfoResult RunLnkInfo(const std::string& path)
{
    LnkInfoResult result;
    std::string quoted = "'";
    for (char c : path)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    quoted += "'";
    std::FILE* pipe = popen(("lnkinfo " + quoted + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return result;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0)
        result.output.append(buffer, n);
    result.ran = pclose(pipe) == 0;

    std::size_t start = 0;
    while (start < result.output.size()) {
        std::size_t end = result.output.find('\n', start);
        if (end == std::string::npos) end = result.output.size();
        std::string line = result.output.substr(start, end - start);
        start = end + 1;
        const std::size_t text = line.find_first_not_of('\t');
        if (text == std::string::npos) continue;
        line = line.substr(text);
        if (line == "Contains a link target identifier") result.hasTargetIdList = true;
        if (line == "Contains a command line arguments string") result.hasArguments = true;
        if (line.rfind("Local path", 0) == 0) result.localPath = ValueAfterColon(line);
        if (line.rfind("Network path", 0) == 0) result.networkPath = ValueAfterColon(line);
        if (line.rfind("Command line arguments", 0) == 0) result.arguments = ValueAfterColon(line);
        if (line.rfind("Class type indicator", 0) == 0)
            result.itemClasses.push_back(ValueAfterColon(line).substr(0, 4));
        if (line.rfind("Volume name", 0) == 0 || line.rfind("Name\t", 0) == 0) {
            result.itemNames.push_back(ValueAfterColon(line));
        }
    }
    return result;
}

} // namespace velmora::test
