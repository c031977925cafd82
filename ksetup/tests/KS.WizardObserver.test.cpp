#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "KS.WizardObserver.h"

using namespace KS;

TEST(WizardObserver, WithoutHandlersIgnoresReportsAndAnswersNotCancelledAndAbort) {
    auto observer = System::MakeRef<TWizardObserver>();
    observer->Status(u"Removendo");
    observer->Progress(1, 2);
    EXPECT_FALSE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"C:\\a.txt", u"negado"), ErrorChoiceAbort);
}

TEST(WizardObserver, ForwardsEachCallToItsHandlerOnce) {
    auto observer = System::MakeRef<TWizardObserver>();
    std::u16string calls;
    observer->OnStatus = [&](const std::u16string& text) { calls += u"status " + text + u";"; };
    observer->OnProgress = [&](int64_t done, int64_t total) {
        calls += u"progress;";
        EXPECT_EQ(done, int64_t(1) << 40);
        EXPECT_EQ(total, (int64_t(1) << 41) + 3);
    };
    observer->OnCancelled = [&](bool& cancelled) {
        calls += u"cancel;";
        cancelled = true;
    };
    observer->OnErrorChoice = [&](const std::u16string& fileName, const std::u16string& message, uint8_t& choice) {
        calls += u"error " + fileName + u" " + message + u";";
        choice = ErrorChoiceIgnore;
    };
    observer->Status(u"Removendo");
    observer->Progress(int64_t(1) << 40, (int64_t(1) << 41) + 3);
    EXPECT_TRUE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"a.txt", u"negado"), ErrorChoiceIgnore);
    EXPECT_EQ(calls, u"status Removendo;progress;cancel;error a.txt negado;");
}

TEST(WizardObserver, HandlersThatLeaveTheAnswerGiveNotCancelledAndAbort) {
    auto observer = System::MakeRef<TWizardObserver>();
    observer->OnCancelled = [](bool&) {};
    observer->OnErrorChoice = [](const std::u16string&, const std::u16string&, uint8_t&) {};
    EXPECT_FALSE(observer->Cancelled());
    EXPECT_EQ(observer->ErrorChoice(u"a", u"b"), ErrorChoiceAbort);
}

// A provider whose own worker reports straight to the window's observer.
TEST(WizardObserverDeathTest, ACallFromAnotherThreadStopsTheProgram) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto observer = System::MakeRef<TWizardObserver>();
    int reports = 0;
    observer->OnProgress = [&](int64_t, int64_t) { ++reports; };
    EXPECT_DEATH(
        {
            std::thread worker([&] { observer->Progress(1, 2); });
            worker.join();
        },
        "fora da thread da interface");
    EXPECT_EQ(reports, 0);
}
