#include "ui/fonts.h"

#include <QApplication>
#include <QFont>
#include <QStringList>

#include "report/report_painter.h"

namespace korvex {
void InstallFontSubstitutions() {
    const QStringList gothic = {"IPAPGothic", "IPAGothic", "Noto Sans CJK JP", "DejaVu Sans"};
    // The same faces as the printed report, which also runs without this program.
    const QStringList mincho = InstalledMinchoFamilies();
    const QStringList rounded = {"Noto Sans CJK JP", "IPAPGothic", "IPAGothic", "DejaVu Sans"};
    const QStringList serif = {"Liberation Serif", "DejaVu Serif", "Noto Serif CJK JP"};

    QFont::insertSubstitutions("メイリオ", InstalledFamilies(gothic));
    QFont::insertSubstitutions("ＭＳ 明朝", mincho);
    QFont::insertSubstitutions("HG丸ｺﾞｼｯｸM-PRO", InstalledFamilies(rounded));
    // Japanese text inside a Latin-font label still needs a Japanese face.
    QFont::insertSubstitutions("Times New Roman", InstalledFamilies(serif) + mincho);

    QFont font("メイリオ");
    font.setPointSize(10);
    QApplication::setFont(font);
}

}  // namespace korvex
