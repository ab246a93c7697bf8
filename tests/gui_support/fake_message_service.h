#pragma once

#include <gtest/gtest.h>

#include <QString>
#include <deque>
#include <vector>

#include "ui/message_service.h"

namespace korvex::testing {

// Records every message and beep in order and answers questions from a script. A
// question with no scripted answer fails the test: a prompt nobody expected is a fault.
class FakeMessageService : public MessageService {
  public:
    struct Event {
        bool beep = false;
        QString text;
        MessageButtons buttons = MessageButtons::Ok;
        MessageIcon icon = MessageIcon::None;
    };

    MessageAnswer Ask(const QString& text, MessageButtons buttons, MessageIcon icon) override {
        events_.push_back({false, text, buttons, icon});
        if (buttons == MessageButtons::Ok) {
            return MessageAnswer::Ok;
        }
        if (answers_.empty()) {
            ADD_FAILURE() << "unexpected question: " << text.toStdString();
            return buttons == MessageButtons::YesNo ? MessageAnswer::No : MessageAnswer::Cancel;
        }
        const MessageAnswer answer = answers_.front();
        answers_.pop_front();
        return answer;
    }

    void Beep() override { events_.push_back({true, {}, MessageButtons::Ok, MessageIcon::None}); }

    void AnswerNext(MessageAnswer answer) { answers_.push_back(answer); }
    bool AllAnswersUsed() const { return answers_.empty(); }

    const std::vector<Event>& Events() const { return events_; }
    // The texts of the message boxes shown, in order (beeps left out).
    std::vector<QString> Texts() const {
        std::vector<QString> texts;
        for (const Event& e : events_) {
            if (!e.beep) {
                texts.push_back(e.text);
            }
        }
        return texts;
    }
    int BeepCount() const {
        int beeps = 0;
        for (const Event& e : events_) {
            beeps += e.beep ? 1 : 0;
        }
        return beeps;
    }
    void Forget() { events_.clear(); }

  private:
    std::vector<Event> events_;
    std::deque<MessageAnswer> answers_;
};

}  // namespace korvex::testing
