#include <gtest/gtest.h>

#include "module/Guids.h"
#include "tests/windows/support/DllUnderTest.h"

namespace vantrel::test {
namespace {

TEST(Module, CanUnloadRightAfterLoad) { EXPECT_EQ(dll().canUnloadNow(), S_OK); }

}  // namespace
}  // namespace vantrel::test
