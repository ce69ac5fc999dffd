#pragma once
// The base of every audio component: an owner that frees what it owns, and
// notification of components that asked to hear when another is freed.

#include <vector>

namespace tonvale {

enum class TOperation { opInsert, opRemove };

class TAuComponent {
 public:
  explicit TAuComponent(TAuComponent* Owner);
  virtual ~TAuComponent();
  TAuComponent(const TAuComponent&) = delete;
  TAuComponent& operator=(const TAuComponent&) = delete;

  TAuComponent* Owner() const { return FOwner; }
  const std::vector<TAuComponent*>& Components() const { return FComponents; }

  // Component will receive Notification(this, opRemove) when this one is freed.
  void FreeNotification(TAuComponent* Component);
  void RemoveFreeNotification(TAuComponent* Component);

 protected:
  virtual void Notification(TAuComponent* Component, TOperation Operation);

  // The first step of destruction: tells the components that asked to hear of
  // it, and frees the owned components (last created first). A component
  // whose teardown uses its virtual operations overrides this, and the most
  // derived class calls it first in its destructor, while it is still whole.
  // Calling it again does nothing.
  virtual void BeforeDestruction();

 private:
  TAuComponent* FOwner;
  std::vector<TAuComponent*> FComponents;
  std::vector<TAuComponent*> FFreeNotifies;  // components to tell when this is freed
  bool FDestroying = false;
};

}  // namespace tonvale
