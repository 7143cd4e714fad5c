#include "Component.h"

#include <algorithm>

TComponent::TComponent(TComponent* owner) : owner_(owner)
{
    if (owner_ != nullptr)
        owner_->Insert(this);
}

TComponent::~TComponent()
{
    DestroyComponents();
    if (owner_ != nullptr)
        owner_->Remove(this);
}

void TComponent::DestroyComponents() noexcept
{
    // Newest first; each is taken off our list before it goes.
    while (!components_.empty()) {
        TComponent* child = components_.back();
        child->owner_ = nullptr;
        components_.pop_back();
        delete child;
    }
}

void TComponent::Remove(TComponent* child)
{
    components_.erase(std::remove(components_.begin(), components_.end(), child), components_.end());
}
