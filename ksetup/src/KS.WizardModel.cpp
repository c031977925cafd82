#include "KS.WizardModel.h"

#include <climits>

namespace KS {

namespace {

constexpr std::u16string_view kCrLf = u"\r\n";
constexpr std::u16string_view kIndent = u"      ";
// The characters Windows refuses in a path, in the order the message lists them.
constexpr std::u16string_view kForbiddenPathChars = u"<>|\"?*";

// Unlike GetBool, only these three words hide the destination page; "auto"
// hides it when there is an earlier installation to reuse.
bool DirPageHidden(const TParams& setup, bool previousInstallFound) {
    const std::u16string value = AsciiLowerCase(setup.GetValue(u"DisableDirPage", u"no"));
    if (value == u"auto") return previousInstallFound;
    return value == u"yes" || value == u"true" || value == u"sim";
}

int32_t SaturatedPerMille(int64_t done, int64_t total) {
    // done * 1000 can pass 64 bits for byte counts the engine may report.
    const __int128 value = __int128(done) * 1000 / total;
    return value < INT32_MIN ? INT32_MIN : value > INT32_MAX ? INT32_MAX : int32_t(value);
}

} // namespace

TWizardPageKinds WizardPageKinds(const TParams& setup, const TWizardPageInputs& inputs) {
    TWizardPageKinds kinds;
    if (!setup.GetBool(u"DisableWelcomePage", false)) kinds.push_back(pkWelcome);
    if (inputs.HasInfoBefore) kinds.push_back(pkInfoBefore);
    if (inputs.HasLicense) kinds.push_back(pkLicense);
    if (!DirPageHidden(setup, inputs.PreviousInstallFound)) kinds.push_back(pkDir);
    if (inputs.TaskCount > 0) kinds.push_back(pkTasks);
    if (!setup.GetBool(u"DisableReadyPage", false)) kinds.push_back(pkReady);
    kinds.push_back(pkInstalling);
    if (inputs.HasInfoAfter) kinds.push_back(pkInfoAfter);
    kinds.push_back(pkFinish);
    return kinds;
}

TWizardSteps WizardSteps(const TWizardPageKinds& kinds) {
    TWizardSteps steps;
    int32_t last = -1;
    for (TWizardPageKind kind : kinds) {
        steps.PageSteps.push_back(last + 1);
        if (kind == pkInfoAfter) continue;
        steps.Captions.push_back(WizardStepCaption(kind));
        ++last;
    }
    return steps;
}

std::u16string WizardStepCaption(uint8_t kind) {
    switch (kind) {
    case pkWelcome: return u"Boas-vindas";
    case pkInfoBefore: return u"Informações";
    case pkLicense: return u"Licença";
    case pkDir: return u"Destino";
    case pkTasks: return u"Opções";
    case pkReady: return u"Resumo";
    case pkInstalling: return u"Instalação";
    default: return u"Conclusão";
    }
}

TPageHeader WizardPageHeader(TWizardPageKind kind, const std::u16string& appName) {
    switch (kind) {
    case pkWelcome: return {u"Bem-vindo", u"Assistente de instalação de " + appName};
    case pkInfoBefore: return {u"Informações", u"Leia com atenção antes de continuar."};
    case pkLicense: return {u"Contrato de licença", u"Leia o contrato e aceite os termos para continuar."};
    case pkDir: return {u"Pasta de destino", u"Escolha onde instalar " + appName + u"."};
    case pkTasks: return {u"Opções da instalação", u"Personalize o que será instalado e configurado."};
    case pkReady: return {u"Pronto para instalar", u"Confira as opções escolhidas."};
    case pkInstalling: return {u"Instalando", u"Aguarde enquanto " + appName + u" é instalado."};
    case pkInfoAfter: return {u"Informações", u"Leia as informações abaixo."};
    default: return {};
    }
}

std::u16string BarsToLineBreaks(std::u16string_view text) { return ReplaceAll(std::u16string(text), u"|", kCrLf); }

std::u16string WizardAppName(const TParams& setup) { return setup.GetValue(u"AppName", u"Programa"); }

std::u16string WelcomeText(const TParams& setup, const std::u16string& appName) {
    std::u16string text = BarsToLineBreaks(setup.GetValue(u"WelcomeText", u""));
    if (text.empty()) {
        const std::u16string version = setup.GetValue(u"AppVersion", u"");
        text = u"Este assistente vai instalar " + appName + (version.empty() ? u"" : u" " + version) +
               u" no seu computador.";
    }
    return text + u"\r\n\r\nÉ recomendável fechar os outros programas antes de continuar. "
                  u"Clique em Avançar para começar.";
}

std::u16string PreviousInstallNotice(const std::u16string& folder, const std::u16string& version) {
    return u"Já existe uma instalação" + (version.empty() ? u"" : u" (versão " + version + u")") + u" em " +
           folder + u". Ela será atualizada.";
}

const char16_t* const kNoOldUninstallerText =
    u"Esta instalação não foi feita por este instalador, então ainda não há o que desinstalar. "
    u"Conclua a instalação; depois, ao abrir o instalador de novo, a opção Desinstalar aparece.";

std::u16string OldUninstallerFailedText(const std::u16string& folder) {
    return u"Não consegui abrir o desinstalador em " + folder + u".";
}

std::u16string EntryCaption(const TParams& entry, std::u16string_view fallbackKey) {
    return entry.GetValue(u"Description", entry.GetValue(fallbackKey, u""));
}

std::u16string SummaryText(const std::u16string& appDir, const std::vector<System::TRef<TParams>>& tasks,
                           const TStringArray& selectedTasks, int64_t requiredSpace,
                           const std::u16string& providerSummary) {
    std::u16string text = u"Pasta de destino:\r\n" + std::u16string(kIndent) + appDir + u"\r\n\r\n";
    if (!tasks.empty()) {
        text += u"Opções escolhidas:\r\n";
        for (const auto& task : tasks)
            if (FindIgnoreCase(selectedTasks, task->GetValue(u"Name", u"")) >= 0)
                text += std::u16string(kIndent) + EntryCaption(*task, u"Name") + u"\r\n";
        text += kCrLf;
    }
    text += u"Espaço em disco necessário: " + FormatByteSize(requiredSpace);
    if (!providerSummary.empty()) text += u"\r\n\r\n" + providerSummary;
    return text;
}

std::u16string PrepareFailureText(const std::u16string& lastError) {
    return u"Não foi possível preparar a instalação.\r\n\r\n" + lastError +
           u"\r\n\r\nClique em \"Tentar de novo\" ou volte e ajuste as opções.";
}

std::u16string PrepareNoSpaceText(const std::u16string& folder, int64_t required, int64_t free) {
    return u"Não há espaço em disco suficiente em " + folder + u" (precisa de " + FormatByteSize(required) +
           u", há " + FormatByteSize(free) + u").";
}

std::u16string DirNoSpaceText(int64_t required) {
    return u"Não há espaço em disco suficiente nesta unidade (precisa de " + FormatByteSize(required) + u").";
}

bool EnoughFreeSpace(int64_t free, int64_t required) { return free < 0 || free >= required; }

std::u16string SpaceInfoText(bool hasProvider, int64_t requiredSpace, const std::u16string& folder,
                             const std::function<int64_t(const std::u16string&)>& freeSpace) {
    std::u16string line =
        hasProvider ? u"O espaço necessário e o tamanho do download são calculados no passo \"Resumo\", "
                      u"depois de conferir o servidor."
                    : u"Espaço necessário: " + FormatByteSize(requiredSpace);
    if (folder.size() > 2)
        if (const int64_t free = freeSpace(folder); free >= 0)
            line += u"  \u00B7  livre na unidade: " + FormatByteSize(free);
    return line;
}

TFinishTexts FinishTexts(bool failed, const TParams& setup, const std::u16string& appName,
                         const std::u16string& lastError, bool rebootNeeded) {
    if (failed)
        return {{u"Instalação não concluída", u"Ocorreu um problema."},
                u"A instalação de " + appName + u" não foi concluída.\r\n\r\n" + lastError};
    std::u16string body = BarsToLineBreaks(setup.GetValue(u"FinishText", u""));
    if (body.empty()) body = u"A instalação de " + appName + u" foi concluída com sucesso.";
    if (rebootNeeded)
        body += u"\r\n\r\nAlguns arquivos estavam em uso e serão trocados na próxima vez que o "
                u"Windows for reiniciado. Reinicie o computador para terminar.";
    return {{u"Tudo certo!", appName + u" foi instalado."}, body};
}

std::u16string InstallErrorQuestion(const std::u16string& message) {
    return message + u"\r\n\r\nTentar novamente?";
}

std::u16string UninstallQuestion(const std::u16string& appName) {
    return u"Deseja remover " + appName + u" e todos os seus componentes?";
}

TUninstallOutcome UninstallOutcome(bool succeeded, bool restartNeeded, const std::u16string& appName) {
    if (!succeeded)
        return {u"A desinstalação de " + appName + u" não foi concluída: alguns itens não puderam ser removidos.",
                0x10};
    if (restartNeeded)
        return {appName + u" foi removido, mas alguns arquivos só serão apagados quando o Windows for reiniciado.",
                0x40};
    return {appName + u" foi removido do computador.", 0x40};
}

std::u16string NormalizeFolderText(const std::u16string& text) {
    return StripTrailingBackslashes(NormalizeSlashes(TrimText(text)));
}

TInstallDirCheck CheckInstallDir(const std::u16string& editText) {
    TInstallDirCheck check;
    check.Folder = NormalizeFolderText(editText);
    const std::u16string& d = check.Folder;
    const bool drivePath = d.size() >= 3 && d[1] == u':' && d[2] == u'\\';
    const bool networkPath = d.starts_with(u"\\\\");
    if (d.empty()) {
        check.Verdict = TInstallDirVerdict::Empty;
        check.Message = u"Informe a pasta onde o programa será instalado.";
    } else if (!drivePath && !networkPath) {
        check.Verdict = TInstallDirVerdict::NotFullPath;
        check.Message = u"Informe o caminho completo, com a letra da unidade (por exemplo C:\\Programas\\Meu).";
    } else if (d.find_first_of(kForbiddenPathChars, 2) != std::u16string::npos) {
        // The drive letter and colon, or the two backslashes, are not searched.
        check.Verdict = TInstallDirVerdict::BadCharacters;
        check.Message = u"O caminho tem caracteres que o Windows não aceita: " + std::u16string(kForbiddenPathChars);
    }
    return check;
}

int32_t WizardPerMille(int64_t done, int64_t total) { return total < 1 ? 1000 : SaturatedPerMille(done, total); }

std::optional<int32_t> UninstallPerMille(int64_t done, int64_t total) {
    if (total <= 0) return std::nullopt;
    return SaturatedPerMille(done, total);
}

} // namespace KS
