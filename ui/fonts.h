#pragma once

namespace korvex {

// The interface names Windows fonts ("ＭＳ 明朝", "メイリオ", "HG丸ｺﾞｼｯｸM-PRO",
// "Times New Roman"); this maps each to the closest installed face (IPA or Noto CJK,
// a serif Latin face) and makes "メイリオ" the program's font.
void InstallFontSubstitutions();

}  // namespace korvex
