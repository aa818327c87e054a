// A start that writes no date loads neither ICU's formatting half nor the
// date formats library: the platform and the programs do not link them.

#include "cli/ChildProcess.h"
#include "cli/LoaderLog.h"

#include <gtest/gtest.h>

#include <string>

TEST(ProgramStart, LoadsNoDateFormatterForAnAnswerWithoutDates)
{
    auto run = testing_support::runProgram(std::string(QUORIX_BINARY_DIR) + "/bin/quorix", { "--version" }, { { "LD_DEBUG", "files" } });
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(testing_support::loaded(run, "libquorix_platform.so")) << "no loader log: " << run.err;
    EXPECT_TRUE(testing_support::loaded(run, "libicuuc.so"));
    EXPECT_FALSE(testing_support::loaded(run, "libicui18n.so"));
    EXPECT_FALSE(testing_support::loaded(run, "libquorix_date_formats.so"));
}
