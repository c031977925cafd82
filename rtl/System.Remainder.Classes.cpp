#include "System.Remainder.Classes.h"

#include <algorithm>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Text.h"

namespace System {

// ---- Published properties ----------------------------------------------------

const TTypeInfo Int32TypeInfo{u"Integer", TTypeKind::Integer};
const TTypeInfo Int64TypeInfo{u"Int64", TTypeKind::Int64};
const TTypeInfo StringTypeInfo{u"string", TTypeKind::String};

const TPropInfo* TPublishedPropertyTable::Find(std::u16string_view name) const {
    for (const TPublishedPropertyTable* table = this; table; table = table->Parent)
        for (const TPropInfo& prop : table->Properties)
            if (SameText(prop.Name, name)) return &prop;
    return nullptr;
}

// ---- TPersistent ---------------------------------------------------------------

const TPublishedPropertyTable TPersistent::PublishedPropertyTable{nullptr, {}};

void TPersistent::Assign(TPersistent* source) {
    if (!source) throw EListError(u"Assign de origem nil");
    source->AssignTo(this);
}

void TPersistent::AssignTo(TPersistent*) {
    throw EListError(u"AssignTo não implementado nesta classe");
}

TRef<TPersistent> TPersistent::GetOwner() const {
    return nullptr;
}

// ---- TComponent ----------------------------------------------------------------

namespace {

constexpr TPropInfo kComponentProperties[] = {
    PublishedProperty<&TComponent::Name, &TComponent::ChangeName>(u"Name", StringTypeInfo),
    PublishedProperty<&TComponent::Tag, &TComponent::Tag>(u"Tag", Int64TypeInfo),
};

TComponent* ComponentAt(const TList& list, int32_t index) {
    return static_cast<TComponent*>(list.Get(index));
}

} // namespace

const TPublishedPropertyTable TComponent::PublishedPropertyTable{&TPersistent::PublishedPropertyTable,
                                                                 kComponentProperties};

TComponent::TComponent(TComponent* owner) {
    if (!owner) return;
    try {
        owner->InsertComponent(this);
    } catch (...) {
        // No destructor runs for a constructor that raised: leave the owner
        // and any partner linked by the owner's notification now.
        Teardown();
        throw;
    }
}

TComponent::~TComponent() {
    Teardown();
}

void TComponent::Teardown() noexcept {
    // References that notifications take and drop from here on must not
    // free the component again.
    EnterDestruction();
    SetDestroyingState();
    while (freeNotifies_ && freeNotifies_->Count() > 0) {
        TComponent* partner = ComponentAt(*freeNotifies_, freeNotifies_->Count() - 1);
        partner->Notification(this, opRemove);
        // An override that skips the inherited Notification keeps the link:
        // drop it here, or the loop would never end and the partner would
        // later notify a freed component. A partner that unlinked itself is
        // not touched again: it may be gone by now.
        if (freeNotifies_ && freeNotifies_->IndexOf(partner) >= 0) RemoveFreeNotifications(partner);
    }
    freeNotifies_ = nullptr;
    DestroyComponents();
    if (owner_) owner_->RemoveComponent(this);
}

void TComponent::SetDestroyingState() {
    componentState_ |= csDestroying;
    if (!components_) return;
    for (int32_t i = 0; i < components_->Count(); ++i) {
        TComponent* child = ComponentAt(*components_, i);
        if (!(child->componentState_ & csDestroying)) child->SetDestroyingState();
    }
}

TRef<TPersistent> TComponent::GetOwner() const {
    return owner_;
}

void TComponent::InsertComponent(TComponent* component) {
    if (!component) return;
    component->CheckContainer(this);
    if (component->owner_) component->owner_->RemoveComponent(component);
    CheckRename(component, u"", component->name_);
    Insert(component);
    Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
    if (!component || component->owner_ != this) return;
    CheckRename(component, component->name_, u"");
    Notification(component, opRemove);
    Remove(component);
}

void TComponent::Insert(TComponent* component) {
    if (!components_) components_ = MakeRef<TList>();
    components_->Add(component);
    component->owner_ = this;
}

void TComponent::Remove(TComponent* component) {
    component->owner_ = nullptr;
    const int32_t index = components_->IndexOf(component);
    if (index >= 0) components_->Delete(index);
    if (components_->Count() == 0) components_ = nullptr;
}

TRef<TComponent> TComponent::FindComponent(std::u16string_view name) const {
    if (name.empty() || !components_) return nullptr;
    for (int32_t i = 0; i < components_->Count(); ++i) {
        TComponent* c = ComponentAt(*components_, i);
        if (SameText(c->name_, name)) return c;
    }
    return nullptr;
}

void TComponent::DestroyComponents() {
    while (components_) {
        // Held for the step, so that the component goes only when this was
        // the last reference.
        const TRef<TComponent> last = ComponentAt(*components_, components_->Count() - 1);
        if (last->componentState_ & csFreeNotification) RemoveComponent(last.Get());
        else Remove(last.Get());
    }
}

void TComponent::FreeNotification(TComponent* component) {
    if (!component) return;
    if (!owner_ || component->owner_ != owner_) {
        if (!freeNotifies_) freeNotifies_ = MakeRef<TList>();
        if (freeNotifies_->IndexOf(component) < 0) {
            freeNotifies_->Add(component);
            component->FreeNotification(this);
        }
    }
    componentState_ |= csFreeNotification;
}

void TComponent::RemoveFreeNotification(TComponent* component) {
    if (!freeNotifies_) return;
    const int32_t last = freeNotifies_->Count() - 1;
    const int32_t index = freeNotifies_->Get(last) == component ? last : freeNotifies_->IndexOf(component);
    if (index >= 0) freeNotifies_->Delete(index);
    if (freeNotifies_->Count() == 0) freeNotifies_ = nullptr;
}

void TComponent::RemoveFreeNotifications(TComponent* component) {
    if (!component) return;
    component->RemoveFreeNotification(this);
    RemoveFreeNotification(component);
}

void TComponent::FinishLoading() {
    componentState_ |= csLoading;
    Loaded();
}

void TComponent::Loaded() {
    componentState_ &= uint16_t(~csLoading);
}

void TComponent::Updating() {
    componentState_ |= csUpdating;
}

void TComponent::Updated() {
    componentState_ &= uint16_t(~csUpdating);
}

void TComponent::ChangeName(const std::u16string& newName) {
    if (newName == name_) return;
    if (owner_) owner_->CheckRename(this, name_, newName);
    name_ = newName;
}

void TComponent::CheckContainer(TComponent* owner) {
    owner->CheckInsert(this);
}

void TComponent::CheckInsert(TComponent*) {}

void TComponent::CheckRename(TComponent* component, const std::u16string& curName,
                             const std::u16string& newName) {
    if (component && component->owner_ == this && !SameText(curName, newName) && FindComponent(newName))
        throw EComponentError(u"já existe um componente chamado " + Quoted(newName));
}

void TComponent::Notification(TComponent* component, TOperation operation) {
    if (operation == opRemove && component) RemoveFreeNotifications(component);
    // From the last owned component to the first; a notification may remove
    // components, so the position is checked against the list again.
    for (int32_t i = components_ ? components_->Count() - 1 : -1; i >= 0;) {
        ComponentAt(*components_, i)->Notification(component, operation);
        if (!components_) break;
        i = std::min(i, components_->Count()) - 1;
    }
}

// ---- Component events ------------------------------------------------------

void FireEventWithComponent(TComponentEventHolder& holder, TComponent* component) {
    holder.Component = component;
    struct TClear {
        TComponentEventHolder& Holder;
        ~TClear() { Holder.Component = nullptr; }
    } clear{holder};
    if (holder.OnEvent) holder.OnEvent(&holder);
}

} // namespace System
