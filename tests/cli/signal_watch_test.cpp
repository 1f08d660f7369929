// Ctrl+C during a restore: a watch that cannot make its pipe says so instead of leaving the
// signals unwatched without a word.
#include "cli/signal_watch.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <string>

namespace kc::cli {
namespace {

TEST(SignalWatch, WithoutAFileDescriptorForItsPipeItSaysCtrlCIsNotCaught) {
  struct sigaction before {};
  ASSERT_EQ(sigaction(SIGINT, nullptr, &before), 0);
  rlimit limit{};
  ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &limit), 0);
  testing::internal::CaptureStderr();  // opens its file while it still can
  rlimit none = limit;
  none.rlim_cur = 0;  // no new file descriptor at all: the pipe cannot be made
  ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &none), 0);
  {
    const SignalWatch watch([](int) {}, 1);
    setrlimit(RLIMIT_NOFILE, &limit);
  }
  const std::string said = testing::internal::GetCapturedStderr();
  EXPECT_EQ(said,
            "karaoke-ctl: Ctrl+C cannot be caught (Too many open files): it ends the program at "
            "once, without naming the boxes that hold part of the file\n");
  struct sigaction after {};
  ASSERT_EQ(sigaction(SIGINT, nullptr, &after), 0);
  EXPECT_EQ(after.sa_handler, before.sa_handler) << "the old handling is kept";
}

}  // namespace
}  // namespace kc::cli
