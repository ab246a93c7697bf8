<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="ja">
<context>
    <name>korvex::BeamPlotWindow</name>
    <message>
        <source>線質と深部線量</source>
        <translation>Beam quality and depth dose</translation>
    </message>
    <message>
        <source> 付加フィルタ後と天板等価層の後の光子数スペクトル（1 keV あたり、全光子数 = 1）。70 kV を超えるとタングステンの K 線が現れます </source>
        <translation>Photon-number spectrum after the added filtration and after the couch-equivalent layer (per keV, total photons = 1). Above 70 kV the tungsten K lines appear.</translation>
    </message>
    <message>
        <source> 天板等価層から体内への中心軸上の線量（表面の線量 = 1）。破線が皮膚の深さ（天板等価厚）です </source>
        <translation>Dose on the central axis from the couch-equivalent layer into the body (surface dose = 1). The dashed line is the depth of the skin (the couch-equivalent thickness).</translation>
    </message>
    <message>
        <source>計算結果がありません</source>
        <translation>No calculation result</translation>
    </message>
    <message>
        <source>管電圧 </source>
        <translation>Tube voltage </translation>
    </message>
</context>
<context>
    <name>korvex::Core</name>
    <message>
        <source>Ｘ線室または装置の名称</source>
        <translation>X-ray room or unit name</translation>
    </message>
    <message>
        <source>焦点-受像器間距離</source>
        <translation>Focus-image receptor distance</translation>
    </message>
    <message>
        <source>焦点-アイソセンター間距離</source>
        <translation>Focus-isocentre distance</translation>
    </message>
    <message>
        <source>Ｘ線管ターゲット角度</source>
        <translation>Tube target angle</translation>
    </message>
    <message>
        <source>固有フィルタ（Al 当量）</source>
        <translation>Inherent filtration (Al equivalent)</translation>
    </message>
    <message>
        <source>付加フィルタ（アルミ）</source>
        <translation>Added filtration (aluminium)</translation>
    </message>
    <message>
        <source>付加フィルタ（銅）</source>
        <translation>Added filtration (copper)</translation>
    </message>
    <message>
        <source>通常使用する管電圧</source>
        <translation>Typical tube voltage</translation>
    </message>
    <message>
        <source>実測空気カーマ（天板なし）</source>
        <translation>Measured air kerma (without couch)</translation>
    </message>
    <message>
        <source>実測空気カーマ（天板あり）</source>
        <translation>Measured air kerma (with couch)</translation>
    </message>
    <message>
        <source>装置表示値 Ka,r</source>
        <translation>Displayed Ka,r</translation>
    </message>
    <message>
        <source> 入力されていない箇所があります </source>
        <translation>Some boxes are empty.</translation>
    </message>
    <message>
        <source>&#x3000;フィルター材質が未選択です&#x3000;</source>
        <translation>No filter material is chosen.</translation>
    </message>
    <message>
        <source>&#x3000;フィルターの厚さを入力して下さい&#x3000;</source>
        <translation>Enter the filter thickness.</translation>
    </message>
    <message>
        <source>透視</source>
        <translation>Fluoroscopy</translation>
    </message>
    <message>
        <source>撮影</source>
        <translation>Acquisition</translation>
    </message>
    <message>
        <source>ステップ撮影</source>
        <translation>Stepping acquisition</translation>
    </message>
    <message>
        <source>回転撮影</source>
        <translation>Rotational acquisition</translation>
    </message>
    <message>
        <source> 未入力の項目があります </source>
        <translation>Some inputs are missing.</translation>
    </message>
    <message>
        <source>&#x3000;???  正しく計算できませんでした  ???   </source>
        <translation>The calculation could not be completed.</translation>
    </message>
    <message>
        <source> 正しく計算できません </source>
        <translation>Cannot be calculated</translation>
    </message>
    <message>
        <source>正方形 一辺長</source>
        <translation>Square side</translation>
    </message>
    <message>
        <source>直 径</source>
        <translation>Diameter</translation>
    </message>
    <message>
        <source>正 方 形</source>
        <translation>Square</translation>
    </message>
    <message>
        <source>&#x3000;これ以上の計算結果は保存できません。現在の結果表を一旦保存し、データ消去後、新たな結果表に保存して下さい。</source>
        <translation>The results table is full. Save the current table, clear it and continue in a new one.</translation>
    </message>
    <message>
        <source>&#x3000;コメントおよびファイル名を入力して下さい&#x3000;</source>
        <translation>Enter a comment and a file name.</translation>
    </message>
    <message>
        <source>&#x3000;計算結果を エクセル csv形式 で保存しました&#x3000;</source>
        <translation>The results were saved as a CSV file.</translation>
    </message>
    <message>
        <source>&#x3000;ファイルを選択して下さい&#x3000;</source>
        <translation>Choose a file.</translation>
    </message>
    <message>
        <source>&#x3000;*** このファイルは正しく読み込めません&#x3000;***  </source>
        <translation>This file cannot be read.</translation>
    </message>
    <message>
        <source>ユーザー名は１行で入力して下さい（改行や制御文字は使えません）</source>
        <translation>Enter the user name on one line (no line breaks or control characters).</translation>
    </message>
    <message>
        <source>ユーザー名に Shift_JIS (CP932) で保存できない文字が含まれています</source>
        <translation>The user name contains characters that cannot be stored in Shift_JIS (CP932).</translation>
    </message>
    <message>
        <source>名前が入力されていません</source>
        <translation>No name was entered.</translation>
    </message>
    <message>
        <source>マットの厚さ</source>
        <translation>Mattress thickness</translation>
    </message>
</context>
<context>
    <name>korvex::DeviceDialog</name>
    <message>
        <source>  装置データ作成</source>
        <translation>Create device data</translation>
    </message>
    <message>
        <source>使用するＸ線装置の基本データを作成します。</source>
        <translation>Creates the basic data of an X-ray unit.</translation>
    </message>
    <message>
        <source>同じＸ線室・装置であっても、フィルタの組み合わせが異なる場合は、それぞれについてこのデータを（名称を変えて）作成する必要があります。</source>
        <translation>Even for the same room and unit, each combination of filters needs data of its own (under another name).</translation>
    </message>
    <message>
        <source>組織等価層（天板に密着）</source>
        <translation>Tissue-equivalent layer (in contact with the couch)</translation>
    </message>
    <message>
        <source>天板あり：線量計を天板の上面に密着させ、マットを敷かずに測定します。</source>
        <translation>With couch: the dosimeter lies directly on the couch top, measured without mattress.</translation>
    </message>
    <message>
        <source>天板＋マット</source>
        <translation>Table top and mattress</translation>
    </message>
    <message>
        <source>天板あり：患者が寝る位置のマットの上に線量計を置いて測定し、天板なし：同じ位置で天板とマットを外して測定します（その比が透過率）。マットの厚さは患者の下に敷いた状態の厚さです。</source>
        <translation>With couch: the dosimeter lies on the mattress where the patient lies; without couch: at the same point with table top and mattress removed (their ratio is the transmission). The mattress thickness is as it lies under the patient.</translation>
    </message>
    <message>
        <source>Ｘ線室 または 装置の名称</source>
        <translation>X-ray room or unit name</translation>
    </message>
    <message>
        <source>&#x3000;焦点-受像器間距離</source>
        <translation>Focus-image receptor distance</translation>
    </message>
    <message>
        <source>焦点-アイソセンター間距離</source>
        <translation>Focus-isocentre distance</translation>
    </message>
    <message>
        <source> Ｘ線管ターゲット角度</source>
        <translation>Tube target angle</translation>
    </message>
    <message>
        <source>&#x3000;度</source>
        <translation>°</translation>
    </message>
    <message>
        <source> 固有フィルタ (Al 当量)</source>
        <translation>Inherent filtration (Al equivalent)</translation>
    </message>
    <message>
        <source>以下、通常使用するフィルタを設定</source>
        <translation>The filtration in routine use:</translation>
    </message>
    <message>
        <source> 付加フィルタ (アルミ)</source>
        <translation>Added filtration (aluminium)</translation>
    </message>
    <message>
        <source> 付加フィルタ（ 銅 ）</source>
        <translation>Added filtration (copper)</translation>
    </message>
    <message>
        <source>任意フィルタ</source>
        <translation>Other filter</translation>
    </message>
    <message>
        <source>アルミ・銅以外のフィルター設定</source>
        <translation>Filter other than aluminium or copper</translation>
    </message>
    <message>
        <source>通常使用する管電圧</source>
        <translation>Typical tube voltage</translation>
    </message>
    <message>
        <source>天板モデル</source>
        <translation>Couch model</translation>
    </message>
    <message>
        <source>天板透過率 および&lt;br&gt;実測値/装置表示値 校正定数</source>
        <translation>Couch transmission and&lt;br&gt;measured/displayed calibration factor</translation>
    </message>
    <message>
        <source>・線量計でアイソセンターにおける空気カーマを測定</source>
        <translation>• Measure the air kerma at the isocentre with a dosimeter</translation>
    </message>
    <message>
        <source>・通常使用する管電圧に設定</source>
        <translation>• Set the typical tube voltage</translation>
    </message>
    <message>
        <source>・mAs 値は適当な値に設定</source>
        <translation>• Any suitable mAs</translation>
    </message>
    <message>
        <source>・照射野は K&lt;sub&gt;a,r&lt;/sub&gt; 検出器の大きさに絞る</source>
        <translation>• Collimate the field to the size of the K&lt;sub&gt;a,r&lt;/sub&gt; detector</translation>
    </message>
    <message>
        <source>実測空気カーマ (補正後)</source>
        <translation>Measured air kerma (corrected)</translation>
    </message>
    <message>
        <source>天板なし</source>
        <translation>Without couch</translation>
    </message>
    <message>
        <source>天板あり</source>
        <translation>With couch</translation>
    </message>
    <message>
        <source>装置表示値 K&lt;sub&gt;a,r&lt;/sub&gt;</source>
        <translation>Displayed K&lt;sub&gt;a,r&lt;/sub&gt;</translation>
    </message>
    <message>
        <source>K&lt;sub&gt;a,r&lt;/sub&gt; は患者照射基準点 (天板なし) の空気カーマ</source>
        <translation>K&lt;sub&gt;a,r&lt;/sub&gt; is the air kerma at the patient entrance reference point (without couch)</translation>
    </message>
    <message>
        <source>天板透過率</source>
        <translation>Couch transmission</translation>
    </message>
    <message>
        <source>天板の軟部組織等価厚 cm</source>
        <translation>Soft-tissue equivalent couch thickness (cm)</translation>
    </message>
    <message>
        <source>実測値/表示値 (同距離換算)</source>
        <translation>Measured/displayed (at the same distance)</translation>
    </message>
</context>
<context>
    <name>korvex::DoseReportWindow</name>
    <message>
        <source>作業フォルダーに装置データファイルがありません。先に装置データを作成して下さい。</source>
        <translation>The working folder has no device data file. Create the device data first.</translation>
    </message>
    <message>
        <source>表に追加する投影にチェックを入れて下さい。</source>
        <translation>Tick the projections to add to the table.</translation>
    </message>
    <message>
        <source>線量レポート</source>
        <translation>Dose reports</translation>
    </message>
    <message>
        <source>装置</source>
        <translation>Device</translation>
    </message>
    <message>
        <source>焦点-入射表面間距離（入力すると全イベント共通）</source>
        <translation>Focus-skin distance (when entered, for every event)</translation>
    </message>
    <message>
        <source>イベントごと</source>
        <translation>per event</translation>
    </message>
    <message>
        <source>空欄では各イベントの距離を照射の幾何（なければ患者照射基準点）から求めます</source>
        <translation>When empty, each event&apos;s distance comes from its geometry (else the patient entrance reference point)</translation>
    </message>
    <message>
        <source>cm&#x3000;正方形照射野</source>
        <translation>cm, square field</translation>
    </message>
    <message>
        <source>開始時刻</source>
        <translation>Start time</translation>
    </message>
    <message>
        <source>種類</source>
        <translation>Type</translation>
    </message>
    <message>
        <source>面</source>
        <translation>Plane</translation>
    </message>
    <message>
        <source>第一角度</source>
        <translation>Primary angle</translation>
    </message>
    <message>
        <source>第二角度</source>
        <translation>Secondary angle</translation>
    </message>
    <message>
        <source>焦点-皮膚 (cm)</source>
        <translation>Focus-skin (cm)</translation>
    </message>
    <message>
        <source>投影</source>
        <translation>Projection</translation>
    </message>
    <message>
        <source>注記</source>
        <translation>Notes</translation>
    </message>
    <message>
        <source>皮膚線量 (mGy) ／ 計算しなかった理由</source>
        <translation>Skin dose (mGy) / why not calculated</translation>
    </message>
    <message>
        <source>表に追加</source>
        <translation>Add to table</translation>
    </message>
    <message>
        <source>件数</source>
        <translation>Events</translation>
    </message>
    <message>
        <source>Σ皮膚線量 (mGy)</source>
        <translation>Σ skin dose (mGy)</translation>
    </message>
    <message>
        <source>照射イベント</source>
        <translation>Irradiation events</translation>
    </message>
    <message>
        <source>投影ごとの合計（同じ投影の照射野はすべて重なると仮定）</source>
        <translation>Totals per projection (fields of one projection assumed to overlap)</translation>
    </message>
    <message>
        <source>まとめ</source>
        <translation>Summary</translation>
    </message>
    <message>
        <source>イベントと投影</source>
        <translation>Events and projections</translation>
    </message>
    <message>
        <source>投影ごとの線量</source>
        <translation>Dose per projection</translation>
    </message>
    <message>
        <source>皮膚線量マップ</source>
        <translation>Skin-dose map</translation>
    </message>
    <message>
        <source>投影ごとの皮膚線量の和（同じ投影の照射野はすべて重なると仮定）。最大の投影を濃く、2・3・5 Gy を破線で示します。</source>
        <translation>Sum of the skin dose per projection (fields of one projection assumed to overlap). The largest projection is darker; 2, 3 and 5 Gy are dashed.</translation>
    </message>
    <message>
        <source>結果表の空きは %1 行で、選んだ %2 個の投影は入りません。結果表を保存して消去してから追加して下さい。</source>
        <translation>The results table has room for %1 rows; the %2 projections chosen do not fit. Save and clear the results table, then add them.</translation>
    </message>
    <message>
        <source>&#x3000;プリンターが見つかりません。線量レポートを PDF ファイルに保存しますか？&#x3000;</source>
        <translation>No printer was found. Save the dose report as a PDF file?</translation>
    </message>
    <message>
        <source>&#x3000;印刷できませんでした。プリンターの状態を確かめて下さい。&#x3000;</source>
        <translation>Printing failed. Check the printer.</translation>
    </message>
    <message>
        <source>線量レポート.pdf</source>
        <translation>dose-report.pdf</translation>
    </message>
    <message>
        <source>患者情報を含める</source>
        <translation>Include patient data</translation>
    </message>
    <message>
        <source>印刷と PDF に、レポートにある患者氏名と患者 ID を載せます</source>
        <translation>Print the patient&apos;s name and ID from the reports on the printout and the PDF</translation>
    </message>
    <message>
        <source>印刷…</source>
        <translation>Print…</translation>
    </message>
    <message>
        <source>プレビュー</source>
        <translation>Preview</translation>
    </message>
    <message>
        <source>PDF 保存…</source>
        <translation>Save PDF…</translation>
    </message>
    <message>
        <source>なし</source>
        <translation>none</translation>
    </message>
    <message>
        <source>&lt;b&gt;%1&lt;/b&gt;&#x3000;%2 %3&#x3000;%4&#x3000;検査 %5&#x3000;イベント %6 件&#x3000;基準点: %7</source>
        <translation>&lt;b&gt;%1&lt;/b&gt;  %2 %3  %4  study %5  %6 events  reference point: %7</translation>
    </message>
    <message>
        <source>記載なし</source>
        <translation>not stated</translation>
    </message>
    <message>
        <source>（k = 2）</source>
        <translation> (k = 2)</translation>
    </message>
    <message>
        <source>皮膚線量マップの</source>
        <translation>Skin-dose map: </translation>
    </message>
    <message>
        <source>%1: &lt;b&gt;%2&lt;/b&gt;%3（%4。同じ投影の照射野が重なると仮定）</source>
        <translation>%1: &lt;b&gt;%2&lt;/b&gt;%3 (%4; fields of one projection assumed to overlap)</translation>
    </message>
    <message>
        <source>投影ごとの推定</source>
        <translation>Estimate per projection</translation>
    </message>
    <message>
        <source>推定最大皮膚線量</source>
        <translation>Estimated peak skin dose</translation>
    </message>
    <message>
        <source>計算モデル: %1</source>
        <translation>Dose model: %1</translation>
    </message>
    <message>
        <source>全イベントの皮膚線量の和: %1（すべての照射野が重なる場合の上限）</source>
        <translation>Sum of the skin doses of all events: %1 (upper bound, every field overlapping)</translation>
    </message>
    <message>
        <source>イベント: 計算 %1 件、計算しなかった %2 件、重複 %3 件</source>
        <translation>Events: %1 calculated, %2 not calculated, %3 duplicates</translation>
    </message>
    <message>
        <source>注記: %1 件（%2 イベント。各イベントの「注記」列）</source>
        <translation>Notes: %1 (%2 events; see each event&apos;s &quot;Notes&quot; column)</translation>
    </message>
    <message>
        <source>Ka,r: 計算 %1 ＋ 含まれない %2 ／ レポートの累積値 %3</source>
        <translation>Ka,r: calculated %1 + not included %2 / report&apos;s accumulated value %3</translation>
    </message>
    <message>
        <source>P_KA: 計算 %1 ＋ 含まれない %2 ／ レポートの累積値 %3</source>
        <translation>P_KA: calculated %1 + not included %2 / report&apos;s accumulated value %3</translation>
    </message>
    <message>
        <source>面 %1: イベントの和 %2・%3 ／ レポート %4・%5</source>
        <translation>Plane %1: sum of events %2, %3 / report %4, %5</translation>
    </message>
    <message>
        <source>%1 %2 %3 %4 %5（%6）</source>
        <translation>%1 %2 %3 %4 %5 (%6)</translation>
    </message>
    <message>
        <source>＜</source>
        <translation>&lt;</translation>
    </message>
    <message>
        <source>投影ごとの推定（同じ投影の照射野だけが重なると仮定）: %1 mGy&#x3000;最大の 1 イベント: %2 mGy</source>
        <translation>Estimate per projection (only fields of one projection assumed to overlap): %1 mGy  largest single event: %2 mGy</translation>
    </message>
    <message>
        <source>マップのイベント %1 件、入らないイベント %2 件&#x3000;患者モデル: %3</source>
        <translation>Events on the map: %1, not on the map: %2  patient model: %3</translation>
    </message>
    <message>
        <source>患者モデルに置けるイベントがないため、皮膚線量マップはありません（第一・第二角度のあるイベントが必要です）。</source>
        <translation>No skin-dose map: no event can be placed on the patient model (events need a primary and a secondary angle).</translation>
    </message>
    <message>
        <source>・</source>
        <translation>• </translation>
    </message>
    <message>
        <source>（</source>
        <translation> (</translation>
    </message>
    <message>
        <source>）</source>
        <translation>)</translation>
    </message>
    <message>
        <source>%1 件: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>中心線が患者モデルの皮膚に当たる点までの距離</source>
        <translation>Distance to where the central ray meets the patient model&apos;s skin</translation>
    </message>
    <message>
        <source>全イベント共通に指定した距離</source>
        <translation>Distance entered for every event</translation>
    </message>
    <message>
        <source>照射の幾何がないため患者照射基準点までの距離</source>
        <translation>Distance to the patient entrance reference point (no geometry in the report)</translation>
    </message>
    <message>
        <source>。天板を通る照射</source>
        <translation>. The beam passes through the couch</translation>
    </message>
    <message>
        <source>。天板を通らない照射（天板なしで計算）</source>
        <translation>. The beam passes beside the couch (calculated without couch)</translation>
    </message>
    <message>
        <source>
マップに入っていません: </source>
        <translation>
Not on the map: </translation>
    </message>
</context>
<context>
    <name>korvex::ExitConfirmation</name>
    <message>
        <source>Korvex-2 を終了しますか ？</source>
        <translation>Quit Korvex-2?</translation>
    </message>
    <message>
        <source>はい</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>いいえ</source>
        <translation>No</translation>
    </message>
</context>
<context>
    <name>korvex::FilterDialog</name>
    <message>
        <source>  任意フィルター設定</source>
        <translation>Other filter</translation>
    </message>
    <message>
        <source>左のリストに含まれていない物質を
付加フィルターに使用する方法は
”はじめにお読み下さい.txt” 
に記載してあります。</source>
        <translation>How to use a material that is not
in the list on the left as added
filter is described in
&quot;はじめにお読み下さい.txt&quot; (Read me first).</translation>
    </message>
    <message>
        <source>フィルター材質の選択</source>
        <translation>Filter material</translation>
    </message>
    <message>
        <source>材質</source>
        <translation>Material</translation>
    </message>
    <message>
        <source>厚さ</source>
        <translation>Thickness</translation>
    </message>
    <message>
        <source>設 定</source>
        <translation>Set</translation>
    </message>
    <message>
        <source>解 除</source>
        <translation>Release</translation>
    </message>
    <message>
        <source>任意フィルターの設定を解除します</source>
        <translation>Releases the other filter</translation>
    </message>
</context>
<context>
    <name>korvex::FolderChooser</name>
    <message>
        <source>フォルダー...</source>
        <translation>Folder...</translation>
    </message>
    <message>
        <source>フォルダーの選択</source>
        <translation>Choose a folder</translation>
    </message>
</context>
<context>
    <name>korvex::LanguageChoiceBox</name>
    <message>
        <source>表示言語（次回の起動から）</source>
        <translation>Language (from the next start)</translation>
    </message>
    <message>
        <source>自動</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>表示言語は次回の起動から変わります。</source>
        <translation>The language changes at the next start.</translation>
    </message>
</context>
<context>
    <name>korvex::MainWindow</name>
    <message>
        <source>頭部</source>
        <translation>Head</translation>
    </message>
    <message>
        <source>胸部背面</source>
        <translation>Chest, posterior</translation>
    </message>
    <message>
        <source>腹部背面</source>
        <translation>Abdomen, posterior</translation>
    </message>
    <message>
        <source>線質・深部線量</source>
        <translation>Beam quality, depth dose</translation>
    </message>
    <message>
        <source> この計算の光子スペクトルと深部線量曲線を表示します </source>
        <translation>Shows the photon spectrum and the depth-dose curve of this calculation</translation>
    </message>
    <message>
        <source>患者照射基準点の Ka,r を皮膚までの距離で逆二乗補正し、天板の減弱は 1 回だけ数えます。全照射のモンテカルロ計算と ±2 %（天板＋マットの装置は ±3.5 %）以内で一致します。</source>
        <translation>Ka,r at the patient entrance reference point is corrected to the skin by the inverse square; the couch attenuates once. Agrees with full-exposure Monte Carlo within ±2 % (±3.5 % for table top and mattress).</translation>
    </message>
    <message>
        <source>以前のプログラムの式です。皮膚が基準点にないときの逆二乗補正がなく、天板を 2 回数えるため、皮膚線量が最大 4 割低く（遠いときは 3 割高く）なります。以前の結果の再現だけに使って下さい。</source>
        <translation>The formula of earlier programs: no inverse-square correction when the skin is not at the reference point, and the couch counted twice, so the skin dose is up to 40 % low (30 % high when farther). Use it only to reproduce earlier results.</translation>
    </message>
    <message>
        <source> 計算モデルの選択は次回の起動に引き継がれません。</source>
        <translation> The choice of dose model will not be kept for the next start.</translation>
    </message>
    <message>
        <source> 補正後の Ka,r × 天板の一次線透過率（患者照射基準点の値） </source>
        <translation>Corrected Ka,r × primary couch transmission (at the patient entrance reference point)</translation>
    </message>
    <message>
        <source> 皮膚（天板の後ろ、焦点-入射表面間距離）での一次線空気カーマ：補正後の Ka,r を基準点から皮膚まで逆二乗で補正し、天板等価層を透過させた値 </source>
        <translation>Primary air kerma at the skin (behind the couch, at the focus-skin distance): the corrected Ka,r carried from the reference point to the skin by the inverse square and through the couch-equivalent layer</translation>
    </message>
    <message>
        <source> 深部係数 × 後方散乱係数 × (FSD / (FSD − 天板等価厚))² </source>
        <translation>Depth factor × backscatter factor × (FSD / (FSD − couch-equivalent thickness))²</translation>
    </message>
    <message>
        <source> 入射表面皮膚組織吸収線量 ÷ 皮膚での一次線吸収線量 </source>
        <translation>Entrance-surface skin dose ÷ primary absorbed dose at the skin</translation>
    </message>
    <message>
        <source> このデータファイルを本当に削除しますか？ </source>
        <translation>Really delete this data file?</translation>
    </message>
    <message>
        <source>データファイル「%1」を削除できませんでした（%2）。</source>
        <translation>The data file &quot;%1&quot; could not be deleted (%2).</translation>
    </message>
    <message>
        <source>患者の入射表面皮膚組織吸収線量の算定</source>
        <translation>Entrance-surface skin dose of the patient</translation>
    </message>
    <message>
        <source>Ｘ線室・装置を選択</source>
        <translation>Choose the X-ray room or unit</translation>
    </message>
    <message>
        <source>削 除</source>
        <translation>Delete</translation>
    </message>
    <message>
        <source>新規作成</source>
        <translation>New</translation>
    </message>
    <message>
        <source> Ｘ線管ターゲット角度</source>
        <translation>Tube target angle</translation>
    </message>
    <message>
        <source>度</source>
        <translation>°</translation>
    </message>
    <message>
        <source> 固有フィルタ (Al 当量)</source>
        <translation>Inherent filtration (Al equivalent)</translation>
    </message>
    <message>
        <source> 付加フィルタ (アルミ)</source>
        <translation>Added filtration (aluminium)</translation>
    </message>
    <message>
        <source> 付加フィルタ（ 銅 ）</source>
        <translation>Added filtration (copper)</translation>
    </message>
    <message>
        <source>付加フィルタ</source>
        <translation>Added filter</translation>
    </message>
    <message>
        <source>&#x3000;焦点-受像器間距離</source>
        <translation>Focus-image receptor distance</translation>
    </message>
    <message>
        <source>焦点-アイソセンター間距離</source>
        <translation>Focus-isocentre distance</translation>
    </message>
    <message>
        <source>以下の項目を入力して下さい</source>
        <translation>Enter the exposure</translation>
    </message>
    <message>
        <source>対象部位</source>
        <translation>Body site</translation>
    </message>
    <message>
        <source>&#x3000;Ｘ線管電圧</source>
        <translation>Tube voltage</translation>
    </message>
    <message>
        <source>患者照射基準点線量 K&lt;sub&gt;a,r&lt;/sub&gt;&lt;br&gt;&lt;small&gt;（天板なし）&lt;/small&gt;</source>
        <translation>Reference air kerma K&lt;sub&gt;a,r&lt;/sub&gt;&lt;br&gt;&lt;small&gt;(without couch)&lt;/small&gt;</translation>
    </message>
    <message>
        <source>面積空気カーマ積算値 P&lt;sub&gt;KA&lt;/sub&gt;&lt;br&gt;&lt;small&gt;（天板なし）&lt;/small&gt;</source>
        <translation>Kerma-area product P&lt;sub&gt;KA&lt;/sub&gt;&lt;br&gt;&lt;small&gt;(without couch)&lt;/small&gt;</translation>
    </message>
    <message>
        <source>Gy・cm&lt;sup&gt;2&lt;/sup&gt;</source>
        <translation>Gy·cm&lt;sup&gt;2&lt;/sup&gt;</translation>
    </message>
    <message>
        <source>照射野形状</source>
        <translation>Field shape</translation>
    </message>
    <message>
        <source>矩形(正方形)</source>
        <translation>Rectangle (square)</translation>
    </message>
    <message>
        <source>円形</source>
        <translation>Circle</translation>
    </message>
    <message>
        <source>患者照射基準点における照射野サイズ</source>
        <translation>Field size at the patient entrance reference point</translation>
    </message>
    <message>
        <source>実際の焦点-入射表面間距離</source>
        <translation>Actual focus-skin distance</translation>
    </message>
    <message>
        <source>この条件で計算する</source>
        <translation>Calculate</translation>
    </message>
    <message>
        <source>計算モデル</source>
        <translation>Dose model</translation>
    </message>
    <message>
        <source>補正後の患者照射基準点線量 cK&lt;sub&gt;a,r&lt;/sub&gt;（天板なし）</source>
        <translation>Corrected reference air kerma cK&lt;sub&gt;a,r&lt;/sub&gt; (without couch)</translation>
    </message>
    <message>
        <source>補正後の面積空気カーマ積算値 cP&lt;sub&gt;KA&lt;/sub&gt;（天板なし）</source>
        <translation>Corrected kerma-area product cP&lt;sub&gt;KA&lt;/sub&gt; (without couch)</translation>
    </message>
    <message>
        <source>天板の一次線透過率</source>
        <translation>Primary couch transmission</translation>
    </message>
    <message>
        <source>入射表面における一次線空気カーマ（天板あり）</source>
        <translation>Primary air kerma at the entrance surface (with couch)</translation>
    </message>
    <message>
        <source>一次線の吸収線量／空気カーマ比（皮膚組織）</source>
        <translation>Primary absorbed dose / air kerma ratio (skin tissue)</translation>
    </message>
    <message>
        <source>軟部組織吸収線量に基づく入射面への&lt;br&gt;前方+後方散乱係数</source>
        <translation>Forward + backscatter factor at the entrance&lt;br&gt;surface (soft-tissue absorbed dose)</translation>
    </message>
    <message>
        <source>入射表面皮膚組織吸収線量</source>
        <translation>Entrance-surface skin dose</translation>
    </message>
    <message>
        <source> 皮膚線量の拡張不確かさ（k = 2）：手法、基準データ、線量計の校正、焦点-皮膚間距離（±2 cm）、照射野サイズから求めています </source>
        <translation>Expanded uncertainty of the skin dose (k = 2): method, reference data, dosimeter calibration, focus-skin distance (±2 cm) and field size</translation>
    </message>
    <message>
        <source> 第１半価層：細いビームの空気カーマを半分にするアルミニウムの厚さ。平均エネルギー：光子数スペクトルの平均 </source>
        <translation>First HVL: the aluminium thickness that halves the air kerma of a narrow beam. Mean energy: mean of the photon-number spectrum</translation>
    </message>
    <message>
        <source>結果を表に追加する</source>
        <translation>Add to the results table</translation>
    </message>
    <message>
        <source>計算結果をクリアする</source>
        <translation>Clear the results</translation>
    </message>
    <message>
        <source>線量レポート読込</source>
        <translation>Read dose reports</translation>
    </message>
    <message>
        <source> Ｘ線装置の線量レポート (RDSR) の全照射を計算します </source>
        <translation>Calculates every irradiation of an X-ray unit&apos;s dose report (RDSR)</translation>
    </message>
    <message>
        <source>終了する</source>
        <translation>Quit</translation>
    </message>
    <message>
        <source> ダブルクリック </source>
        <translation>Double-click</translation>
    </message>
    <message>
        <source>ようこそ Korvex-2 へ ： 最初にユーザー名を登録して下さい</source>
        <translation>Welcome to Korvex-2: first register a user name</translation>
    </message>
</context>
<context>
    <name>korvex::PrinterService</name>
    <message>
        <source>印刷プレビュー</source>
        <translation>Print preview</translation>
    </message>
    <message>
        <source>PDF に保存</source>
        <translation>Save as PDF</translation>
    </message>
    <message>
        <source>印刷</source>
        <translation>Print</translation>
    </message>
</context>
<context>
    <name>korvex::ProgramWindows</name>
    <message>
        <source>線量レポートを開く</source>
        <translation>Open dose reports</translation>
    </message>
    <message>
        <source>線量レポート (*.dcm *.DCM);;すべてのファイル (*)</source>
        <translation>Dose reports (*.dcm *.DCM);;All files (*)</translation>
    </message>
    <message>
        <source>「%1」は Korvex-2 で開けるファイルではありません。
開けるのは装置データ（*.kvx2、*.kvx）、計算結果（*.csv）、線量レポート（DICOM RDSR）です。</source>
        <translation>&quot;%1&quot; is not a file Korvex-2 can open.
It opens device data (*.kvx2, *.kvx), results tables (*.csv) and dose reports (DICOM RDSR).</translation>
    </message>
    <message>
        <source>装置データ「%1」を作業フォルダーに追加して選択しますか？</source>
        <translation>Add the device data &quot;%1&quot; to the working folder and choose it?</translation>
    </message>
    <message>
        <source>作業フォルダーには内容の異なる同じ名前の装置データ「%1」があります。
作業フォルダーのファイルを開いたファイルで置き換えて選択しますか？</source>
        <translation>The working folder already has different device data named &quot;%1&quot;.
Replace the working folder&apos;s file with the one opened and choose it?</translation>
    </message>
    <message>
        <source>装置データ「%1」は装置の一覧に表示されないため選択できません。</source>
        <translation>The device data &quot;%1&quot; cannot be chosen: it is not shown in the list of devices.</translation>
    </message>
</context>
<context>
    <name>korvex::ResultsReadDialog</name>
    <message>
        <source>計算結果表を読み込みます</source>
        <translation>Read a results table</translation>
    </message>
    <message>
        <source>ファイルを選択して下さい</source>
        <translation>Choose a file</translation>
    </message>
    <message>
        <source>このファイルのコメント</source>
        <translation>Comment of this file</translation>
    </message>
</context>
<context>
    <name>korvex::ResultsSaveDialog</name>
    <message>
        <source>エクセル csv フォーマットで</source>
        <translation>as a CSV file (Excel)</translation>
    </message>
    <message>
        <source>計算結果表を保存します</source>
        <translation>Save the results table</translation>
    </message>
    <message>
        <source>既存ファイル名</source>
        <translation>Existing files</translation>
    </message>
    <message>
        <source>コメントを入力して下さい</source>
        <translation>Enter a comment</translation>
    </message>
    <message>
        <source>ファイル名を拡張子なしで入力して下さい</source>
        <translation>Enter a file name without extension</translation>
    </message>
</context>
<context>
    <name>korvex::ResultsWindow</name>
    <message>
        <source>&#x3000;現在表示されている計算結果は削除されます&#x3000;</source>
        <translation>The results shown will be deleted.</translation>
    </message>
    <message>
        <source>保存するデータがありません</source>
        <translation>There is nothing to save.</translation>
    </message>
    <message>
        <source>&#x3000;ファイル読出を行うと、現在表示されている計算結果は削除されます。</source>
        <translation>Reading a file deletes the results shown.</translation>
    </message>
    <message>
        <source>線量の合計を計算できません（値が大きすぎます）。</source>
        <translation>The dose total cannot be calculated (the values are too large).</translation>
    </message>
    <message>
        <source>合 計 ⇒</source>
        <translation>Total ⇒</translation>
    </message>
    <message>
        <source>データ保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>データ読込</source>
        <translation>Read</translation>
    </message>
    <message>
        <source>印 刷</source>
        <translation>Print</translation>
    </message>
    <message>
        <source>PDF に保存</source>
        <translation>Save as PDF</translation>
    </message>
    <message>
        <source>データ消去</source>
        <translation>Clear</translation>
    </message>
    <message>
        <source>&#x3000;プリンターは準備できていますか？&#x3000;</source>
        <translation>Is the printer ready?</translation>
    </message>
    <message>
        <source>&#x3000;プリンターが見つかりません。結果表を PDF ファイルに保存しますか？&#x3000;</source>
        <translation>No printer was found. Save the results table as a PDF file?</translation>
    </message>
    <message>
        <source>&#x3000;印刷できませんでした。プリンターの状態を確かめて下さい。&#x3000;</source>
        <translation>Printing failed. Check the printer.</translation>
    </message>
    <message>
        <source>結果表.pdf</source>
        <translation>results-table.pdf</translation>
    </message>
</context>
<context>
    <name>korvex::Start</name>
    <message>
        <source>参照データを読み込めないため Korvex-2 を起動できません。

</source>
        <translation>Korvex-2 cannot start: its reference data cannot be read.

</translation>
    </message>
</context>
<context>
    <name>korvex::UserNameWindow</name>
    <message>
        <source>ABC総合病院</source>
        <translation>ABC General Hospital</translation>
    </message>
    <message>
        <source>漢字，アルファベット，数字，記号 何でも OK</source>
        <translation>Any letters, digits and symbols</translation>
    </message>
    <message>
        <source>&#x3000;ユーザー名登録</source>
        <translation>Register a user name</translation>
    </message>
    <message>
        <source>&#x3000;ユーザー名変更</source>
        <translation>Change the user name</translation>
    </message>
    <message>
        <source>ようこそ Korvex-2 へ</source>
        <translation>Welcome to Korvex-2</translation>
    </message>
    <message>
        <source>ユーザー名を入力して下さい</source>
        <translation>Enter a user name</translation>
    </message>
    <message>
        <source>施設名，使用者名など</source>
        <translation>Facility, user, ...</translation>
    </message>
    <message>
        <source>新しいユーザー名を入力して下さい</source>
        <translation>Enter the new user name</translation>
    </message>
    <message>
        <source>本名，ニックネーム，施設名，グループ名 など</source>
        <translation>Name, nickname, facility, group, ...</translation>
    </message>
    <message>
        <source>初期画面右下のマスコット犬をダブルクリックすると</source>
        <translation>Double-click the mascot dog at the bottom right</translation>
    </message>
    <message>
        <source>ユーザー名を変更できます</source>
        <translation>of the start window to change the user name</translation>
    </message>
</context>
</TS>
