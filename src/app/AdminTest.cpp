#include "app/AdminTest.h"
#include "common/Utf8Path.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace velmora {

bool TestAdminRights(const std::string& systemRoot)
{
    const std::string testPath = systemRoot + "adtest.txt";
    std::error_code ec;
    {
        std::ofstream out(PathFromUtf8(testPath), std::ios::binary | std::ios::trunc);
        if (!out) return false;
        out << "TestAdmin\r\n";
        out.flush();
        if (!out) {
            std::filesystem::remove(PathFromUtf8(testPath), ec);
            return false;
        }
    }
    std::filesystem::remove(PathFromUtf8(testPath), ec);
    return true;
}

} // namespace velmora
