#pragma once

#include <QString>

#include "engine/user_message.h"

class QWidget;

namespace korvex {

enum class MessageButtons { Ok, OkCancel, YesNo };
enum class MessageAnswer { Ok, Cancel, Yes, No };

// The one seam for message boxes and the beep, so that windows can be tested with a fake
// that answers from a script and records every text.
class MessageService {
  public:
    virtual ~MessageService() = default;

    // Shows the text unchanged (blanks and ideographic spaces kept) with the program's
    // title and waits for the answer.
    virtual MessageAnswer Ask(const QString& text, MessageButtons buttons, MessageIcon icon) = 0;
    virtual void Beep() = 0;

    // An OK-only message, after the beep when it asks for one.
    void Tell(const UserMessage& message);
    void Tell(const QString& text, MessageIcon icon = MessageIcon::None);
};

// Title of every message box of the program.
inline constexpr const char* kApplicationTitle = "Korvex-2";

class QtMessageService : public MessageService {
  public:
    explicit QtMessageService(QWidget* parent = nullptr) : parent_(parent) {}

    MessageAnswer Ask(const QString& text, MessageButtons buttons, MessageIcon icon) override;
    void Beep() override;

  private:
    QWidget* parent_;
};

}  // namespace korvex
