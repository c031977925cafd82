// Tasks: the optional actions of [Tasks] that the user chooses, and the
// filter that ties any entry to them through its "Tasks" words.
#include "KS.Engine.h"

#include "KS.Sys.Text.h"

namespace KS {

void TSetupEngine::SelectDefaultTasks() {
    SelectedTasks.clear();
    const TSection* tasks = Script->EnsureSection(u"Tasks");
    for (const System::TRef<TParams>& entry : tasks->Entries)
        if (!entry->HasFlag(u"unchecked")) SelectedTasks.push_back(entry->GetValue(u"Name", u""));
}

int32_t TSetupEngine::TaskCount() {
    return static_cast<int32_t>(Script->EnsureSection(u"Tasks")->Entries.size());
}

TParams& TSetupEngine::TaskEntry(int32_t index) {
    return *Script->EnsureSection(u"Tasks")->Entry(static_cast<size_t>(index));
}

void TSetupEngine::SelectTask(const std::u16string& name, bool select) {
    const int32_t found = FindIgnoreCase(SelectedTasks, name);
    if (select && found < 0) SelectedTasks.push_back(name);
    if (!select && found >= 0) SelectedTasks.erase(SelectedTasks.begin() + found);
}

bool TSetupEngine::TaskFilter(const TParams& entry) const {
    const std::vector<std::u16string> words = entry.GetWords(u"Tasks");
    if (words.empty()) return true;
    for (const std::u16string& word : words) {
        const bool negated = word[0] == u'!';
        const bool selected = FindIgnoreCase(SelectedTasks, negated ? word.substr(1) : word) >= 0;
        if (selected != negated) return true;
    }
    return false;
}

} // namespace KS
