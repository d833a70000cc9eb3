// Folder names as entries of the sub-folder list: double-quoted script strings that JSON reads too.
#include "core/text/TextEscaping.h"

#include <gtest/gtest.h>

#include <string>

namespace Vuxo {
namespace {

TEST(SubdirNameTest, NamesStayInsideTheirString) {
    const struct {
        std::string name;
        std::string escaped;
    } cases[] = {
        {"plain", "plain"},
        {"say \"hi\"", "say \\\"hi\\\""},
        {"it's", "it's"},
        {"back\\slash", "back\\\\slash"},
        {"two\r\nlines", "two\\r\\nlines"},
        {"tab\there", "tab\\there"},
        {std::string("\x01\x1f\x7f", 3), "\\u0001\\u001F\\u007F"},
        {"</script>", "\\u003C/script>"},
        {"\xE2\x80\xA8\xE2\x80\xA9", "\\u2028\\u2029"},
        {"\xED\x95\x9C\xEA\xB8\x80", "\xED\x95\x9C\xEA\xB8\x80"},
        {"\",\n\"/", "\\\",\\n\\\"/"}, // cannot end its entry and start another
    };
    for (const auto& c : cases) {
        EXPECT_EQ(EscapeScriptString(c.name, ScriptString::Json), c.escaped) << c.name;
    }
}

} // namespace
} // namespace Vuxo
