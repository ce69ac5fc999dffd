#include "audio/core/au_component.h"

#include <algorithm>

namespace tonvale {
namespace {

void Remove(std::vector<TAuComponent*>& List, TAuComponent* Item) {
  List.erase(std::remove(List.begin(), List.end(), Item), List.end());
}

}  // namespace

TAuComponent::TAuComponent(TAuComponent* Owner) : FOwner(Owner) {
  if (FOwner) FOwner->FComponents.push_back(this);
}

TAuComponent::~TAuComponent() {
  TAuComponent::BeforeDestruction();
  if (FOwner) {
    Remove(FOwner->FComponents, this);
    FOwner->Notification(this, TOperation::opRemove);
  }
}

void TAuComponent::BeforeDestruction() {
  if (FDestroying) return;
  FDestroying = true;
  // Tell the others while this component is still whole.
  auto notifies = FFreeNotifies;
  for (TAuComponent* c : notifies) {
    Remove(c->FFreeNotifies, this);
    c->Notification(this, TOperation::opRemove);
  }
  FFreeNotifies.clear();
  while (!FComponents.empty()) delete FComponents.back();
}

void TAuComponent::FreeNotification(TAuComponent* Component) {
  if (!Component || Component == this) return;
  if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), Component) == FFreeNotifies.end()) {
    FFreeNotifies.push_back(Component);
    // Notifications go both ways, so neither keeps a dangling entry.
    Component->FreeNotification(this);
  }
}

void TAuComponent::RemoveFreeNotification(TAuComponent* Component) {
  Remove(FFreeNotifies, Component);
  if (Component) Remove(Component->FFreeNotifies, this);
}

void TAuComponent::Notification(TAuComponent*, TOperation) {}

}  // namespace tonvale
