#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "KS.WizardModel.h"

using namespace KS;
using System::MakeRef;
using System::TRef;

namespace {

TRef<TScript> ParsedScript(const std::u16string& text) {
    TRef<TScript> script = MakeRef<TScript>();
    EXPECT_TRUE(script->Parse(text));
    return script;
}

std::string Utf8(const std::u16string& text) {
    const System::TBytes bytes = StringToUtf8Bytes(text);
    return std::string(bytes.begin(), bytes.end());
}

const TStringArray kAllButDir = {u"Boas-vindas", u"Resumo", u"Instalação", u"Conclusão"};
const TStringArray kWithDir = {u"Boas-vindas", u"Destino", u"Resumo", u"Instalação", u"Conclusão"};

} // namespace

// ---- Pages and steps ----------------------------------------------------------

TEST(WizardPages, OnlyYesTrueAndSimInAnyCaseHideTheDestinationAndAutoFollowsThePreviousInstall) {
    const struct { const char16_t* value; bool previous; const TStringArray& steps; } cases[] = {
        {u"Yes", false, kAllButDir},
        {u"TRUE", false, kAllButDir},
        {u"SIM", false, kAllButDir},
        {u"no", false, kWithDir},
        // Not trimmed, and the other true words of the script's booleans add the page.
        {u" yes", false, kWithDir},
        {u"1", false, kWithDir},
        {u"on", false, kWithDir},
        {u"auto", true, kAllButDir},
        {u"AUTO", true, kAllButDir},
        {u"auto", false, kWithDir},
        // A previous install hides nothing unless the value is "auto".
        {u"no", true, kWithDir},
    };
    for (const auto& c : cases) {
        TWizardPageInputs inputs;
        inputs.PreviousInstallFound = c.previous;
        // Filled directly: the script's reader trims the blank of " yes".
        TRef<TScript> script = ParsedScript(u"[Setup]\nAppName=X");
        script->SetupParams()->Keys.push_back(u"DisableDirPage");
        script->SetupParams()->Values.push_back(c.value);
        EXPECT_EQ(WizardSteps(WizardPageKinds(*script->SetupParams(), inputs)).Captions, c.steps)
            << Utf8(c.value) << " previous " << c.previous;
    }
}

TEST(WizardPages, EveryOptionalPageInItsPlaceAndTheBareMinimum) {
    TWizardPageInputs all;
    all.HasInfoBefore = all.HasLicense = all.HasInfoAfter = true;
    all.TaskCount = 2;
    TRef<TScript> full = ParsedScript(u"[Setup]\nAppName=X");
    EXPECT_EQ(WizardPageKinds(*full->SetupParams(), all),
              (TWizardPageKinds{pkWelcome, pkInfoBefore, pkLicense, pkDir, pkTasks, pkReady, pkInstalling,
                                pkInfoAfter, pkFinish}));

    const struct { const char16_t* setup; TWizardPageKinds kinds; TStringArray steps; } cases[] = {
        {u"DisableWelcomePage=yes\nDisableReadyPage=sim",
         {pkDir, pkInstalling, pkFinish},
         {u"Destino", u"Instalação", u"Conclusão"}},
        {u"DisableWelcomePage=1\nDisableReadyPage=on\nDisableDirPage=true",
         {pkInstalling, pkFinish},
         {u"Instalação", u"Conclusão"}},
        // The welcome and ready pages take the script's boolean words.
        {u"DisableWelcomePage=maybe\nDisableReadyPage=não",
         {pkWelcome, pkDir, pkReady, pkInstalling, pkFinish},
         kWithDir},
    };
    for (const auto& c : cases) {
        TRef<TScript> script = ParsedScript(u"[Setup]\n" + std::u16string(c.setup));
        const TWizardPageKinds kinds = WizardPageKinds(*script->SetupParams(), {});
        EXPECT_EQ(kinds, c.kinds) << Utf8(c.setup);
        EXPECT_EQ(WizardSteps(kinds).Captions, c.steps) << Utf8(c.setup);
    }
}

TEST(WizardPages, TheInformationAfterTheInstallSharesTheFinishStep) {
    TWizardPageInputs inputs;
    inputs.HasInfoAfter = true;
    inputs.TaskCount = 1;
    TRef<TScript> script = ParsedScript(u"[Setup]\nAppName=X");
    const TWizardPageKinds kinds = WizardPageKinds(*script->SetupParams(), inputs);
    const TWizardSteps steps = WizardSteps(kinds);
    ASSERT_EQ(kinds.size(), 7u);
    EXPECT_EQ(steps.Captions, (TStringArray{u"Boas-vindas", u"Destino", u"Opções", u"Resumo", u"Instalação",
                                            u"Conclusão"}));
    EXPECT_EQ(steps.PageSteps, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 5}));
}

TEST(WizardPages, StepCaptionOfEveryKindAndOfValuesOutsideThem) {
    const std::u16string expected[] = {u"Boas-vindas", u"Informações", u"Licença", u"Destino", u"Opções",
                                       u"Resumo", u"Instalação", u"Conclusão", u"Conclusão"};
    for (uint8_t kind = 0; kind < 9; ++kind) EXPECT_EQ(WizardStepCaption(kind), expected[kind]) << int(kind);
    EXPECT_EQ(WizardStepCaption(9), u"Conclusão");
    EXPECT_EQ(WizardStepCaption(255), u"Conclusão");
}

TEST(WizardPages, HeaderOfEveryPageNamesTheApplicationWhereItShould) {
    const struct { TWizardPageKind kind; TPageHeader header; } cases[] = {
        {pkWelcome, {u"Bem-vindo", u"Assistente de instalação de Ostrel Dax"}},
        {pkInfoBefore, {u"Informações", u"Leia com atenção antes de continuar."}},
        {pkLicense, {u"Contrato de licença", u"Leia o contrato e aceite os termos para continuar."}},
        {pkDir, {u"Pasta de destino", u"Escolha onde instalar Ostrel Dax."}},
        {pkTasks, {u"Opções da instalação", u"Personalize o que será instalado e configurado."}},
        {pkReady, {u"Pronto para instalar", u"Confira as opções escolhidas."}},
        {pkInstalling, {u"Instalando", u"Aguarde enquanto Ostrel Dax é instalado."}},
        {pkInfoAfter, {u"Informações", u"Leia as informações abaixo."}},
        {pkFinish, {}},
    };
    for (const auto& c : cases) EXPECT_EQ(WizardPageHeader(c.kind, u"Ostrel Dax"), c.header) << int(c.kind);
}

// ---- Texts ---------------------------------------------------------------------

TEST(WizardTexts, WelcomeTextFromTheScriptOrBuiltFromNameAndVersion) {
    const std::u16string tail =
        u"\r\n\r\nÉ recomendável fechar os outros programas antes de continuar. Clique em Avançar para começar.";
    const struct { const char16_t* setup; const char16_t* first; } cases[] = {
        {u"WelcomeText=Primeira frase.|Segunda frase.\nAppVersion=2.0", u"Primeira frase.\r\nSegunda frase."},
        {u"AppVersion=2.0", u"Este assistente vai instalar Ostrel Dax 2.0 no seu computador."},
        {u"AppVersion=", u"Este assistente vai instalar Ostrel Dax no seu computador."},
        {u"WelcomeText=", u"Este assistente vai instalar Ostrel Dax no seu computador."},
        {u"WelcomeText=||", u"\r\n\r\n"},
    };
    for (const auto& c : cases) {
        TRef<TScript> script = ParsedScript(u"[Setup]\n" + std::u16string(c.setup));
        EXPECT_EQ(WelcomeText(*script->SetupParams(), u"Ostrel Dax"), c.first + tail) << Utf8(c.setup);
    }
}

TEST(WizardTexts, AppNameDefaultsOnlyWhenMissing) {
    EXPECT_EQ(WizardAppName(*ParsedScript(u"[Setup]\nAppVersion=1")->SetupParams()), u"Programa");
    EXPECT_EQ(WizardAppName(*ParsedScript(u"[Setup]\nAppName=")->SetupParams()), u"");
    EXPECT_EQ(WizardAppName(*ParsedScript(u"[Setup]\nappname=Ostrel")->SetupParams()), u"Ostrel");
}

TEST(WizardTexts, NoticeOfAPreviousInstallWithAndWithoutVersion) {
    EXPECT_EQ(PreviousInstallNotice(u"C:\\Ostrel", u"1.2"),
              u"Já existe uma instalação (versão 1.2) em C:\\Ostrel. Ela será atualizada.");
    EXPECT_EQ(PreviousInstallNotice(u"C:\\Ostrel", u""), u"Já existe uma instalação em C:\\Ostrel. Ela será atualizada.");
}

TEST(WizardTexts, SummaryListsTheSelectedTasksInSectionOrder) {
    TRef<TScript> script = ParsedScript(
        u"[Tasks]\n"
        u"Name: associate; Description: Associar arquivos .dax\n"
        u"Name: desktopicon; Description: Ícone na área de trabalho; Flags: unchecked\n"
        u"Name: addtopath\n");
    const auto& tasks = script->FindSection(u"Tasks")->Entries;
    // Selected in another order and another case than the section's.
    const TStringArray selected = {u"ADDTOPATH", u"associate"};
    EXPECT_EQ(SummaryText(u"C:\\Ostrel", tasks, selected, 5 * 1024 * 1024, u""),
              u"Pasta de destino:\r\n      C:\\Ostrel\r\n\r\n"
              u"Opções escolhidas:\r\n      Associar arquivos .dax\r\n      addtopath\r\n\r\n"
              u"Espaço em disco necessário: 5,0 MB");
    // The heading stands with nothing selected; the provider's summary ends it.
    EXPECT_EQ(SummaryText(u"C:\\Ostrel", tasks, {}, 1000, u"3 arquivos"),
              u"Pasta de destino:\r\n      C:\\Ostrel\r\n\r\nOpções escolhidas:\r\n\r\n"
              u"Espaço em disco necessário: 1000 bytes\r\n\r\n3 arquivos");
    // Without tasks there is no heading at all.
    EXPECT_EQ(SummaryText(u"D:\\", {}, {u"associate"}, 0, u""),
              u"Pasta de destino:\r\n      D:\\\r\n\r\nEspaço em disco necessário: 0 bytes");
}

TEST(WizardTexts, EntryCaptionFallsBackOnlyForAMissingDescription) {
    TRef<TScript> script = ParsedScript(
        u"[Run]\nFilename: {app}\\a.exe; Description: Abrir\nFilename: {app}\\b.exe\nFilename: c.exe; Description: \"\"\n");
    const auto& runs = script->FindSection(u"Run")->Entries;
    EXPECT_EQ(EntryCaption(*runs[0], u"Filename"), u"Abrir");
    EXPECT_EQ(EntryCaption(*runs[1], u"Filename"), u"{app}\\b.exe");
    EXPECT_EQ(EntryCaption(*runs[2], u"Filename"), u"");
}

TEST(WizardTexts, FinishTextsBySuccessFailureAndRestart) {
    const std::u16string restart =
        u"\r\n\r\nAlguns arquivos estavam em uso e serão trocados na próxima vez que o Windows for reiniciado. "
        u"Reinicie o computador para terminar.";
    const struct {
        bool failed, reboot;
        const char16_t* setup;
        const char16_t *title, *subtitle;
        std::u16string body;
    } cases[] = {
        {false, false, u"AppName=X", u"Tudo certo!", u"Ostrel foi instalado.",
         u"A instalação de Ostrel foi concluída com sucesso."},
        {false, true, u"FinishText=Pronto.|Bom uso.", u"Tudo certo!", u"Ostrel foi instalado.",
         u"Pronto.\r\nBom uso." + restart},
        // A failure shows the engine's error and never the restart sentences.
        {true, true, u"FinishText=Pronto.", u"Instalação não concluída", u"Ocorreu um problema.",
         u"A instalação de Ostrel não foi concluída.\r\n\r\nFalha ao baixar"},
    };
    for (const auto& c : cases) {
        TRef<TScript> script = ParsedScript(u"[Setup]\n" + std::u16string(c.setup));
        const TFinishTexts texts = FinishTexts(c.failed, *script->SetupParams(), u"Ostrel", u"Falha ao baixar", c.reboot);
        EXPECT_EQ(texts.Header, (TPageHeader{c.title, c.subtitle})) << Utf8(c.setup);
        EXPECT_EQ(texts.Body, c.body) << Utf8(c.setup);
    }
}

TEST(WizardTexts, PreparationAndSpaceMessages) {
    EXPECT_EQ(PrepareFailureText(u"Servidor fora do ar."),
              u"Não foi possível preparar a instalação.\r\n\r\nServidor fora do ar.\r\n\r\n"
              u"Clique em \"Tentar de novo\" ou volte e ajuste as opções.");
    EXPECT_EQ(PrepareNoSpaceText(u"C:\\Ostrel", 3 * 1024 * 1024, 1536),
              u"Não há espaço em disco suficiente em C:\\Ostrel (precisa de 3,0 MB, há 1,5 KB).");
    EXPECT_EQ(DirNoSpaceText(2048), u"Não há espaço em disco suficiente nesta unidade (precisa de 2,0 KB).");
    EXPECT_EQ(InstallErrorQuestion(u"Falhou."), u"Falhou.\r\n\r\nTentar novamente?");
}

TEST(WizardTexts, FreeSpaceOfMinusOneOrExactlyTheRequiredPasses) {
    const struct { int64_t free, required; bool enough; } cases[] = {
        {-1, 100, true}, {100, 100, true}, {101, 100, true}, {99, 100, false}, {0, 1, false}, {0, 0, true},
    };
    for (const auto& c : cases) EXPECT_EQ(EnoughFreeSpace(c.free, c.required), c.enough) << c.free << "/" << c.required;
}

TEST(WizardTexts, SpaceLineAsksTheDriveOnlyPastTwoCharactersAndDropsAnUnknownAnswer) {
    const std::u16string online =
        u"O espaço necessário e o tamanho do download são calculados no passo \"Resumo\", depois de conferir o servidor.";
    const struct {
        bool provider;
        const char16_t* folder;
        int64_t free;
        std::u16string line;
        bool asked;
    } cases[] = {
        {false, u"C:\\Ostrel", 2048, u"Espaço necessário: 1,0 MB  \u00B7  livre na unidade: 2,0 KB", true},
        {true, u"C:\\Ostrel", 2048, online + u"  \u00B7  livre na unidade: 2,0 KB", true},
        {true, u"C:\\", -1, online, true},
        {false, u"C:", 2048, u"Espaço necessário: 1,0 MB", false},
        {false, u"", 2048, u"Espaço necessário: 1,0 MB", false},
    };
    for (const auto& c : cases) {
        std::u16string asked;
        const std::u16string line = SpaceInfoText(c.provider, 1024 * 1024, c.folder, [&](const std::u16string& f) {
            asked = f;
            return c.free;
        });
        EXPECT_EQ(line, c.line) << Utf8(c.folder);
        EXPECT_EQ(asked, c.asked ? c.folder : u"") << Utf8(c.folder);
    }
}

TEST(WizardTexts, UninstallQuestionAndOutcomes) {
    EXPECT_EQ(UninstallQuestion(u"o programa"), u"Deseja remover o programa e todos os seus componentes?");
    const struct { bool succeeded, restart; const char16_t* text; uint32_t flags; } cases[] = {
        {true, false, u"Ostrel foi removido do computador.", 0x40},
        {true, true, u"Ostrel foi removido, mas alguns arquivos só serão apagados quando o Windows for reiniciado.", 0x40},
        {false, true, u"A desinstalação de Ostrel não foi concluída: alguns itens não puderam ser removidos.", 0x10},
        {false, false, u"A desinstalação de Ostrel não foi concluída: alguns itens não puderam ser removidos.", 0x10},
    };
    for (const auto& c : cases) {
        const TUninstallOutcome outcome = UninstallOutcome(c.succeeded, c.restart, u"Ostrel");
        EXPECT_EQ(outcome.Text, c.text);
        EXPECT_EQ(outcome.Flags, c.flags);
    }
}

// ---- Destination folder ----------------------------------------------------------

TEST(InstallDir, NormalisedTextAndVerdict) {
    const std::u16string fullPath =
        u"Informe o caminho completo, com a letra da unidade (por exemplo C:\\Programas\\Meu).";
    const std::u16string badChars = u"O caminho tem caracteres que o Windows não aceita: <>|\"?*";
    const struct {
        const char16_t* text;
        const char16_t* folder;
        TInstallDirVerdict verdict;
        std::u16string message;
    } cases[] = {
        {u" C:/Prog/Ostrel/ ", u"C:\\Prog\\Ostrel", TInstallDirVerdict::Accepted, u""},
        {u"\tC:\\Prog\\\\\\", u"C:\\Prog", TInstallDirVerdict::Accepted, u""},
        {u"C:\\", u"C:\\", TInstallDirVerdict::Accepted, u""},
        {u"C:/", u"C:\\", TInstallDirVerdict::Accepted, u""},
        // The drive letter itself is not examined.
        {u"1:\\x", u"1:\\x", TInstallDirVerdict::Accepted, u""},
        {u"\\\\srv\\share\\x", u"\\\\srv\\share\\x", TInstallDirVerdict::Accepted, u""},
        {u"//srv/share", u"\\\\srv\\share", TInstallDirVerdict::Accepted, u""},
        {u"   ", u"", TInstallDirVerdict::Empty, u"Informe a pasta onde o programa será instalado."},
        {u"Prog", u"Prog", TInstallDirVerdict::NotFullPath, fullPath},
        {u"C:x", u"C:x", TInstallDirVerdict::NotFullPath, fullPath},
        {u"C:", u"C:", TInstallDirVerdict::NotFullPath, fullPath},
        {u"\\Prog", u"\\Prog", TInstallDirVerdict::NotFullPath, fullPath},
        {u"C:\\a?b", u"C:\\a?b", TInstallDirVerdict::BadCharacters, badChars},
        {u"C:\\a*", u"C:\\a*", TInstallDirVerdict::BadCharacters, badChars},
        {u"C:\\<a>", u"C:\\<a>", TInstallDirVerdict::BadCharacters, badChars},
        {u"C:\\a|b", u"C:\\a|b", TInstallDirVerdict::BadCharacters, badChars},
        {u"C:\\\"a\"", u"C:\\\"a\"", TInstallDirVerdict::BadCharacters, badChars},
        // From the third character on: a third-place "?" counts, first-two places do not.
        {u"\\\\?\\C:\\x", u"\\\\?\\C:\\x", TInstallDirVerdict::BadCharacters, badChars},
    };
    for (const auto& c : cases) {
        const TInstallDirCheck check = CheckInstallDir(c.text);
        EXPECT_EQ(check.Folder, c.folder) << Utf8(c.text);
        EXPECT_EQ(check.Verdict, c.verdict) << Utf8(c.text);
        EXPECT_EQ(check.Message, c.message) << Utf8(c.text);
    }
}

// ---- Progress --------------------------------------------------------------------

TEST(PerMille, WizardRuleTruncatesTowardZeroUnclampedAndSaturates) {
    const struct { int64_t done, total; int32_t perMille; } cases[] = {
        {0, 0, 1000}, {1, 3, 333}, {2, 3, 666}, {5, 4, 1250}, {-1, 3, -333}, {7, -2, 1000},
        {3, 3, 1000}, {INT64_MAX, 1, INT32_MAX}, {INT64_MIN, 1, INT32_MIN}, {INT64_MAX, INT64_MAX, 1000},
        {int64_t(1) << 40, int64_t(1) << 41, 500},
    };
    for (const auto& c : cases) EXPECT_EQ(WizardPerMille(c.done, c.total), c.perMille) << c.done << "/" << c.total;
}

TEST(PerMille, UninstallRuleKeepsTheBarForAnEmptyTotal) {
    EXPECT_EQ(UninstallPerMille(0, 0), std::nullopt);
    EXPECT_EQ(UninstallPerMille(5, -1), std::nullopt);
    EXPECT_EQ(UninstallPerMille(1, 3), 333);
    EXPECT_EQ(UninstallPerMille(5, 4), 1250);
    EXPECT_EQ(UninstallPerMille(INT64_MAX, 2), INT32_MAX);
}
