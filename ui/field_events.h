#pragma once

#include <QObject>
#include <functional>

class QWidget;

namespace korvex {

// The fields' two events of the program: the Enter key and leaving the field. Both are
// raised every time, whether the text changed or not. Enter is consumed (it never
// reaches the field, so an editable list does not add the typed text as an item).
class FieldEvents : public QObject {
    Q_OBJECT

  public:
    using Handler = std::function<void()>;

    // Watches a line edit, or an editable combo box together with its line edit. Either
    // handler may be empty. The watcher lives as long as the field.
    static void Watch(QWidget* field, Handler on_enter, Handler on_focus_lost = {});

  private:
    bool eventFilter(QObject* watched, QEvent* event) override;

    FieldEvents(QWidget* field, Handler on_enter, Handler on_focus_lost);

    Handler on_enter_;
    Handler on_focus_lost_;
};

}  // namespace korvex
