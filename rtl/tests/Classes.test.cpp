#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "System.Remainder.Classes.h"
#include "System.Remainder.Exceptions.h"
#include "TestSupport.h"

using namespace System;

namespace {

// The names the journal gives to probes. A component that is still being
// built (its owner is told before its own constructor has run) is "new"; a
// destroyed one keeps its name until its memory is taken again.
std::map<const void*, std::string>& ProbeIds() {
    static std::map<const void*, std::string> ids;
    return ids;
}

// Records the hooks and notifications it receives in a shared journal.
struct TProbe : TComponent {
    TProbe(TComponent* owner, const char* id, std::vector<std::string>* journal)
        : TComponent(owner), id_(id), journal_(journal) {
        ProbeIds()[this] = id_;
    }
    ~TProbe() override { Log("destroyed"); }
    static void* operator new(size_t size) {
        void* memory = ::operator new(size);
        ProbeIds().erase(memory);
        return memory;
    }
    static void operator delete(void* memory) { ::operator delete(memory); }

    void Log(const std::string& line) const {
        if (journal_) journal_->push_back(id_ + ": " + line);
    }
    static std::string IdOf(const TComponent* c) {
        if (!c) return "nil";
        const auto found = ProbeIds().find(c);
        return found == ProbeIds().end() ? "new" : found->second;
    }

    void Notification(TComponent* component, TOperation operation) override {
        Log(std::string(operation == opInsert ? "inserted " : "removing ") + IdOf(component));
        if (keepsLinks) return;
        if (onNotification) onNotification(component, operation);
        TComponent::Notification(component, operation);
    }
    void CheckInsert(TComponent* component) override {
        Log("check insert " + IdOf(component));
        if (refusesChildren) throw EComponentError(u"recusado");
    }
    void Loaded() override {
        loadingSeen = (ComponentState() & csLoading) != 0;
        TComponent::Loaded();
    }

    std::string id_;
    std::vector<std::string>* journal_;
    bool keepsLinks = false;
    bool refusesChildren = false;
    bool loadingSeen = false;
    std::function<void(TComponent*, TOperation)> onNotification;
};

TRef<TProbe> Probe(TComponent* owner, const char* id, std::vector<std::string>* journal = nullptr) {
    return MakeRef<TProbe>(owner, id, journal);
}

TRef<TProbe> Named(TComponent* owner, const char16_t* name) {
    TRef<TProbe> c = Probe(owner, "x");
    c->ChangeName(name);
    return c;
}

std::vector<std::string> OwnedIds(const TComponent& owner) {
    std::vector<std::string> ids;
    if (const TList* list = owner.Components())
        for (int32_t i = 0; i < list->Count(); ++i) ids.push_back(TProbe::IdOf(static_cast<TComponent*>(list->Get(i))));
    return ids;
}

} // namespace

// ---- TPersistent -------------------------------------------------------------

TEST(Persistent, AssignFromNothingOrAnUnknownSourceRaises) {
    TPersistent target, source;
    EXPECT_EQ(MessageOf<EListError>([&] { target.Assign(nullptr); }), u"Assign de origem nil");
    EXPECT_EQ(MessageOf<EListError>([&] { target.Assign(&source); }), u"AssignTo não implementado nesta classe");
    EXPECT_FALSE(target.GetOwner());
}

// ---- Names -------------------------------------------------------------------

TEST(ComponentNames, RenameRules) {
    const struct {
        const char16_t* other;  // the sibling's name
        const char16_t* from;
        const char16_t* to;
        bool hasOwner;
        const char16_t* error;  // empty: the rename succeeds
    } cases[] = {
        {u"Beta", u"Alpha", u"Beta", true, u"já existe um componente chamado \"Beta\""},
        {u"Beta", u"Alpha", u"bETA", true, u"já existe um componente chamado \"bETA\""},
        {u"Beta", u"Alpha", u"ALPHA", true, u""},   // its own name in other letters
        {u"Beta", u"Alpha", u"Gamma", true, u""},
        {u"", u"Alpha", u"", true, u""},            // empty names never clash
        {u"Beta", u"Alpha", u"Beta", false, u""},   // no owner, nothing to check
        {u"Ação", u"x", u"AÇÃO", true, u"já existe um componente chamado \"AÇÃO\""},
    };
    for (const auto& c : cases) {
        TRef<TComponent> owner = MakeRef<TComponent>(nullptr);
        TRef<TProbe> other = Named(owner.Get(), c.other);
        TRef<TProbe> renamed = Named(c.hasOwner ? owner.Get() : nullptr, c.from);
        const std::u16string error = MessageOf<EComponentError>([&] { renamed->ChangeName(c.to); });
        const auto label = &c - cases;
        if (*c.error) {
            EXPECT_EQ(error, c.error) << label;
            EXPECT_EQ(renamed->Name(), c.from) << label;  // a failed rename keeps the old name
        } else {
            EXPECT_EQ(error, u"(nothing raised)") << label;
            EXPECT_EQ(renamed->Name(), c.to) << label;
        }
    }
}

TEST(ComponentNames, DuplicatesMayBeInsertedButNotRenamedBackTo) {
    TRef<TComponent> owner = MakeRef<TComponent>(nullptr);
    TRef<TProbe> a = Named(nullptr, u"Same");
    TRef<TProbe> b = Named(nullptr, u"Same");
    owner->InsertComponent(a.Get());
    owner->InsertComponent(b.Get());
    EXPECT_EQ(owner->Components()->Count(), 2);
    b->ChangeName(u"Other");
    EXPECT_EQ(MessageOf<EComponentError>([&] { b->ChangeName(u"same"); }),
              u"já existe um componente chamado \"same\"");
}

TEST(ComponentNames, FindComponentIgnoresCaseAndNeverFindsTheEmptyName) {
    TRef<TComponent> owner = MakeRef<TComponent>(nullptr);
    EXPECT_FALSE(owner->FindComponent(u"a"));  // no list at all
    TRef<TProbe> unnamed = Named(owner.Get(), u"");
    TRef<TProbe> first = Named(owner.Get(), u"Botão");
    EXPECT_FALSE(owner->FindComponent(u""));
    EXPECT_EQ(owner->FindComponent(u"BOTÃO").Get(), first.Get());
    EXPECT_FALSE(owner->FindComponent(u"Botã"));
}

// ---- Owners ------------------------------------------------------------------

TEST(ComponentOwners, InsertRunsTheHooksInOrderAndMovesFromThePreviousOwner) {
    std::vector<std::string> journal;
    TRef<TProbe> first = Probe(nullptr, "first", &journal);
    TRef<TProbe> second = Probe(nullptr, "second", &journal);
    TRef<TProbe> child = Probe(first.Get(), "child", &journal);
    EXPECT_EQ(child->Owner(), first.Get());
    EXPECT_EQ(child->GetOwner().Get(), first.Get());
    journal.clear();

    second->InsertComponent(child.Get());
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "second: check insert child",
                           "first: removing child",
                           "child: removing child",  // owned components hear it too
                           "second: inserted child",
                           "child: inserted child",
                       }));
    EXPECT_EQ(child->Owner(), second.Get());
    EXPECT_EQ(first->Components(), nullptr);  // emptied lists are released
    EXPECT_EQ(OwnedIds(*second), std::vector<std::string>{"child"});
}

TEST(ComponentOwners, ARefusedInsertLeavesTheComponentOutside) {
    TRef<TProbe> owner = Probe(nullptr, "owner");
    owner->refusesChildren = true;
    TRef<TProbe> loose = Probe(nullptr, "loose");
    EXPECT_EQ(MessageOf<EComponentError>([&] { owner->InsertComponent(loose.Get()); }), u"recusado");
    EXPECT_EQ(loose->Owner(), nullptr);
    EXPECT_EQ(owner->Components(), nullptr);
    // Created with that owner: the constructor raises and nothing stays behind.
    EXPECT_EQ(MessageOf<EComponentError>([&] { Probe(owner.Get(), "never"); }), u"recusado");
    EXPECT_EQ(owner->Components(), nullptr);
}

TEST(ComponentOwners, AConstructorThatRaisesAfterJoiningLeavesItsOwner) {
    struct TFailing : TProbe {
        TFailing(TComponent* owner, std::vector<std::string>* journal) : TProbe(owner, "failing", journal) {
            throw EComponentError(u"falhou");
        }
    };
    std::vector<std::string> journal;
    TRef<TProbe> owner = Probe(nullptr, "owner", &journal);
    EXPECT_EQ(MessageOf<EComponentError>([&] { MakeRef<TFailing>(owner.Get(), &journal); }), u"falhou");
    EXPECT_EQ(owner->Components(), nullptr);
    EXPECT_EQ(journal, (std::vector<std::string>{"owner: check insert new", "owner: inserted new",
                                                 "failing: destroyed", "owner: removing failing"}));
}

TEST(ComponentOwners, NotificationsReachOwnedComponentsLastFirstAndSkipRemovedOnes) {
    std::vector<std::string> journal;
    TRef<TProbe> owner = Probe(nullptr, "owner", &journal);
    TRef<TProbe> a = Probe(owner.Get(), "a", &journal);
    TRef<TProbe> b = Probe(owner.Get(), "b", &journal);
    TRef<TProbe> c = Probe(owner.Get(), "c", &journal);
    TRef<TProbe> stranger = Probe(nullptr, "stranger");
    // b takes itself and c out when it hears the news: a still gets it once.
    bool done = false;
    b->onNotification = [&](TComponent*, TComponent::TOperation) {
        if (std::exchange(done, true)) return;
        owner->RemoveComponent(c.Get());
        owner->RemoveComponent(b.Get());
    };
    journal.clear();
    owner->Notification(stranger.Get(), TComponent::opInsert);
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "owner: inserted stranger",
                           "c: inserted stranger",
                           "b: inserted stranger",
                           "owner: removing c",
                           "c: removing c", "b: removing c", "a: removing c",
                           "owner: removing b",
                           "b: removing b", "a: removing b",
                           "a: inserted stranger",
                       }));
    EXPECT_EQ(OwnedIds(*owner), std::vector<std::string>{"a"});
}

TEST(ComponentOwners, DestroyingAnOwnerKeepsChildrenThatOthersStillHold) {
    std::vector<std::string> journal;
    TRef<TProbe> kept;
    {
        TRef<TProbe> owner = Probe(nullptr, "owner", &journal);
        Probe(owner.Get(), "dropped", &journal);  // nobody else holds it: gone at once
        EXPECT_NE(std::find(journal.begin(), journal.end(), "dropped: destroyed"), journal.end());
        EXPECT_EQ(owner->Components(), nullptr);
        Probe(owner.Get(), "held", &journal)->Tag = 1;
        kept = Probe(owner.Get(), "kept", &journal);
        journal.clear();
    }
    EXPECT_EQ(journal, (std::vector<std::string>{"owner: destroyed"}));
    ASSERT_TRUE(kept);
    EXPECT_EQ(kept->Owner(), nullptr);
    EXPECT_TRUE(kept->ComponentState() & TComponent::csDestroying);
    EXPECT_EQ(kept->RefCount(), 1);
}

TEST(ComponentOwners, DestroyComponentsNotifiesOnlyForChildrenWithFreeNotifications) {
    std::vector<std::string> journal;
    TRef<TProbe> owner = Probe(nullptr, "owner", &journal);
    TRef<TProbe> plain = Probe(owner.Get(), "plain", &journal);
    TRef<TProbe> linked = Probe(owner.Get(), "linked", &journal);
    TRef<TProbe> sibling = Probe(owner.Get(), "sibling", &journal);
    // Siblings that ask for each other get the bit and no list.
    linked->FreeNotification(sibling.Get());
    sibling->FreeNotification(linked.Get());
    EXPECT_EQ(linked->FreeNotifies(), nullptr);
    EXPECT_EQ(sibling->FreeNotifies(), nullptr);
    EXPECT_TRUE(linked->ComponentState() & TComponent::csFreeNotification);
    EXPECT_TRUE(sibling->ComponentState() & TComponent::csFreeNotification);
    journal.clear();
    owner->DestroyComponents();
    EXPECT_EQ(journal, (std::vector<std::string>{
                           "owner: removing sibling", "sibling: removing sibling",
                           "linked: removing sibling", "plain: removing sibling",
                           "owner: removing linked", "linked: removing linked", "plain: removing linked",
                       }));
    EXPECT_EQ(owner->Components(), nullptr);
    for (TProbe* c : {plain.Get(), linked.Get(), sibling.Get()}) EXPECT_EQ(c->Owner(), nullptr);
}

// ---- Free notifications ------------------------------------------------------

TEST(FreeNotifications, LinkAcrossOwnersAndDropBothSidesOnDestroy) {
    std::vector<std::string> journal;
    TRef<TProbe> leftOwner = Probe(nullptr, "leftOwner");
    TRef<TProbe> rightOwner = Probe(nullptr, "rightOwner");
    TRef<TProbe> watcher = Probe(leftOwner.Get(), "watcher", &journal);
    TRef<TProbe> watched = Probe(rightOwner.Get(), "watched", &journal);
    watcher->FreeNotification(watched.Get());
    watcher->FreeNotification(watched.Get());  // linked once
    ASSERT_NE(watcher->FreeNotifies(), nullptr);
    EXPECT_EQ(watcher->FreeNotifies()->Count(), 1);
    EXPECT_EQ(watched->FreeNotifies()->Count(), 1);
    journal.clear();
    watched = nullptr;
    EXPECT_EQ(journal, (std::vector<std::string>{"watched: destroyed", "watcher: removing watched"}));
    EXPECT_EQ(watcher->FreeNotifies(), nullptr);
    EXPECT_TRUE(watcher->ComponentState() & TComponent::csFreeNotification);

    // A link between two top-level components works the same way.
    TRef<TProbe> a = Probe(nullptr, "a", &journal);
    TRef<TProbe> b = Probe(nullptr, "b", &journal);
    a->FreeNotification(b.Get());
    a->RemoveFreeNotifications(b.Get());
    EXPECT_EQ(a->FreeNotifies(), nullptr);
    EXPECT_EQ(b->FreeNotifies(), nullptr);
}

TEST(FreeNotifications, APartnerThatKeepsTheLinkCannotHangTheDestructor) {
    std::vector<std::string> journal;
    TRef<TProbe> stubborn = Probe(nullptr, "stubborn", &journal);
    stubborn->keepsLinks = true;
    TRef<TProbe> going = Probe(nullptr, "going", &journal);
    going->FreeNotification(stubborn.Get());
    journal.clear();
    going = nullptr;
    EXPECT_EQ(journal, (std::vector<std::string>{"going: destroyed", "stubborn: removing going"}));
    EXPECT_EQ(stubborn->FreeNotifies(), nullptr);
}

// ---- Loading, events, published properties -----------------------------------

TEST(ComponentLoading, FinishLoadingCallsLoadedWithTheLoadingBitSet) {
    TRef<TProbe> c = Probe(nullptr, "c");
    c->FinishLoading();
    EXPECT_TRUE(c->loadingSeen);
    EXPECT_FALSE(c->ComponentState() & TComponent::csLoading);
    c->Updating();
    EXPECT_TRUE(c->ComponentState() & TComponent::csUpdating);
    c->Updated();
    EXPECT_FALSE(c->ComponentState() & TComponent::csUpdating);
}

TEST(ComponentEvents, TheComponentIsSetForTheCallOnly) {
    TRef<TComponentEventHolder> holder = MakeRef<TComponentEventHolder>();
    TRef<TProbe> control = Probe(nullptr, "control");
    TObject* sender = nullptr;
    TComponent* during = nullptr;
    holder->OnEvent = [&](TObject* s) {
        sender = s;
        during = holder->Component.Get();
        throw EComponentError(u"no manipulador");
    };
    EXPECT_EQ(MessageOf<EComponentError>([&] { FireEventWithComponent(*holder, control.Get()); }),
              u"no manipulador");
    EXPECT_EQ(sender, holder.Get());
    EXPECT_EQ(during, control.Get());
    EXPECT_FALSE(holder->Component);
    EXPECT_EQ(control->RefCount(), 1);
}

namespace {

enum class TShade : uint8_t { Light, Dark };
constexpr std::u16string_view kShadeNames[] = {u"shLight", u"shDark"};
const TTypeInfo ShadeTypeInfo{u"TShade", TTypeKind::Enumeration, kShadeNames};

// A component with a property of its own, declared the way the graphics
// classes declare theirs.
struct TShaded : TComponent {
    using TComponent::TComponent;
    TShade Shade() const { return shade_; }
    void SetShade(TShade value) {
        if (value != shade_) ++changes;
        shade_ = value;
    }
    static const TPublishedPropertyTable PublishedPropertyTable;
    const TPublishedPropertyTable& PublishedProperties() const override { return PublishedPropertyTable; }
    TShade shade_ = TShade::Light;
    int changes = 0;
};

constexpr TPropInfo kShadedProperties[] = {
    PublishedProperty<&TShaded::Shade, &TShaded::SetShade>(u"Shade", ShadeTypeInfo),
};
const TPublishedPropertyTable TShaded::PublishedPropertyTable{&TComponent::PublishedPropertyTable, kShadedProperties};

} // namespace

TEST(PublishedProperties, ReachedByNameThroughTheClassAndItsAncestors) {
    TRef<TComponent> owner = MakeRef<TComponent>(nullptr);
    TRef<TShaded> shaded = MakeRef<TShaded>(owner.Get());
    TRef<TComponent> sibling = Named(owner.Get(), u"Taken");
    const TPublishedPropertyTable& table = shaded->PublishedProperties();

    const TPropInfo* shade = table.Find(u"shade");
    ASSERT_NE(shade, nullptr);
    EXPECT_EQ(shade->Type->Kind, TTypeKind::Enumeration);
    EXPECT_EQ(shade->Type->ValueNames[1], u"shDark");
    const TShade dark = TShade::Dark;
    shade->Write(*shaded, &dark);
    TShade read = TShade::Light;
    shade->Read(*shaded, &read);
    EXPECT_EQ(read, TShade::Dark);
    EXPECT_EQ(shaded->changes, 1);

    const TPropInfo* tag = table.Find(u"Tag");
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->Type, &Int64TypeInfo);
    const int64_t big = int64_t(1) << 40;
    tag->Write(*shaded, &big);
    EXPECT_EQ(shaded->Tag, big);

    // The Name writer renames through ChangeName, with its checks.
    const TPropInfo* name = table.Find(u"NAME");
    ASSERT_NE(name, nullptr);
    const std::u16string taken = u"taken", free = u"Livre";
    EXPECT_EQ(MessageOf<EComponentError>([&] { name->Write(*shaded, &taken); }),
              u"já existe um componente chamado \"taken\"");
    name->Write(*shaded, &free);
    std::u16string readName;
    name->Read(*shaded, &readName);
    EXPECT_EQ(readName, u"Livre");

    EXPECT_EQ(table.Find(u"Color"), nullptr);
    EXPECT_EQ(owner->PublishedProperties().Find(u"Shade"), nullptr);
    EXPECT_EQ(TPersistent::PublishedPropertyTable.Find(u"Name"), nullptr);
}

TEST(TypedComponentList, HoldsComponentsAlive) {
    std::vector<std::string> journal;
    TRef<TList__TComponent> list = MakeRef<TList__TComponent>();
    list->Add(Probe(nullptr, "held", &journal));
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(list->Get(0)->RefCount(), 2);
    list->Delete(0);
    EXPECT_EQ(journal, std::vector<std::string>{"held: destroyed"});
}
