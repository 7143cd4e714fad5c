#pragma once
// Components: objects with an owner that destroys them, and events as bound
// callbacks that are called only when assigned, with the component as Sender.
#include <functional>
#include <string>
#include <utility>
#include <vector>

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;
};

// A routine bound to an object. Empty until assigned.
template <typename... Args>
class TEvent {
public:
    TEvent() = default;
    template <typename C>
    TEvent(C* object, void (C::*method)(Args...))
        : call_([object, method](Args... args) { (object->*method)(args...); })
    {
    }
    explicit TEvent(std::function<void(Args...)> call) : call_(std::move(call)) {}

    bool Assigned() const noexcept { return static_cast<bool>(call_); }
    void Clear() noexcept { call_ = nullptr; }
    // Calls the bound routine; does nothing when the event is not assigned.
    void operator()(Args... args) const
    {
        if (call_)
            call_(args...);
    }

private:
    std::function<void(Args...)> call_;
};

using TNotifyEvent = TEvent<TObject*>;

class TComponent : public TObject {
public:
    explicit TComponent(TComponent* owner);
    ~TComponent() override;

    TComponent* Owner() const noexcept { return owner_; }
    const std::vector<TComponent*>& Components() const noexcept { return components_; }

    std::string Name;

protected:
    // Destroys every owned component, newest first.
    void DestroyComponents() noexcept;

private:
    void Insert(TComponent* child) { components_.push_back(child); }
    void Remove(TComponent* child);

    TComponent* owner_;
    std::vector<TComponent*> components_;
};
