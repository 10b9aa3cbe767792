#include "app/AdminTest.h"

#include <cstdio>
#include <fstream>

namespace velmora {

bool TestAdminRights(const std::string& systemRoot)
{
    const std::string testPath = systemRoot + "adtest.txt";
    {
        std::ofstream out(testPath, std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << "TestAdmin\r\n";
        out.flush();
        if (!out) {
            std::remove(testPath.c_str());
            return false;
        }
    }
    std::remove(testPath.c_str());
    return true;
}

} // namespace velmora
