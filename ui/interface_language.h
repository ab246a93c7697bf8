#pragma once

#include <QString>
#include <filesystem>
#include <string_view>

#include "engine/user_message.h"

namespace korvex {

class MessageService;

// The language of the windows. Japanese is the texts of the sources themselves; English
// is the program's translation (translations/korvex2_en.ts), embedded in the program.
// Japanese also loads Qt's own Japanese (qtbase_ja.qm from Qt's translations folder) for
// the standard buttons, file dialogs and the print preview; without it those stay English
// and the rest of the program is Japanese all the same (logged once).
// Replaces what an earlier call installed, so a test may switch back and forth; windows
// made before a switch keep their texts.
void InstallInterfaceLanguage(UserLanguage language);

// The language installed last; Japanese when none was installed, as the sources are.
UserLanguage InterfaceLanguage();
inline bool InterfaceIsJapanese() {
    return InterfaceLanguage() == UserLanguage::Japanese;
}

// Before the working folder is known: KORVEX2_LANGUAGE and the environment decide.
void InstallEnvironmentLanguage();

// The program's start: KORVEX2_LANGUAGE, the choice stored in `working_folder`'s settings
// and the environment decide (settings/user_language.h). A stored choice that cannot be
// used is told, in the language chosen.
void InstallStartLanguage(const std::filesystem::path& working_folder, MessageService& messages);

// A fixed text of the core, marked KORVEX_TRANSLATE_NOOP, in the interface's language. A
// text that is no such mark (a file error naming its file) is shown as the core wrote it.
QString CoreText(std::string_view text);

}  // namespace korvex
