#include <gtest/gtest.h>

#include "platform/ui_thread.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  tonvale::ui_thread::Initialise();
  return RUN_ALL_TESTS();
}
