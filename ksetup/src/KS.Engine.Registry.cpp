// [Registry]: keys and values written, deleted or extended (";" lists such
// as PATH) in the install's registry view, and the journal records the
// uninstall needs to take them back.
#include "KS.Engine.h"

#include <unordered_set>
#include <vector>

#include "KS.Sys.Errors.h"
#include "KS.Sys.Registry.h"
#include "KS.Sys.Text.h"

namespace KS {

namespace {

enum class TWrite { Done, Failed, Unsupported };

TWrite WriteValueOfType(const std::u16string& type, int32_t root, const std::u16string& key,
                        const std::u16string& name, const std::u16string& data, bool view32) {
    bool written;
    if (type == u"none" || type.empty()) {
        written = CreateRegKey(root, key, view32);
    } else if (type == u"string" || type == u"expandsz") {
        written = WriteRegString(root, key, name, data, type == u"expandsz", view32);
    } else if (type == u"dword") {
        int64_t number = 0;
        if (!TryParseInt64(data, number)) number = 0;
        written = WriteRegDword(root, key, name, static_cast<uint32_t>(number), view32);
    } else {
        return TWrite::Unsupported;
    }
    return written ? TWrite::Done : TWrite::Failed;
}

// The keys below the nearest existing one on the way to the key: those a
// write of the key creates.
std::vector<std::u16string> MissingKeys(int32_t root, std::u16string key, bool view32) {
    std::vector<std::u16string> missing;
    while (!key.empty() && !RegKeyExists(root, key, view32)) {
        missing.push_back(key);
        const size_t slash = key.rfind(u'\\');
        key.resize(slash == std::u16string::npos ? 0 : slash);
    }
    return missing;
}

} // namespace

bool TSetupEngine::WriteRegistry() {
    const auto& entries = Script->EnsureSection(u"Registry")->Entries;
    if (entries.empty()) return true;
    Observer->Status(u"Gravando no registro...");
    const bool view32 = !Context->Is64Bit;
    // What this step made, so that a later entry on the same key or value
    // does not journal it as something that was there before the run.
    std::unordered_set<std::u16string> made;
    for (const System::TRef<TParams>& entry : entries) {
        if (!TaskFilter(*entry)) continue;
        const std::u16string rootText = entry->GetValue(u"Root", u"");
        const int32_t root = Context->RegistryRoot(rootText);
        if (root < 0) {
            Log(u"[Registry] raiz inválida: " + rootText);
            continue;
        }
        const std::u16string key = Context->ExpandConstants(entry->GetValue(u"Subkey", u""));
        const std::u16string name = Context->ExpandConstants(entry->GetValue(u"ValueName", u""));
        const std::u16string data = Context->ExpandConstants(entry->GetValue(u"ValueData", u""));
        const std::u16string type = AsciiLowerCase(entry->GetValue(u"ValueType", u"none"));
        const bool noError = entry->HasFlag(u"noerror");
        const bool keyExisted = RegKeyExists(root, key, view32);
        if (entry->HasFlag(u"deletekey")) {
            DeleteRegKeyTree(root, key, view32);
            continue;
        }
        if (entry->HasFlag(u"deletevalue")) {
            DeleteRegValue(root, key, name, view32);
            continue;
        }
        if (entry->HasFlag(u"dontcreatekey") && !keyExisted) continue;
        std::u16string current;
        if (entry->HasFlag(u"createvalueifdoesntexist") && ReadRegString(root, key, name, view32, current)) continue;
        if (entry->HasFlag(u"pathappend")) {
            if (Journal->AddRegListItem(static_cast<uint32_t>(root), view32, key, name, data) || noError) continue;
            Error(u"não consegui alterar a lista do registro (" + key + u"): " + OsErrorText(LastOsError()));
            return false;
        }
        const auto idOf = [root](const std::u16string& path) {
            return AsciiUpperCase(System::Int64ToStr(root) + u"|" + path);
        };
        const std::u16string keyId = idOf(key);
        const std::u16string valueId = keyId + u"|" + AsciiUpperCase(name);
        const std::vector<std::u16string> missing = MissingKeys(root, key, view32);
        const bool valueExisted = keyExisted && RegValueExists(root, key, name, view32) && !made.count(valueId);
        const TWrite written = WriteValueOfType(type, root, key, name, data, view32);
        if (written == TWrite::Unsupported) {
            Log(u"[Registry] tipo não suportado: " + type);
            continue;
        }
        if (written == TWrite::Failed) {
            if (noError) continue;
            Error(u"não consegui gravar no registro (" + key + u"): " + OsErrorText(LastOsError()));
            return false;
        }
        for (const std::u16string& created : missing) made.insert(idOf(created));
        if (!valueExisted) made.insert(valueId);
        const bool keyWasThere = keyExisted && !made.count(keyId);
        const uint32_t rootCode = static_cast<uint32_t>(root);
        if (entry->HasFlag(u"uninsdeletekey"))
            Journal->AddRegKey(rootCode, view32, key, keyWasThere);
        else if (entry->HasFlag(u"uninsdeletekeyifempty"))
            Journal->AddRegKeyIfEmpty(rootCode, view32, key, keyWasThere);
        if (entry->HasFlag(u"uninsdeletevalue") && !name.empty())
            Journal->AddRegValue(rootCode, view32, key, name, valueExisted);
    }
    return true;
}

} // namespace KS
