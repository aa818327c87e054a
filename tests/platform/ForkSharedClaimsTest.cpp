// What one process claims, its forked copies see as claimed, and the other
// way round; a full set still lets a text be said.

#include "foundation/ForkSharedClaims.h"

#include <gtest/gtest.h>

#include <string>

#include <sys/wait.h>
#include <unistd.h>

namespace {

// Runs `child` in a forked copy; its exit status (0 for success).
template<class Body>
int inForkedCopy(Body child)
{
    const pid_t pid = fork();
    if (pid == 0)
        _exit(child() ? 0 : 1);
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace

TEST(ForkSharedClaims, ACopyAndItsParentClaimEachTextOnce)
{
    foundation::ForkSharedClaims claims;
    EXPECT_TRUE(claims.claim("dates: no ICU"));
    EXPECT_FALSE(claims.claim("dates: no ICU")) << "claimed once in a process";

    EXPECT_EQ(inForkedCopy([&] { return !claims.claim("dates: no ICU") && claims.claim("places: no database"); }), 0)
        << "the copy sees the parent's claim and makes its own";
    EXPECT_FALSE(claims.claim("places: no database")) << "the parent sees the copy's claim";
    EXPECT_TRUE(claims.claim("digests: no library"));
}

TEST(ForkSharedClaims, AFullSetStillLetsATextBeSaid)
{
    foundation::ForkSharedClaims claims;
    for (size_t i = 0; i < foundation::ForkSharedClaims::kSlots; ++i)
        EXPECT_TRUE(claims.claim("loss " + std::to_string(i)));
    EXPECT_TRUE(claims.claim("one loss too many"));
    EXPECT_TRUE(claims.claim("one loss too many")) << "no slot to remember it in";
    EXPECT_FALSE(claims.claim("loss 0"));
}
