#include "platform/ui_thread.h"
#include "support/wait.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

using namespace tonvale;
using tonvale::test::WaitUntil;
using namespace std::chrono_literals;

TEST(UiThread, SynchronizeRunsOnTheUiThreadAndWaits) {
  const auto ui = std::this_thread::get_id();
  std::thread::id ranOn;
  std::atomic<bool> returned{false};
  std::thread worker([&] {
    ui_thread::Synchronize([&] { ranOn = std::this_thread::get_id(); });
    returned = true;
  });
  EXPECT_TRUE(ui_thread::ProcessUntil([&] { return returned.load(); }, 5s));
  worker.join();
  EXPECT_EQ(ranOn, ui);
  // On the UI thread itself the call runs inline.
  bool inline_ = false;
  ui_thread::Synchronize([&] { inline_ = true; });
  EXPECT_TRUE(inline_);
}

TEST(UiThread, SynchronizeRethrowsOnTheCallingThread) {
  std::string caught;
  std::thread worker([&] {
    try {
      ui_thread::Synchronize([] { throw std::runtime_error("boom"); });
    } catch (const std::exception& e) {
      caught = e.what();
    }
  });
  ASSERT_TRUE(WaitUntil([] { return ui_thread::CheckSynchronize(10ms); }));
  worker.join();
  EXPECT_EQ(caught, "boom");
}

TEST(UiThread, CheckSynchronizeNeverRunsPostedMessages) {
  std::vector<int> order;
  ui_thread::Post([&] { order.push_back(1); });
  std::thread worker([&] { ui_thread::Synchronize([&] { order.push_back(2); }); });
  ASSERT_TRUE(WaitUntil([] { return ui_thread::CheckSynchronize(10ms); }));
  worker.join();
  EXPECT_EQ(order, std::vector<int>({2}));
  ui_thread::Post([&] { order.push_back(3); });
  EXPECT_TRUE(ui_thread::ProcessMessages());
  EXPECT_EQ(order, std::vector<int>({2, 1, 3}));
  EXPECT_FALSE(ui_thread::ProcessMessages());
}

TEST(UiThread, MessagesPostedWhileProcessingWaitForTheNextRound) {
  std::vector<int> order;
  ui_thread::Post([&] {
    order.push_back(1);
    ui_thread::Post([&] { order.push_back(2); });
  });
  ui_thread::ProcessMessages();
  EXPECT_EQ(order, std::vector<int>({1}));
  ui_thread::ProcessMessages();
  EXPECT_EQ(order, std::vector<int>({1, 2}));
}

TEST(UiThread, AFailingMessageKeepsTheRestQueued) {
  std::vector<int> order;
  ui_thread::Post([] { throw std::runtime_error("bad"); });
  ui_thread::Post([&] { order.push_back(1); });
  EXPECT_THROW(ui_thread::ProcessMessages(), std::runtime_error);
  ui_thread::ProcessMessages();
  EXPECT_EQ(order, std::vector<int>({1}));
}

TEST(UiThread, WakeCallbackHearsOfQueuedWork) {
  std::atomic<int> wakes{0};
  ui_thread::SetWakeCallback([&] { ++wakes; });
  ui_thread::Post([] {});
  std::thread worker([] { ui_thread::Synchronize([] {}); });
  ASSERT_TRUE(WaitUntil([] { return ui_thread::CheckSynchronize(10ms); }));
  worker.join();
  ui_thread::SetWakeCallback(nullptr);
  ui_thread::ProcessMessages();
  EXPECT_EQ(wakes.load(), 2);
}

TEST(UiThread, ProcessUntilGivesUpAtTheTimeout) {
  EXPECT_FALSE(ui_thread::ProcessUntil([] { return false; }, 30ms));
}

// Regression: without a UI thread the call ran on the calling thread without
// a word, and a handler meant for the UI thread ran on a worker.
TEST(UiThread, SynchronizeWithoutAUiThreadIsAnError) {
  ui_thread::Release();
  bool ran = false;
  EXPECT_THROW(ui_thread::Synchronize([&] { ran = true; }), std::logic_error);
  ui_thread::Initialise();
  EXPECT_FALSE(ran);
  ui_thread::Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
}
