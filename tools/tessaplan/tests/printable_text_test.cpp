#include "cli/printable_text.h"

#include <gtest/gtest.h>

namespace tessaplan
{
    namespace
    {
        TEST(PrintableText, KeepsTextAndValidCharacters)
        {
            EXPECT_EQ(printable("plain 'name'.obj"), "plain 'name'.obj");
            // Two-, three- and four-byte characters.
            EXPECT_EQ(printable("caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80"),
                      "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80");
        }

        TEST(PrintableText, EscapesControlCharacters)
        {
            EXPECT_EQ(printable("a\x1b[31mb\n\t\x7f"),
                      "a\\x1b[31mb\\x0a\\x09\\x7f");
            // C1 controls (here CSI, U+009B) act on some terminals too.
            EXPECT_EQ(printable("x\xc2\x9by"), "x\\xc2\\x9by");
            EXPECT_EQ(printable(std::string("a\0b", 3)), "a\\x00b");
        }

        TEST(PrintableText, EscapesBytesThatAreNotUtf8)
        {
            EXPECT_EQ(printable("\xff"), "\\xff");
            // A lead byte without its continuation, then a stray one.
            EXPECT_EQ(printable("\xc3(\x80"), "\\xc3(\\x80");
            // Overlong form of '/', a surrogate, past U+10FFFF, truncated.
            EXPECT_EQ(printable("\xc0\xaf"), "\\xc0\\xaf");
            EXPECT_EQ(printable("\xed\xa0\x80"), "\\xed\\xa0\\x80");
            EXPECT_EQ(printable("\xf4\x90\x80\x80"), "\\xf4\\x90\\x80\\x80");
            EXPECT_EQ(printable("\xe2\x82"), "\\xe2\\x82");
        }
    }  // namespace
}  // namespace tessaplan
