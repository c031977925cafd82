// Persistent objects (state copied with Assign, published properties reached
// by name) and components (owner, name, owned components, free notifications).
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

#include "System.Remainder.Lists.h"
#include "System.Remainder.Object.h"

namespace System {

class TPersistent;

// ---- Published properties ----------------------------------------------------

enum class TTypeKind : uint8_t { Integer, Int64, String, Enumeration, Set, Class };

struct TTypeInfo {
    std::u16string_view Name;
    TTypeKind Kind;
    // Enumerations: the names of the values from 0 up. Sets: the names of the
    // element bits from bit 0 up.
    std::span<const std::u16string_view> ValueNames = {};
};

extern const TTypeInfo Int32TypeInfo;
extern const TTypeInfo Int64TypeInfo;
extern const TTypeInfo StringTypeInfo;

struct TPropInfo {
    std::u16string_view Name;
    const TTypeInfo* Type;
    // Both take the instance and a pointer to a value of the property's type.
    void (*Read)(const TPersistent& instance, void* value);
    void (*Write)(TPersistent& instance, const void* value);
};

struct TPublishedPropertyTable {
    const TPublishedPropertyTable* Parent;  // the ancestor's table; null at the root
    std::span<const TPropInfo> Properties;

    // The property of that name (ignoring case), own ones before inherited ones.
    const TPropInfo* Find(std::u16string_view name) const;
};

namespace PropertyAccess {

template <class Member> struct TMemberOf;
template <class Class, class Member> struct TMemberOf<Member Class::*> { using Type = Class; };

template <auto Get>
using TClassOf = typename TMemberOf<decltype(Get)>::Type;

template <auto Get>
using TValueOf = std::remove_cvref_t<std::invoke_result_t<decltype(Get), const TClassOf<Get>&>>;

template <auto Get>
void Read(const TPersistent& instance, void* value) {
    *static_cast<TValueOf<Get>*>(value) = std::invoke(Get, static_cast<const TClassOf<Get>&>(instance));
}

template <auto Get, auto Set>
void Write(TPersistent& instance, const void* value) {
    auto& target = static_cast<TClassOf<Set>&>(instance);
    const auto& v = *static_cast<const TValueOf<Get>*>(value);
    if constexpr (std::is_member_object_pointer_v<decltype(Set)>) target.*Set = v;
    else std::invoke(Set, target, v);
}

} // namespace PropertyAccess

// A table entry from a reader and a writer, each a field (read or written
// directly) or a member function: PublishedProperty<&TPen::Color,
// &TPen::SetColor>(u"Color", ColorTypeInfo).
template <auto Get, auto Set>
constexpr TPropInfo PublishedProperty(std::u16string_view name, const TTypeInfo& type) {
    return {name, &type, &PropertyAccess::Read<Get>, &PropertyAccess::Write<Get, Set>};
}

// ---- TPersistent ---------------------------------------------------------------

class TPersistent : public TObject {
public:
    // Copies the state of `source`. Overrides take the sources they know and
    // pass the others on; here the source is asked to copy itself (AssignTo).
    virtual void Assign(TPersistent* source);
    // Nothing here; a component's owner.
    virtual TRef<TPersistent> GetOwner() const;

    static const TPublishedPropertyTable PublishedPropertyTable;
    virtual const TPublishedPropertyTable& PublishedProperties() const { return PublishedPropertyTable; }

protected:
    virtual void AssignTo(TPersistent* dest);
};

// The base of the graphics that are also reached through interfaces.
class TInterfacedPersistent : public TPersistent {};

// ---- TComponent ----------------------------------------------------------------

class TComponent : public TPersistent {
public:
    enum TOperation : int32_t { opInsert = 0, opRemove = 1 };

    // Bits of ComponentState.
    static constexpr uint16_t csLoading = 0x01;
    static constexpr uint16_t csDestroying = 0x08;
    static constexpr uint16_t csUpdating = 0x40;
    static constexpr uint16_t csFreeNotification = 0x100;

    // With an owner the new component joins its owned components and the
    // owner is notified (opInsert) before the derived constructors run. Until
    // its creator takes the first counted reference the component has none,
    // so a Notification override must not take and drop the only one.
    explicit TComponent(TComponent* owner);
    // Tells the linked partners, gives up the owned components and leaves
    // the owner. It runs after the derived destructors, so the partners and
    // the owner see the going component as a plain TComponent.
    ~TComponent() override;

    TComponent* Owner() const noexcept { return owner_; }
    const std::u16string& Name() const noexcept { return name_; }
    int64_t Tag = 0;  // free for the application
    // The owned components as plain pointers in insertion order; null while there are none.
    const TList* Components() const noexcept { return components_.Get(); }
    // The components linked by FreeNotification; null while there are none.
    const TList* FreeNotifies() const noexcept { return freeNotifies_.Get(); }
    uint16_t ComponentState() const noexcept { return componentState_; }

    TRef<TPersistent> GetOwner() const override;

    // Makes this component the owner of `component`, taking it from its
    // previous owner.
    void InsertComponent(TComponent* component);
    // Nothing for a component owned elsewhere.
    void RemoveComponent(TComponent* component);
    // The first owned component of that name (ignoring case); null for an empty name.
    TRef<TComponent> FindComponent(std::u16string_view name) const;
    // Gives up every owned component, which then lives only as long as other
    // references to it.
    void DestroyComponents();

    // Links two components so that each is notified (opRemove) when the
    // other goes. Siblings are notified through their owner and get no link.
    void FreeNotification(TComponent* component);
    void RemoveFreeNotifications(TComponent* component);

    // Called once the component is completely built (a form and its controls).
    void FinishLoading();

    // The writer of the published Name: checks the new name against the
    // owner's other components, then renames.
    virtual void ChangeName(const std::u16string& newName);
    // Told when `component` was inserted into or is being removed from the
    // tree; overrides call this one, which drops the free-notification links
    // to a removed component and passes the news on to the owned components.
    virtual void Notification(TComponent* component, TOperation operation);
    virtual void Loaded();
    virtual void Updating();
    virtual void Updated();

    static const TPublishedPropertyTable PublishedPropertyTable;
    const TPublishedPropertyTable& PublishedProperties() const override { return PublishedPropertyTable; }

protected:
    // Asked of a component before it joins `owner`; asks the owner in turn.
    virtual void CheckContainer(TComponent* owner);
    // Asked of an owner before `component` joins it.
    virtual void CheckInsert(TComponent* component);
    // Raises EComponentError when an owned component would take the name of
    // another one.
    virtual void CheckRename(TComponent* component, const std::u16string& curName,
                             const std::u16string& newName);

private:
    void Insert(TComponent* component);
    void Remove(TComponent* component);
    void RemoveFreeNotification(TComponent* component);
    void SetDestroyingState();
    // The destructor's work: also run when the constructor's insert fails.
    void Teardown() noexcept;

    // Not counted: an owner's list holds plain pointers, and insert and
    // remove keep both sides consistent.
    TComponent* owner_ = nullptr;
    std::u16string name_;
    TRef<TList> components_;
    TRef<TList> freeNotifies_;
    uint16_t componentState_ = 0;
};

using TList__TComponent = TList__T<TComponent>;

// ---- Component events ------------------------------------------------------

using TNotifyEvent = std::function<void(TObject* sender)>;

// An event handler that runs on behalf of a component (a control's command
// object): Component names it for the length of the call.
class TComponentEventHolder : public TObject {
public:
    TRef<TComponent> Component;
    TNotifyEvent OnEvent;
};

// Runs the holder's handler with the holder as sender and `component` set,
// and clears Component again, also when the handler raises.
void FireEventWithComponent(TComponentEventHolder& holder, TComponent* component);

} // namespace System
