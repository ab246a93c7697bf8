#include "mainwindow/exit_confirmation.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace korvex {

ExitConfirmation::ExitConfirmation(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    setObjectName("Form7");
    setWindowTitle("END");
    auto* layout = new QVBoxLayout(this);
    auto* question = new QLabel(tr("Korvex-2 を終了しますか ？"));
    question->setObjectName("Label1");
    question->setAlignment(Qt::AlignCenter);
    QFont font = question->font();
    font.setPointSizeF(font.pointSizeF() * 1.25);
    question->setFont(font);
    layout->addWidget(question);

    auto* buttons = new QHBoxLayout;
    auto* yes = new QPushButton(tr("はい"));
    yes->setObjectName("Command1");
    auto* no = new QPushButton(tr("いいえ"));
    no->setObjectName("Command2");
    no->setDefault(true);
    buttons->addStretch();
    buttons->addWidget(yes);
    buttons->addWidget(no);
    buttons->addStretch();
    layout->addLayout(buttons);

    connect(yes, &QPushButton::clicked, this, [this] { emit exitConfirmed(); });
    connect(no, &QPushButton::clicked, this, [this] {
        hide();
        emit exitDeclined();
    });
}

void ExitConfirmation::closeEvent(QCloseEvent* event) {
    // Closing the question by its frame is a "no": the program goes on.
    event->accept();
    emit exitDeclined();
}

}  // namespace korvex
