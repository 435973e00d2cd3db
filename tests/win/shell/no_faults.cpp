// Every test of the shell ends with no handler fault reported, unless it made
// one on purpose and said so in g_expectedHandlerFaults.
#include <gtest/gtest.h>

#include "win32/faults.h"

int g_expectedHandlerFaults = 0;

namespace {

class NoHandlerFaults : public ::testing::Environment {
 public:
  void TearDown() override {
    EXPECT_EQ(pagerift::win::HandlerFaultCount(), g_expectedHandlerFaults)
        << "a handler threw; its message is in the debugger output";
  }
};

const auto* const kRegistered = ::testing::AddGlobalTestEnvironment(new NoHandlerFaults);

}  // namespace

TEST(HandlerFaults, AThrowingHandlerIsStoppedReportedAndCounted) {
  const int before = pagerift::win::HandlerFaultCount();
  EXPECT_FALSE(pagerift::win::RunGuarded("a test", [] { throw std::runtime_error("on purpose"); }));
  EXPECT_TRUE(pagerift::win::RunGuarded("a test", [] {}));
  EXPECT_EQ(pagerift::win::HandlerFaultCount(), before + 1);
  ++g_expectedHandlerFaults;
}
