#include <gtest/gtest.h>

#include "System.Remainder.Object.h"

using namespace System;

namespace {

struct TProbe : TObject {
    explicit TProbe(int* destroyed) : destroyed_(destroyed) {}
    ~TProbe() override {
        // A reference taken while dying must neither revive nor free again.
        TRef<TProbe> late(this);
        ++*destroyed_;
    }
    int* destroyed_;
};

} // namespace

TEST(CountedReferences, LastReferenceFreesTheObjectOnce) {
    int destroyed = 0;
    {
        TRef<TProbe> a = MakeRef<TProbe>(&destroyed);
        EXPECT_EQ(a->RefCount(), 1);
        {
            TRef<TProbe> b = a;
            TRef<TObject> c = b;
            EXPECT_EQ(a->RefCount(), 3);
        }
        EXPECT_EQ(a->RefCount(), 1);
        TRef<TProbe> moved = std::move(a);
        EXPECT_FALSE(a);
        EXPECT_EQ(moved->RefCount(), 1);
        EXPECT_EQ(destroyed, 0);
    }
    EXPECT_EQ(destroyed, 1);
}

TEST(CountedReferences, AssignmentReleasesTheOldObject) {
    int first = 0, second = 0;
    TRef<TProbe> r = MakeRef<TProbe>(&first);
    r = MakeRef<TProbe>(&second);
    EXPECT_EQ(first, 1);
    const TRef<TProbe>& same = r;  // an alias keeps clang's self-assignment warning quiet
    r = same;                      // self-assignment keeps it
    EXPECT_EQ(second, 0);
    r = nullptr;
    EXPECT_EQ(second, 1);
}
