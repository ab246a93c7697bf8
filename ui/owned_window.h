#pragma once

class QWidget;

namespace korvex {

// Makes `window`, a top-level window without a parent (so it inherits none of its owner's
// style sheet), stay above `owner` as the window system's transient window of it. Both
// remain usable: nothing is modal.
void StayAboveOwner(QWidget* window, QWidget* owner);

}  // namespace korvex
