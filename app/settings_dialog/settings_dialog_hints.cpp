#include "app/settings_dialog/settings_dialog_hints.h"

#include "app/settings_dialog/settings_dialog_layout.h"

namespace kvt::settings_dialog {
namespace {

struct CellHintRow {
    int cell;
    HintLines lines;
};

// MLD page: which handsets a button serves at which rates, and what the other buttons do.
constexpr CellHintRow kMldHints[] = {
    {0,
     {"[4000Hz]　 N503i N210i N211i N504i N251i N704iμ", "[8000Hz]　 N503i N210i N211i N504i N251i N704iμ",
      "[16000Hz]　N504i N251i N704iμ"}},
    {1, {"[4000Hz]～[16000Hz]", "N505i N505is N900i N901ic N902i N903i N904i N704iμ", ""}},
    {3, {"モノラルでファイルを作成します。", "", ""}},
    {4, {"[4000Hz]～[8000Hz]   D503i D211i D504i D251i", "[4000Hz]～[16000Hz]  D505i D505is D252i D506i D900i", ""}},
    {5,
     {"[4000Hz]～[8000Hz]   F211i F503i F251i F504i F901ic F700i", "[4000Hz]～[16000Hz]",
      "F505i F506i D901i D902i D700i D701i,D702i F902i"}},
    {7, {"可能な場合、ステレオでファイルを作成します。", "", ""}},
    {8, {"[4000Hz]～[8000Hz]", "P503i P211i P504i P251i", "[16000Hz] P900i P901i"}},
    {9, {"[4000Hz]～[16000Hz]", "P505i P505is P252i P252is P506ic", ""}},
    {12, {"[4000Hz]   SO504i SO505i", "[8000Hz]   SO504i SO505i", "[16000Hz]  SO505"}},
    {13, {"[4000Hz]～[8000Hz]   SO505is SO505ic", "", ""}},
    {15, {"4000Hzのファイルを生成します。", "", ""}},
    {16, {"[4000Hz]～[8000Hz]   SH251i SH505i", "[4000Hz]～[16000Hz]  SH505i", ""}},
    {17,
     {"[4000Hz]～[16000Hz]", "SH505is SH252i SH506ic SH900i SH901ic",
      "SO902i SO903i SO905i SH704i SH904i SH905i N905i N905iμ"}},
    {18, {"20Kバイトまでにファイルの生成を制限します。", "", ""}},
    {19, {"8000Hzのファイルを生成します。", "", ""}},
    {20, {"[4000Hz]   SA700i", "[8000Hz]   SA700i", "[16000Hz]  SA700i"}},
    {21, {"[4000Hz]～[16000Hz]", "SA702i P903i P904i P905i D903i D904i D905i D705iμ P705i", "F903i F904i F905i F704i"}},
    {22,
     {"100Kバイトまでにファイルの生成を制限します。", "ここでの選択に関係なく、機種により、20K以上のファイルを",
      "再生できない場合があります。"}},
    {23, {"16000Hzのファイルを生成します。", "", ""}},
    {27, {"32000Hzのファイルを生成します。", "", ""}},
};

}  // namespace

HintLines CellHint(int page, int cell) {
    if (page != kPageMld) return {};
    for (const CellHintRow& row : kMldHints) {
        if (row.cell == cell) return row.lines;
    }
    return {};
}

}  // namespace kvt::settings_dialog
