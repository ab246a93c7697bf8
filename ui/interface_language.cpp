#include "ui/interface_language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>
#include <QTranslator>
#include <memory>

#include "report/qt_text.h"
#include "settings/user_language.h"
#include "ui/message_service.h"

Q_LOGGING_CATEGORY(lcLanguage, "korvex.language")

namespace korvex {
namespace {

UserLanguage installed_language = UserLanguage::Japanese;

// The translators now installed on the application, removed by the next switch.
std::unique_ptr<QTranslator>& Installed() {
    static std::unique_ptr<QTranslator> translator;
    return translator;
}

std::unique_ptr<QTranslator> LoadTranslator(UserLanguage language) {
    auto translator = std::make_unique<QTranslator>();
    if (language == UserLanguage::English) {
        if (!translator->load(QStringLiteral(":/translations/korvex2_en.qm"))) {
            // Embedded at build time: only a broken build lacks it.
            qCWarning(lcLanguage, "the English translation is missing from the program");
            return nullptr;
        }
        return translator;
    }
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!translator->load(QStringLiteral("qtbase_ja"), folder)) {
        static bool told = false;
        if (!told) {
            told = true;
            qCWarning(lcLanguage,
                      "Qt's Japanese translation qtbase_ja.qm is not in %s (Debian package "
                      "qt6-translations-l10n): standard buttons and dialogs stay English",
                      qUtf8Printable(folder));
        }
        return nullptr;
    }
    return translator;
}

}  // namespace

void InstallInterfaceLanguage(UserLanguage language) {
    std::unique_ptr<QTranslator>& installed = Installed();
    if (installed) {
        QCoreApplication::removeTranslator(installed.get());
        installed.reset();
    }
    installed = LoadTranslator(language);
    if (installed) {
        QCoreApplication::installTranslator(installed.get());
    }
    installed_language = language;
}

UserLanguage InterfaceLanguage() {
    return installed_language;
}

void InstallEnvironmentLanguage() {
    InstallInterfaceLanguage(ResolveLanguage(ProcessEnvironment(), LanguageChoice::Automatic));
}

void InstallStartLanguage(const std::filesystem::path& working_folder, MessageService& messages) {
    const LanguageSetting setting = ReadLanguageSetting(working_folder);
    const UserLanguage language = ResolveLanguage(ProcessEnvironment(), setting.choice);
    if (language != installed_language || !Installed()) {
        InstallInterfaceLanguage(language);
    }
    if (!setting.problem.empty()) {
        messages.Tell(ToQString(setting.problem.In(language)), MessageIcon::Exclamation);
    }
}

QString CoreText(std::string_view text) {
    return QCoreApplication::translate("korvex::Core", std::string(text).c_str());
}

}  // namespace korvex
