// The program's navigation as data. Each row is one control's click (or one
// window's load or close code): its panel steps, then its window steps, in
// exactly the order they run. Notation: steps.h.

#include "steptables.h"

namespace miravon {
namespace {

using enum WindowId;

// Panel state a window takes at load, and what some windows do on load and
// on close. Loading frmmain3 puts frmmain2 back on its first panel too.
constexpr StepRow loadRows[] = {
    {frmmain2, "", frmmain2, "A1_ on, A2_ off, bra_ off, bc1 off, cc1_ off, k8_ off", ""},
    {frmmain3, "", frmmain2, "A1_ on, A2_ off, bra_ off, bc1 off, cc1_ off, k8_ off", ""},
    // The movie window opens on its first page.
    {frmphim, "", frmphim, "trang1 on, trang2 off, trang3 off, trang4 off, trang5 off, trang6 off, trang7 off", ""},
    {frmsoft, "", frmsoft, "", "hide 1"},
    {frmtacgia, "", frmtacgia, "", "hide 1"},
};

constexpr StepRow closeRows[] = {
    {frmsoft, "", frmsoft, "", "show 1"},
    {frmtacgia, "", frmtacgia, "", "show 1"},
    {cauhinh, "", cauhinh, "", "show 1"},
};

constexpr StepRow pageButtonRows[] = {
    // The five USA pages of frmmain form a loop; anh1_ leads on to frmmain2.
    {frmmain, "ButtonUni1", frmmain, "usa2_ on, usa1_ off, usa3_ off, usa4_ off, usa5_ off, vn_ off, anh1_ off", ""},
    {frmmain, "ButtonUni2", frmmain, "usa3_ on, usa1_ off, usa2_ off, usa4_ off, usa5_ off, vn_ off, anh1_ off", ""},
    {frmmain, "ButtonUni3", frmmain, "usa4_ on, usa1_ off, usa2_ off, usa3_ off, usa5_ off, vn_ off, anh1_ off", ""},
    {frmmain, "ButtonUni4", frmmain, "usa5_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, vn_ off, anh1_ off", ""},
    {frmmain, "ButtonUni5", frmmain, "usa1_ on, usa2_ off, usa3_ off, usa4_ off, usa5_ off, vn_ off, anh1_ off", ""},
    {frmmain, "ButtonUni6", frmmain2, "A1_ on, A2_ off, bra_ off, cc1_ off, bc1 off, k8_ off",
     "close 1, close 3, show 2, hide 1, hide 3"},
    // German and Spanish pairs.
    {frmmain3, "ButtonUni1", frmmain3, "duc2 on, duc1 off", ""},
    {frmmain3, "ButtonUni2", frmmain3, "duc1 on, duc2 off", ""},
    {frmmain5, "ButtonUni1", frmmain5, "spain2 on, spain1 off, bang1 off, khung2 off", ""},
    {frmmain5, "ButtonUni2", frmmain5, "spain1 on, spain2 off, bang1 off, khung2 off", ""},
    // The Italian pair, so that I2 can be reached.
    {frmmain4, "ButtonI1next", frmmain4, "I2 on, I1 off", ""},
    {frmmain4, "ButtonI2back", frmmain4, "I1 on, I2 off", ""},
    // The movie window's ring of pages; button numbers do not follow the pages.
    {frmphim, "ButtonUni1", frmphim, "trang1 off, trang2 on, trang3 off, trang4 off, trang5 off, trang6 off, trang7 off", ""},
    {frmphim, "ButtonUni4", frmphim, "trang1 off, trang2 off, trang3 on, trang4 off, trang5 off, trang6 off, trang7 off", ""},
    {frmphim, "ButtonUni3", frmphim, "trang1 off, trang2 off, trang3 off, trang4 on, trang5 off, trang6 off, trang7 off", ""},
    {frmphim, "ButtonUni2", frmphim, "trang1 off, trang2 off, trang3 off, trang4 off, trang5 on, trang6 off, trang7 off", ""},
    {frmphim, "ButtonUni5", frmphim, "trang1 off, trang2 off, trang3 off, trang4 off, trang5 off, trang6 on, trang7 off", ""},
    {frmphim, "ButtonUni6", frmphim, "trang1 off, trang2 off, trang3 off, trang4 off, trang5 off, trang6 off, trang7 on", ""},
    {frmphim, "ButtonUni7", frmphim, "trang1 on, trang2 off, trang3 off, trang4 off, trang5 off, trang6 off, trang7 off", ""},
};

// The country chooser. Country entries load every window their row names
// before their first step (steps.cpp), so the chosen panel is the one shown.
constexpr StepRow chooserRows[] = {
    // Its own buttons.
    {chonkenh, "cont", chonkenh, "qg1 off, qg2 on, qg3 off", ""},
    {chonkenh, "ButtonUni2", chonkenh, "qg1 off, qg2 off, qg3 on", ""},
    {chonkenh, "ButtonUni3", chonkenh, "qg1 on, qg2 off, qg3 off", ""},
    {chonkenh, "ButtonUni1", chonkenh, "", "hide chonkenh"},
    // Page 1.
    {chonkenh, "LabelUni1", frmmain,
     "anh1_ off, vn_ off, usa1_ on, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni2", frmmain,
     "anh1_ on, vn_ off, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, hide 2, show 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label1", frmmain2,
     "A1_ off, A2_ off, bra_ off, bc1 on, cc1_ off, k8_ off",
     "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label5", frmmain2,
     "A1_ off, A2_ on, bra_ off, bc1 off, cc1_ off, k8_ off",
     "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni5", frmmain2,
     "A1_ off, A2_ off, bra_ on, cc1_ off, bc1 off, k8_ off",
     "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label8", frmmain2,
     "A1_ off, A2_ off, bra_ off, bc1 on, cc1_ off, k8_ off",
     "close 2, close 3, show 2, hide 3, hide 1, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni6", frmmain2,
     "A1_ off, A2_ off, bc1 on, cc1_ off, bra_ off, k8_ off",
     "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni7", frmmain2,
     "A1_ off, A2_ off, bra_ off, bc1 off, cc1_ on, k8_ off",
     "close 1, close 3, show 2, hide 1, hide 3"},
    {chonkenh, "Label11", frmmain2,
     "A1_ off, A2_ off, bra_ off, bc1 off, cc1_ off, k8_ on",
     "close 1, close 3, show 2, hide 1, hide 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label25", frmmain3,
     "phap off, def on, GGH off, duc1 off, duc2 off, hungary off, iran off",
     "show 3, hide 1, hide 2, close 1, close 2, hide 4, hide 5, close 5, hide M, close M"},
    // Page 2.
    {chonkenh, "LabelUni12", frmmain3,
     "phap on, def off, GGH off, duc1 off, duc2 off, hungary off, iran off",
     "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni13", frmmain3,
     "phap off, def off, GGH on, duc1 off, duc2 off, hungary off, iran off",
     "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni9", frmmain3,
     "phap off, def off, GGH on",
     "close 1, close 2, hide 2, hide 1, show 3"},
    {chonkenh, "LabelUni10", frmmain3,
     "phap off, def off, GGH off, duc1 on, duc2 off, hungary off, iran off",
     "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni17", frmmain3,
     "phap off, def off, GGH off, duc1 off, duc2 off, hungary on, iran off",
     "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label20", frmmain3,
     "phap off, def off, GGH off, duc1 off, duc2 off, hungary off, iran on",
     "close 1, close 2, hide 2, hide 1, show 3, hide 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label17", frmmain4,
     "def on, I1 off, I2 off, jm off, mali off, NetherLands off, philip off",
     "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5"},
    {chonkenh, "LabelUni15", frmmain4,
     "def off, I1 on, I2 off, jm off, mali off, NetherLands off, philip off",
     "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label23", frmmain4,
     "def off, I1 off, I2 off, jm on, mali off, NetherLands off, philip off",
     "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label26", frmmain4,
     "def off, I1 off, I2 off, jm off, mali on, NetherLands off, philip off",
     "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "LabelUni20", frmmain4,
     "NetherLands on, def off, I1 off, I2 off, jm off, mali off, philip off",
     "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
    {chonkenh, "Label30", frmmain4,
     "NetherLands off, def off, I1 off, I2 off, jm off, mali off, philip on",
     "close 1, close 2, close 3, hide 2, hide 1, hide 3, show 4, hide 5, close 5, hide M, close M"},
    // Page 3.
    {chonkenh, "Label33", frmmain5,
     "bang1 on, khung2 off, spain1 off, spain2 off, khung5 off, khung6 off, khung7 off",
     "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
    {chonkenh, "Label32", frmmain5,
     "bang1 off, khung2 on, spain1 off, spain2 off, khung5 off, khung6 off, khung7 off",
     "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, hide M, close M, close 4"},
    {chonkenh, "LabelUni23", frmmain5,
     "bang1 off, khung2 off, spain1 on, spain2 off, khung5 off, khung6 off, khung7 off",
     "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
    {chonkenh, "Label35", frmmain5,
     "bang1 off, khung2 off, spain1 off, spain2 off, khung5 on, khung6 off, khung7 off",
     "hide M, close M, show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4"},
    {chonkenh, "Label39", frmmain5,
     "bang1 off, khung2 off, spain1 off, spain2 off, khung5 off, khung6 on, khung7 off",
     "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
    {chonkenh, "LabelUni27", frmmain5,
     "bang1 off, khung2 off, spain1 off, spain2 off, khung5 off, khung6 off, khung7 on",
     "show 5, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M"},
    // Venezuela lives alone on frmmain6: the Turkey line's window steps aimed
    // at frmmain6, and frmmain5 put away like the others.
    {chonkenh, "LabelUni28", frmmain6,
     "khung6 on",
     "show 6, hide 1, hide 2, hide 3, hide 4, close 1, close 2, close 3, close 4, hide M, close M, hide 5, close 5"},
};

// Menu commands, one row per window and item. The author command differs by
// window; the film item is `Phim` on frmmain5 and absent from the movie window.
constexpr StepRow menuRows[] = {
    {frmmain, "asdf", frmmain, "anh1_ off, vn_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3"},
    {frmmain, "thegioi", chonkenh, "qg1 on, qg2 off, qg3 off", "show chonkenh"},
    {frmmain, "phim", frmmain, "",
     "show M, hide 1, hide 2, hide 3, hide 4, hide 5, hide 6, close 1, close 2, close 3, close 4, "
     "close 5, close 6"},
    {frmmain, "soft", frmmain, "", "show frmsoft"},
    {frmmain, "tacgia", frmmain, "", "show frmtacgia"},
    {frmmain, "yeucau", frmmain, "", "show cauhinh, hide 1"},
    {frmmain, "thoat", frmmain, "", "confirm exit, unload 1"},

    {frmmain2, "asdf", frmmain, "anh1_ off, vn_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3"},
    {frmmain2, "thegioi", chonkenh, "qg1 on, qg2 off, qg3 off", "show chonkenh"},
    {frmmain2, "phim", frmmain2, "",
     "show M, hide 1, hide 2, hide 3, hide 4, hide 5, hide 6, close 1, close 2, close 3, close 4, "
     "close 5, close 6"},
    {frmmain2, "soft", frmmain2, "", "show frmsoft"},
    {frmmain2, "tacgia", frmmain2, "", "show frmtacgia"},
    {frmmain2, "yeucau", frmmain2, "", "show cauhinh, hide 1"},
    {frmmain2, "thoat", frmmain2, "", "confirm exit, end"},

    {frmmain3, "asdf", frmmain, "anh1_ off, vn_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3"},
    {frmmain3, "thegioi", chonkenh, "qg1 on, qg2 off, qg3 off", "show chonkenh"},
    {frmmain3, "phim", frmmain3, "",
     "show M, hide 1, hide 2, hide 3, hide 4, hide 5, hide 6, close 1, close 2, close 3, close 4, "
     "close 5, close 6"},
    {frmmain3, "soft", frmmain3, "", "show frmsoft"},
    {frmmain3, "tacgia", frmmain3, "", "show frmtacgia, hide 1"},
    {frmmain3, "yeucau", frmmain3, "", "show cauhinh, hide 1"},
    {frmmain3, "thoat", frmmain3, "", "confirm exit, end"},

    {frmmain4, "asdf", frmmain, "anh1_ off, vn_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3"},
    {frmmain4, "thegioi", chonkenh, "qg1 on, qg2 off, qg3 off", "show chonkenh"},
    {frmmain4, "phim", frmmain4, "",
     "show M, hide 1, hide 2, hide 3, hide 4, hide 5, hide 6, close 1, close 2, close 3, close 4, "
     "close 5, close 6"},
    {frmmain4, "soft", frmmain4, "", "show frmsoft"},
    {frmmain4, "tacgia", frmmain4, "", "show frmtacgia, hide 1"},
    {frmmain4, "yeucau", frmmain4, "", "show cauhinh, hide 1"},
    {frmmain4, "thoat", frmmain4, "", "confirm exit, end"},

    {frmmain5, "asdf", frmmain, "anh1_ off, vn_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3"},
    {frmmain5, "thegioi", chonkenh, "qg1 on, qg2 off, qg3 off", "show chonkenh"},
    {frmmain5, "Phim", frmmain5, "",
     "show M, hide 1, hide 2, hide 3, hide 4, hide 5, hide 6, close 1, close 2, close 3, close 4, "
     "close 5, close 6"},
    {frmmain5, "soft", frmmain5, "", "show frmsoft"},
    {frmmain5, "tacgia", frmmain5, "", "show frmtacgia, hide 1"},
    {frmmain5, "yeucau", frmmain5, "", "show cauhinh, hide 1"},
    {frmmain5, "thoat", frmmain5, "", "confirm exit, end"},

    {frmmain6, "asdf", frmmain, "anh1_ off, vn_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3"},
    {frmmain6, "thegioi", chonkenh, "qg1 on, qg2 off, qg3 off", "show chonkenh"},
    {frmmain6, "phim", frmmain6, "",
     "show M, hide 1, hide 2, hide 3, hide 4, hide 5, hide 6, close 1, close 2, close 3, close 4, "
     "close 5, close 6"},
    {frmmain6, "soft", frmmain6, "", "show frmsoft"},
    {frmmain6, "tacgia", frmmain6, "", "show frmtacgia, hide 1"},
    {frmmain6, "yeucau", frmmain6, "", "show cauhinh, hide 1"},
    {frmmain6, "thoat", frmmain6, "", "confirm exit, end"},

    {frmphim, "asdf", frmmain, "anh1_ off, vn_ on, usa1_ off, usa2_ off, usa3_ off, usa4_ off, usa5_ off",
     "close 2, close 3, show 1, hide 2, hide 3"},
    {frmphim, "thegioi", chonkenh, "qg1 on, qg2 off, qg3 off", "show chonkenh"},
    {frmphim, "soft", frmphim, "", "show frmsoft"},
    {frmphim, "tacgia", frmphim, "", "show frmtacgia, hide 1"},
    {frmphim, "yeucau", frmphim, "", "show cauhinh, hide 1"},
    {frmphim, "thoat", frmphim, "", "confirm exit, end"},
};

} // namespace

std::span<const StepRow> stepRows(StepTable table)
{
    switch (table) {
    case StepTable::Load: return loadRows;
    case StepTable::Close: return closeRows;
    case StepTable::PageButton: return pageButtonRows;
    case StepTable::Chooser: return chooserRows;
    case StepTable::Menu: return menuRows;
    }
    return {};
}

} // namespace miravon
