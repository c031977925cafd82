#include <gtest/gtest.h>

#include "KS.Observer.h"
#include "KS.Provider.h"
#include "KS.Test.Observer.h"

using namespace KS;
using System::MakeRef;

TEST(SetupObserver, BaseIsSilentNeverCancelsAndAbortsOnErrors) {
    auto observer = MakeRef<TSetupObserver>();
    observer->Status(u"Preparando...");
    observer->Progress(5, 0);
    observer->Reserved();
    EXPECT_FALSE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"C:\\x", u"falhou"), ErrorChoiceAbort);
}

TEST(FileProvider, BaseSucceedsWithNothing) {
    auto provider = MakeRef<TFileProvider>();
    EXPECT_EQ(provider->TotalSize(), 0);
    EXPECT_EQ(provider->LastError(), u"");
    EXPECT_EQ(provider->Summary(), u"");
}

TEST(ProgressPercent, ZeroTotalIsCompleteAndNeverDividesByZero) {
    struct Case {
        int64_t done, total;
        int percent;
    };
    const Case cases[] = {
        {0, 0, 100},           {7, 0, 100},          {0, -1, 100},
        {0, 10, 0},            {-3, 10, 0},          {5, 10, 50},
        {10, 10, 100},         {11, 10, 100},        {999, 1000, 99},
        {INT64_MAX - 1, INT64_MAX, 99},              {1, INT64_MAX, 0},
    };
    for (const Case& c : cases) EXPECT_EQ(ProgressPercent(c.done, c.total), c.percent) << c.done << "/" << c.total;
}

TEST(RecordingObserver, RecordsInOrderAndAnswersFromItsScript) {
    auto observer = MakeRef<TestSupport::TRecordingObserver>();
    observer->CancelAtPoll = 3;
    observer->ErrorAnswers = {ErrorChoiceRetry, ErrorChoiceIgnore};
    observer->Status(u"a");
    observer->Progress(0, 0);
    EXPECT_FALSE(observer->Cancelled());
    EXPECT_FALSE(observer->Cancelled());
    EXPECT_TRUE(observer->Cancelled());
    EXPECT_TRUE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"s", u"m"), ErrorChoiceRetry);
    EXPECT_EQ(observer->ErrorChoice(u"s", u"m"), ErrorChoiceIgnore);
    EXPECT_EQ(observer->ErrorChoice(u"s", u"m"), ErrorChoiceAbort);
    observer->Status(u"b");

    using K = TestSupport::TRecordingObserver::TKind;
    ASSERT_EQ(observer->Events.size(), 10u);
    EXPECT_EQ(observer->Events[0].Kind, K::Status);
    EXPECT_EQ(observer->Events[1].Kind, K::Progress);
    EXPECT_EQ(observer->Events[1].Percent, 100);
    EXPECT_EQ(observer->Events[6].Text, u"s");
    EXPECT_EQ(observer->Events[6].Message, u"m");
    EXPECT_EQ(observer->CancelPolls(), 4);
    EXPECT_EQ(observer->StatusTexts(), (std::vector<std::u16string>{u"a", u"b"}));
    EXPECT_EQ(observer->LastStatus(), u"b");
}
