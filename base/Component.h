// Components: named objects owned by another component, which frees them, and told when a
// component they refer to goes away.
#pragma once

#include "base/Persistent.h"

#include <memory>
#include <string>
#include <vector>

namespace quillet {

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
public:
    explicit TComponent(TComponent* owner = nullptr);
    ~TComponent() override;
    TComponent(const TComponent&) = delete;
    TComponent& operator=(const TComponent&) = delete;

    std::string ClassName() const override { return "TComponent"; }

    // Makes a component owned by this one; it lives until this one is destroyed.
    template <typename T, typename... Args> T& Create(Args&&... args) {
        auto component = std::make_unique<T>(this, std::forward<Args>(args)...);
        T& made = *component;
        InsertComponent(std::move(component));
        return made;
    }
    // Destroys an owned component now, telling the others first.
    void FreeComponent(TComponent& component);

    TComponent* Owner() const { return owner_; }
    int ComponentCount() const { return static_cast<int>(components_.size()); }
    TComponent& Components(int index) const {
        return *components_.at(static_cast<std::size_t>(index));
    }
    TComponent* FindComponent(const std::string& name) const;

    const std::string& Name() const { return name_; }
    void SetName(const std::string& name) { name_ = name; }
    std::int32_t Tag() const { return tag_; }
    void SetTag(std::int32_t tag) { tag_ = tag; }

    // Asks to be told (through Notification) when `component` is destroyed, and tells it
    // likewise about this one.
    void FreeNotification(TComponent& component);
    void RemoveFreeNotification(TComponent& component);

    // Called by the owner while the component is still whole, just before destroying it, so
    // that it can let go of what could still call back into it. Whoever destroys a component
    // without an owner calls it too (see DestroyComponent).
    virtual void BeforeDestruction() {}

    // The after-loading notification: called once a form description has been read into it.
    virtual void Loaded() { loading_ = false; }
    bool Loading() const { return loading_; }
    void BeginLoading() { loading_ = true; }

    void DefineProperties(TFiler& filer) override;

protected:
    // `component` is being inserted or removed: drop any reference to it on opRemove.
    virtual void Notification(TComponent& component, TOperation operation);

private:
    void InsertComponent(std::unique_ptr<TComponent> component);
    void NotifyRemoval(TComponent& component);

    TComponent* owner_ = nullptr;
    std::vector<std::unique_ptr<TComponent>> components_;
    std::vector<TComponent*> freeNotifies_;
    std::string name_;
    std::int32_t tag_ = 0;
    bool loading_ = false;
};

// Destroys a component in the two steps its owner would take: BeforeDestruction, then delete.
struct DestroyComponent {
    void operator()(TComponent* component) const {
        component->BeforeDestruction();
        delete component;
    }
};

// A component without an owner, destroyed in two steps.
template <typename T> using TOwnedComponent = std::unique_ptr<T, DestroyComponent>;

template <typename T, typename... Args> TOwnedComponent<T> MakeComponent(Args&&... args) {
    return TOwnedComponent<T>(std::make_unique<T>(std::forward<Args>(args)...).release());
}

} // namespace quillet
