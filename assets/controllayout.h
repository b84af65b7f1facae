#pragma once

// The main window's controls: where each one stands, how big it is, its
// first text, its text colour and its pictures. The window builds itself
// from this table and the skin generator's preview draws from it, so the two
// never disagree. Plain data only: the generator links no widgets.

namespace layout {

struct Colour
{
    int r, g, b;
};

enum class Kind {
    Text,    // a transparent text label
    Picture, // a picture label
    Button,  // an image button
    Edit,    // the search box
    Combo,   // the keyword box
    List,    // the song list
    Frame,   // an invisible container
};

struct Control
{
    const char *name; // the object name
    Kind kind;
    int x, y, width, height; // inside the window, or inside `inside`
    const char *text = nullptr;  // first text, or a picture label's caption (UTF-8)
    Colour colour = {0, 0, 0};   // text colour
    // Pictures (file names under :/skin without ".png"): a picture label's
    // picture, or a button's faces.
    const char *normal = nullptr;
    const char *hover = nullptr;
    const char *pressed = nullptr;
    const char *checked = nullptr;
    const char *inside = nullptr; // the containing frame's name; none: the window
};

inline constexpr Colour kPeach = {254, 218, 186};
inline constexpr Colour kSilver = {192, 192, 192};
// The grey of the search captions: at least 4.5:1 against the skin behind
// them (the search strip's well), as 12-pixel text needs.
inline constexpr Colour kSearchIdle = {132, 132, 132};
inline constexpr Colour kHeaderText = {200, 206, 216};

inline constexpr int kWindowWidth = 580;
inline constexpr int kWindowHeight = 352;
inline constexpr int kWindowX = 50;
inline constexpr int kWindowY = 50;

using K = Kind;

// Every control, topmost first.
inline constexpr Control kControls[] = {
    {"播放下载标签", K::Text, 296, 293, 152, 16, "请选择一个列表播放", kPeach},
    {"进度透明标签", K::Text, 440, 293, 120, 12, "00:00/00:00", kPeach},
    {"停止下载标签", K::Text, 366, 32, 50, 18, "停止下载", {192, 96, 0}},
    {"下载透明标签", K::Text, 365, 32, 50, 18, "开始下载", {128, 128, 255}},
    {"下载提示透明标签", K::Text, 424, 32, 136, 16, "", {255, 0, 255}},
    {"刷新透明标签", K::Text, 330, 32, 30, 18, "刷新", {128, 224, 0}},
    {"标签15", K::Picture, 572, 60, 8, 18, nullptr, {}, "edge_right"},
    {"标签14", K::Picture, 0, 292, 7, 15, nullptr, {}, "edge_bl"},
    {"标签10", K::Picture, 573, 292, 7, 15, nullptr, {}, "edge_br"},
    {"打开图形按钮", K::Button, 247, 308, 21, 21, nullptr, {}, "open_normal", "open_hover"},
    {"音量外形框", K::Frame, 152, 306, 94, 23},
    // Inside the volume box, which clips them: icon over thumb over track.
    {"音量标签", K::Picture, -15, 0, 28, 23, nullptr, {}, "volume_icon", nullptr, nullptr, nullptr, "音量外形框"},
    {"音量拖动", K::Button, -13, 5, 70, 13, nullptr, {}, "volume_thumb", nullptr, nullptr, nullptr, "音量外形框"},
    {"拖动标签", K::Picture, 6, 0, 88, 23, nullptr, {}, "volume_track", nullptr, nullptr, nullptr, "音量外形框"},
    {"标签13", K::Picture, 120, 307, 12, 23, nullptr, {}, "volume_left"},
    {"图形按钮6", K::Button, 133, 311, 18, 13, nullptr, {}, "mute_normal", "mute_hover", nullptr, "mute_checked"},
    {"缓冲标签", K::Text, 100, 6, 350, 16, "准备就绪", kSilver},
    {"暂停图形按钮", K::Button, 20, 302, 30, 30, nullptr, {}, "play", nullptr, nullptr, "pause"},
    {"停止图形按钮", K::Button, 54, 308, 19, 19, nullptr, {}, "stop_normal", "stop_hover", "stop_pressed"},
    {"停止按钮", K::Button, 54, 311, 13, 13, nullptr, {}, "stopsmall_normal", "stopsmall_hover"},
    {"标签8", K::Picture, 11, 289, 557, 48, nullptr, {}, "controlbar"},
    {"图形按钮1", K::Button, 266, 32, 17, 18, nullptr, {}, "dropdown_normal", "dropdown_hover", "dropdown_pressed"},
    // Over the list's columns: number, title, singer.
    {"标签4", K::Picture, 200, 61, 372, 17, "演唱歌手", kHeaderText, "header"},
    {"标签3", K::Picture, 49, 61, 150, 17, "歌曲名称", kHeaderText, "header"},
    {"标签2", K::Picture, 8, 61, 40, 17, "序号", kHeaderText, "header"},
    {"搜索框", K::Edit, 85, 32, 182, 18},
    {"关键字框", K::Combo, 84, 31, 200, 20},
    {"搜索透明标签", K::Text, 294, 32, 30, 18, "搜索", kSearchIdle},
    {"提示标签", K::Text, 8, 4, 70, 20, " 沐弦音乐盒", kSilver},
    {"小化图形按钮", K::Button, 481, 1, 24, 16, nullptr, {}, "min_normal", "min_hover"},
    {"大化图形按钮", K::Button, 506, 1, 24, 16, nullptr, {}, "max_normal", "max_hover"},
    {"关闭图形按钮", K::Button, 532, 1, 40, 16, nullptr, {}, "close_normal", "close_hover"},
    {"提示透明标签", K::Text, 20, 33, 60, 18, "歌名或歌手", kSearchIdle},
    {"播放列表框", K::List, 8, 78, 565, 212},
    {"播放外形框", K::Frame, 14, 270, 552, 60},
};

// The control of that name; the table must hold it.
constexpr const Control &control(const char *name)
{
    for (const Control &c : kControls) {
        const char *a = c.name;
        const char *b = name;
        while (*a && *a == *b) {
            ++a;
            ++b;
        }
        if (*a == *b)
            return c;
    }
    throw "no control of that name in the layout table";
}

} // namespace layout
