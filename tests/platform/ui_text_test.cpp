// Format texts filled in after translation.

#include "platform/ui_text.h"

#include <gtest/gtest.h>

namespace quillon {
namespace {

struct FillCase {
    const char* format;
    QStringList args;
    const char* expected;
};

class FillInText : public ::testing::TestWithParam<FillCase> {};

TEST_P(FillInText, PutsEachTextInItsPlaceOnce) {
    const FillCase& c = GetParam();
    EXPECT_EQ(FillIn(QString::fromUtf8(c.format), c.args).toStdString(), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FillInText,
    ::testing::Values(FillCase{"%1 を開けません", {"/tmp/a.bin"}, "/tmp/a.bin を開けません"},
                      // English may take the numbers in another order.
                      FillCase{"%2 of %1", {"a", "b"}, "b of a"},
                      // A filled-in text that holds a %1 of its own stays as it is.
                      FillCase{"file %1 (%2)", {"/tmp/%2%1.bin", "x"}, "file /tmp/%2%1.bin (x)"},
                      FillCase{"100%", {}, "100%"}, FillCase{"%3 left", {"a"}, "%3 left"},
                      FillCase{"%%1", {"a"}, "%a"}));

TEST(FillText, TakesNumbersAndStdStrings) {
    EXPECT_EQ(Lang::Fill("%1: %2 / %3", std::string("read"), 4, QString("x")), "read: 4 / x");
    EXPECT_EQ(Lang::FillQ("%1", "z"), QString("z"));
}

}  // namespace
}  // namespace quillon
