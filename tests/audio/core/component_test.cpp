#include "audio/core/au_component.h"

#include <gtest/gtest.h>

#include "support/memory_in.h"
#include "support/recording_out.h"

using namespace tonvale;

namespace {

struct Probe : TAuComponent {
  Probe(TAuComponent* Owner, int* Freed) : TAuComponent(Owner), FFreed(Freed) {}
  ~Probe() override { ++*FFreed; }
  int* FFreed;
};

}  // namespace

TEST(AuComponent, OwnerFreesWhatItOwns) {
  int freed = 0;
  auto* owner = new Probe(nullptr, &freed);
  new Probe(owner, &freed);
  auto* second = new Probe(owner, &freed);
  EXPECT_EQ(owner->Components().size(), 2u);
  delete second;  // freed early: the owner forgets it
  EXPECT_EQ(owner->Components().size(), 1u);
  delete owner;
  EXPECT_EQ(freed, 3);
}

TEST(AuComponent, OutputDropsAnInputThatIsFreed) {
  test::RecordingOut out;
  auto* in = new test::MemoryIn;
  out.SetInput(in);
  delete in;
  EXPECT_EQ(out.Input(), nullptr);
  // And an output freed first leaves nothing dangling in the input.
  test::MemoryIn in2;
  {
    test::RecordingOut out2;
    out2.SetInput(&in2);
  }
}
