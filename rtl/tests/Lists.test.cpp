#include <gtest/gtest.h>

#include <functional>
#include <vector>

#include "System.Remainder.Exceptions.h"
#include "System.Remainder.Lists.h"
#include "TestSupport.h"

using namespace System;

namespace {

struct TProbe : TObject {
    explicit TProbe(std::vector<int>* destroyed, int id) : destroyed_(destroyed), id_(id) {}
    ~TProbe() override { destroyed_->push_back(id_); }
    std::vector<int>* destroyed_;
    int id_;
};

using TProbeList = TList__T<TProbe>;

} // namespace

TEST(PointerList, GrowsFromEightByDoublingAndClearReleasesStorage) {
    TList list;
    int items[65];
    const struct { int added; int32_t capacity; } steps[] = {{1, 8}, {8, 8}, {9, 16}, {17, 32}, {33, 64}, {65, 128}};
    int added = 0;
    for (const auto& step : steps) {
        while (added < step.added) list.Add(&items[added++]);
        EXPECT_EQ(list.Count(), step.added);
        EXPECT_EQ(list.Capacity(), step.capacity) << step.added;
    }
    EXPECT_EQ(list.Get(64), &items[64]);
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Capacity(), 0);
}

TEST(PointerList, IndexErrorsCarryNoIndex) {
    TList list;
    int a = 0;
    EXPECT_EQ(MessageOf([&] { list.Get(0); }), u"índice fora da lista");
    EXPECT_EQ(MessageOf([&] { list.Delete(-1); }), u"índice fora da lista");
    list.Add(&a);
    EXPECT_EQ(MessageOf([&] { list.Get(1); }), u"índice fora da lista");
    EXPECT_EQ(MessageOf([&] { list.Delete(1); }), u"índice fora da lista");
    EXPECT_EQ(list.Count(), 1);
}

TEST(PointerList, IndexOfFindsTheFirstAndDeleteClosesTheGap) {
    TList list;
    int a, b, c;
    for (void* p : {(void*)&a, (void*)&b, (void*)&a, (void*)&c}) list.Add(p);
    EXPECT_EQ(list.IndexOf(&a), 0);
    EXPECT_EQ(list.IndexOf(&c), 3);
    EXPECT_EQ(list.IndexOf(nullptr), -1);
    list.Delete(0);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Get(0), &b);
    EXPECT_EQ(list.Get(1), &a);
    EXPECT_EQ(list.Get(2), &c);
    EXPECT_EQ(list.IndexOf(&a), 1);
}

TEST(PointerList, AssignCopiesClearsOrKeepsItself) {
    int a, b;
    TList source, target;
    source.Add(&a);
    source.Add(&b);
    target.Add(&b);
    target.Assign(&source);
    ASSERT_EQ(target.Count(), 2);
    EXPECT_EQ(target.Get(0), &a);
    EXPECT_EQ(target.Get(1), &b);

    // A list assigned to itself keeps its pointers.
    target.Assign(&target);
    EXPECT_EQ(target.Count(), 2);

    target.Assign(nullptr);
    EXPECT_EQ(target.Count(), 0);
    EXPECT_EQ(target.Capacity(), 0);
}

TEST(TypedList, HoldsACountedReferenceAndReportsAdditions) {
    std::vector<int> destroyed;
    TProbeList list;
    std::vector<std::pair<int, TListNotification>> seen;
    list.OnNotify = [&](TProbeList& sender, TProbe* item, TListNotification action) {
        EXPECT_EQ(&sender, &list);
        seen.push_back({item->id_, action});
    };
    for (int id = 1; id <= 9; ++id) list.Add(MakeRef<TProbe>(&destroyed, id));
    EXPECT_TRUE(destroyed.empty());
    EXPECT_EQ(list.Count(), 9);
    EXPECT_EQ(list.Capacity(), 16);
    ASSERT_EQ(seen.size(), 9u);
    EXPECT_EQ(seen[8], std::make_pair(9, TListNotification::Added));
    EXPECT_EQ(list.Get(8)->id_, 9);
    EXPECT_EQ(list.IndexOf(list.Get(3).Get()), 3);
    EXPECT_EQ(list.IndexOf(nullptr), -1);
}

TEST(TypedList, DeleteNotifiesWhileTheElementStillLives) {
    std::vector<int> destroyed;
    TProbeList list;
    list.Add(MakeRef<TProbe>(&destroyed, 1));
    list.Add(MakeRef<TProbe>(&destroyed, 2));
    list.Add(MakeRef<TProbe>(&destroyed, 3));
    int notified = 0;
    list.OnNotify = [&](TProbeList& sender, TProbe* item, TListNotification action) {
        EXPECT_EQ(action, TListNotification::Deleted);
        EXPECT_EQ(item->id_, 2);
        EXPECT_TRUE(destroyed.empty());  // the list alone held it, and it is still alive
        EXPECT_EQ(sender.Count(), 2);    // the list is already closed up
        ++notified;
    };
    list.Delete(1);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(destroyed, std::vector<int>{2});
    EXPECT_EQ(list.Get(0)->id_, 1);
    EXPECT_EQ(list.Get(1)->id_, 3);
}

TEST(TypedList, AnElementTakenWithGetOutlivesItsDeletion) {
    std::vector<int> destroyed;
    TProbeList list;
    list.Add(MakeRef<TProbe>(&destroyed, 7));
    {
        const TRef<TProbe> kept = list.Get(0);
        list.Delete(0);
        EXPECT_EQ(list.Count(), 0);
        EXPECT_TRUE(destroyed.empty());
        EXPECT_EQ(kept->RefCount(), 1);
    }
    EXPECT_EQ(destroyed, std::vector<int>{7});
}

TEST(TypedList, IndexErrorsChangeNothingAndNotifyNothing) {
    std::vector<int> destroyed;
    TProbeList list;
    list.Add(MakeRef<TProbe>(&destroyed, 1));
    int notified = 0;
    list.OnNotify = [&](TProbeList&, TProbe*, TListNotification) { ++notified; };
    for (int64_t index : {int64_t(-1), int64_t(1), int64_t(1) << 40}) {
        EXPECT_EQ(MessageOf([&] { list.Get(index); }), u"índice fora da lista") << index;
        EXPECT_EQ(MessageOf([&] { list.Delete(index); }), u"índice fora da lista") << index;
    }
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(list.Count(), 1);
}

TEST(TypedList, DestroyingTheListReleasesItsElements) {
    std::vector<int> destroyed;
    TRef<TProbe> kept = MakeRef<TProbe>(&destroyed, 2);
    {
        TRef<TProbeList> list = MakeRef<TProbeList>();
        list->Add(MakeRef<TProbe>(&destroyed, 1));
        list->Add(kept);
        EXPECT_EQ(kept->RefCount(), 2);
    }
    EXPECT_EQ(destroyed, std::vector<int>{1});
    EXPECT_EQ(kept->RefCount(), 1);
}
