#include "core/loader/Loaders.h"
#include "core/loader/ResourceTable.h"

#include <gtest/gtest.h>

#include <string>

namespace CorvantaTest {
void RegisterLoaderTestResources(); // generated from tests/core/loader/CMakeLists.txt
} // namespace CorvantaTest

namespace Vuxo {
namespace {

TEST(LoadResourceData, FindsGeneratedEntriesByIdAndType) {
    CorvantaTest::RegisterLoaderTestResources();
    CorvantaTest::RegisterLoaderTestResources();
    static const unsigned char later[] = {'l', 'a', 't', 'e', 'r'};
    static const ResourceEntry entries[] = {{1, "BINARY", later, sizeof later},
                                            {4000, "BINARY", later, sizeof later}};
    RegisterResourceTable(entries, 2);

    std::string allBytes;
    for (int i = 0; i < 3 * 256; ++i) {
        allBytes += static_cast<char>(i);
    }
    const std::string hello = "Hello, resources!\n";
    struct Case {
        uint16_t id;
        const char* type;
        std::string bytes; // empty: not found, buffer untouched
    };
    const Case cases[] = {{1, "BINARY", hello},
                          {1, "binary", hello},
                          {3, "TEXT", hello},
                          {300, "BINARY", allBytes},
                          {65535, "Binary", allBytes},
                          {4000, "BINARY", "later"},
                          {2, "BINARY", ""},
                          {999, "BINARY", ""},
                          {1, "TEXT", ""},
                          {1, "", ""},
                          {1, "BINARYX", ""}};
    for (const Case& c : cases) {
        ByteBuffer buffer = {'o', 'l', 'd'};
        EXPECT_EQ(LoadResourceData(buffer, c.id, c.type), !c.bytes.empty()) << c.id << ' ' << c.type;
        EXPECT_EQ(std::string(buffer.begin(), buffer.end()), c.bytes.empty() ? "old" : c.bytes) << c.id;
    }
}

} // namespace
} // namespace Vuxo
