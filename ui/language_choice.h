#pragma once

#include <QComboBox>
#include <filesystem>

namespace korvex {

class MessageService;

// The interface language the working folder remembers ("自動" follows the environment,
// settings/user_language.h). A choice is stored at once and takes effect at the next start,
// which the user is told: windows already open keep their texts. A choice that cannot be
// stored is reported and the list shows the stored one again. The languages are named in
// their own language, so that a user who cannot read the current one finds theirs.
class LanguageChoiceBox : public QComboBox {
    Q_OBJECT

  public:
    LanguageChoiceBox(std::filesystem::path working_folder, MessageService& messages,
                      QWidget* parent = nullptr);

  private:
    void ShowStored();
    void Choose(int index);

    std::filesystem::path working_folder_;
    MessageService& messages_;
};

}  // namespace korvex
