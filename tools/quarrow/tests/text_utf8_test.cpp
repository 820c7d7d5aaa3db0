#include "text_utf8.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// Well-formed UTF-8 passes unchanged; every other byte is read as Windows-1252; what no XML
// file may hold becomes U+FFFD.
TEST(Utf8Text, MendsWhatIsNotUtf8) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"plain \t\r\n", "plain \t\r\n"},
        {"caf\xc3\xa9 \xf0\x9f\x8c\xb3", "caf\xc3\xa9 \xf0\x9f\x8c\xb3"}, // 2- and 4-byte forms
        {"caf\xe9", "caf\xc3\xa9"},                                       // Latin-1 byte
        {"\x80", "\xe2\x82\xac"},                                         // euro sign
        {"\x81", "\xc2\x81"},                                             // unassigned: kept as is
        {"\xc0\xaf", "\xc3\x80\xc2\xaf"},                 // overlong slash: two characters
        {"\xed\xa0\x80", "\xc3\xad\xc2\xa0\xe2\x82\xac"}, // a surrogate is no character
        {"\xe2\x82", "\xc3\xa2\xe2\x80\x9a"},             // cut short at the end
        {std::string("a\0b\x1f", 4), "a\xef\xbf\xbd"
                                     "b\xef\xbf\xbd"},
        {"\xef\xbf\xbf", "\xef\xbf\xbd"}, // U+FFFF
    };
    for (const auto& c : cases)
        EXPECT_EQ(Utf8Text(c.in), c.out) << c.in;
    EXPECT_EQ(XmlEscape("<a href='x'>&\"</a>"), "&lt;a href=&#39;x&#39;&gt;&amp;&quot;&lt;/a&gt;");
}

} // namespace
