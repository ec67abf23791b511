#include "base/Component.h"

#include <algorithm>
#include <cctype>

namespace quillet {

TComponent::TComponent(TComponent* owner) : owner_(owner) {
}

TComponent::~TComponent() {
    // Those that asked to be told let go of this one first.
    const std::vector<TComponent*> partners = std::move(freeNotifies_);
    for (TComponent* partner : partners) {
        std::erase(partner->freeNotifies_, this);
        partner->Notification(*this, TOperation::opRemove);
    }
    // Owned components go last first, each announced to the rest while they still exist.
    while (!components_.empty()) {
        std::unique_ptr<TComponent> last = std::move(components_.back());
        components_.pop_back();
        NotifyRemoval(*last);
        last->BeforeDestruction();
        last->owner_ = nullptr;
    }
}

void TComponent::InsertComponent(std::unique_ptr<TComponent> component) {
    TComponent& inserted = *component;
    components_.push_back(std::move(component));
    Notification(inserted, TOperation::opInsert);
    for (const auto& other : components_) {
        if (other.get() != &inserted)
            other->Notification(inserted, TOperation::opInsert);
    }
}

void TComponent::NotifyRemoval(TComponent& component) {
    Notification(component, TOperation::opRemove);
    for (const auto& other : components_)
        other->Notification(component, TOperation::opRemove);
}

void TComponent::FreeComponent(TComponent& component) {
    const auto found = std::find_if(components_.begin(), components_.end(),
                                    [&](const auto& owned) { return owned.get() == &component; });
    if (found == components_.end())
        return;
    std::unique_ptr<TComponent> freed = std::move(*found);
    components_.erase(found);
    NotifyRemoval(*freed);
    freed->BeforeDestruction();
    freed->owner_ = nullptr;
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    for (const auto& component : components_) {
        if (!name.empty() && component->name_.size() == name.size() &&
            std::equal(name.begin(), name.end(), component->name_.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return component.get();
    }
    return nullptr;
}

void TComponent::FreeNotification(TComponent& component) {
    if (&component == this)
        return;
    if (std::find(freeNotifies_.begin(), freeNotifies_.end(), &component) == freeNotifies_.end())
        freeNotifies_.push_back(&component);
    if (std::find(component.freeNotifies_.begin(), component.freeNotifies_.end(), this) ==
        component.freeNotifies_.end())
        component.freeNotifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent& component) {
    std::erase(freeNotifies_, &component);
    std::erase(component.freeNotifies_, this);
}

void TComponent::Notification(TComponent&, TOperation) {
}

void TComponent::DefineProperties(TFiler& filer) {
    filer.DefineStringProperty(
        "Name", [this](const std::string& value) { name_ = value; }, name_);
    filer.DefineIntegerProperty(
        "Tag", [this](std::int32_t value) { tag_ = value; }, tag_, 0);
}

} // namespace quillet
