#include <gtest/gtest.h>

#include "KS.Engine.h"
#include "KS.Test.Engine.h"
#include "TestSupport.h"

using namespace KS;
using namespace KS::TestSupport;
using System::MakeRef;

namespace {

using TNames = std::vector<std::u16string>;

const char16_t TasksScript[] =
    u"[Setup]\nAppName=x\n"
    u"[Tasks]\n"
    u"Name: associate; Description: \"Associar arquivos .dax\"\n"
    u"Name: desktopicon; Description: Ícone; Flags: unchecked\n"
    u"Name: addtopath; Description: PATH\n";

bool Applies(TSetupEngine& engine, const std::u16string& tasks) {
    TParams* entry = engine.Script->EnsureSection(u"Probe")->AddEntry();
    entry->Keys.push_back(u"Tasks");
    entry->Values.push_back(tasks);
    return engine.TaskFilter(*entry);
}

} // namespace

TEST(Tasks, DefaultSelectionSkipsUncheckedInScriptOrder) {
    auto engine = LoadedEngine(TasksScript);
    EXPECT_EQ(engine->TaskCount(), 3);
    EXPECT_EQ(engine->TaskEntry(1).GetValue(u"Description", u""), u"Ícone");
    EXPECT_EQ(engine->SelectedTasks, (TNames{u"associate", u"addtopath"}));

    engine->SelectTask(u"addtopath", false);
    engine->SelectDefaultTasks();
    EXPECT_EQ(engine->SelectedTasks, (TNames{u"associate", u"addtopath"}));
}

TEST(Tasks, ScriptWithoutTasksSelectsNone) {
    auto engine = LoadedEngine(u"[Setup]\nAppName=x\n");
    EXPECT_EQ(engine->TaskCount(), 0);
    EXPECT_TRUE(engine->SelectedTasks.empty());
}

TEST(Tasks, SelectAndDeselectChangeOnlyWhatIsAsked) {
    auto engine = LoadedEngine(TasksScript);
    engine->SelectTask(u"ASSOCIATE", true);  // already selected, in another case
    engine->SelectTask(u"desktopicon", true);
    engine->SelectTask(u"naodeclarada", true);
    EXPECT_EQ(engine->SelectedTasks, (TNames{u"associate", u"addtopath", u"desktopicon", u"naodeclarada"}));
    engine->SelectTask(u"AddToPath", false);
    engine->SelectTask(u"inexistente", false);
    EXPECT_EQ(engine->SelectedTasks, (TNames{u"associate", u"desktopicon", u"naodeclarada"}));
}

TEST(Tasks, FilterWordsAreAlternativesAndBangNegates) {
    auto engine = LoadedEngine(TasksScript);
    engine->SelectedTasks = {u"desktopicon", u"naodeclarada"};
    struct Case {
        const char16_t* Tasks;
        bool Applies;
    };
    const Case cases[] = {
        {u"", true},
        {u" , ", true},
        {u"desktopicon", true},
        {u"DesktopIcon", true},
        {u"!desktopicon", false},
        {u"associate", false},
        {u"!associate", true},
        {u"associate, desktopicon", true},
        {u"associate addtopath", false},
        {u"!desktopicon,addtopath", false},
        {u"!desktopicon\tnaodeclarada", true},
        {u"!", true},  // names no selected task
        {u"desk", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Applies(*engine, c.Tasks), c.Applies) << KsTest::Narrow(c.Tasks);
}
