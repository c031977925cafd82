#include "KS.Test.Wizard.h"

#include "KS.Sys.Text.h"
#include "TestSupport.h"

namespace KS::TestSupport {

namespace {

// @F@ the folder, @N@ the caller's name, @C@ the child program, @S@ more
// [Setup] lines.
const std::u16string ScriptText = uR"([Setup]
AppId=KSetupTests_@N@
AppName=Ostrel Dax Teste
AppVersion=2.1
AppPublisher=Ostrel
DefaultDirName=@F@\app
DefaultGroupName=KSetupTests @N@
UsePreviousAppDir=no
Uninstallable=no
@S@

[Tasks]
Name: atalho; Description: "Criar um atalho"
Name: caminho; Description: "Pôr no PATH"; Flags: unchecked

[Run]
Filename: "@C@"; Parameters: "report @F@\post1.txt 0"; Description: "Abrir"; Flags: postinstall runhidden waituntilterminated
Filename: "@C@"; Parameters: "report @F@\post2.txt 0"; Description: "Ler"; Flags: postinstall runhidden waituntilterminated unchecked
)";

} // namespace

std::u16string WizardScript(const std::u16string& folder, const std::u16string& name, const std::u16string& setup,
                            const std::u16string& sections) {
    std::u16string script = ScriptText + sections;
    for (const auto& [mark, value] : {std::pair{u"@F@", folder}, std::pair{u"@N@", name},
                                      std::pair{u"@C@", KsTest::ChildExePath()}, std::pair{u"@S@", setup}})
        script = ReplaceAll(script, mark, value);
    return script;
}

} // namespace KS::TestSupport
