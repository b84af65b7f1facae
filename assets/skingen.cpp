/*
 * skingen - paints every picture of the music box's skin.
 *
 *   skingen OUTDIR                      write every picture below as OUTDIR/<name>,
 *                                       and again at twice the resolution as
 *                                       OUTDIR/<name>@2x.png (play@2x.png, 62x62)
 *   skingen --preview OUT.png [--scale N]
 *                                       compose the pictures into a picture of the
 *                                       whole window (three states, holes shown as
 *                                       a checkerboard, placeholder texts in their
 *                                       colours) followed by a sheet of every picture
 *   skingen --icons DIR NAME            write the application icon for the desktop as
 *                                       DIR/hicolor/<N>x<N>/apps/NAME.png at the usual
 *                                       theme sizes (16 to 256)
 *
 * Nothing here is drawn from a file: every picture is painted with QPainter, so the
 * skin can be changed by editing this program. The program checks its own output
 * (sizes, the window's holes, the colour keys) and exits non-zero on a mismatch, so
 * a wrong picture fails the build instead of reaching the window.
 *
 * Pictures (resource prefix /skin), width x height, and where they are shown
 * (window coordinates; "shown" is the control's rectangle, which clips the picture):
 *
 *   skin.png              580x352  window background; RGB(255,0,0) exactly where the
 *                                  window has holes (the four rounded corners) and
 *                                  nowhere else
 *   edge_right.png          8x24   标签15 at 572,60, shown 8x18: right end of the header
 *                                  and the frame beside it
 *   edge_bl.png             7x15   标签14 at 0,292: left frame beside the control bar
 *   edge_br.png             7x15   标签10 at 573,292: right frame beside the control bar
 *                                  (the three edge pieces carry the teal frame marks)
 *   open_normal.png        21x21   打开图形按钮 at 247,308 (eject symbol: open a file)
 *   open_hover.png         21x21
 *   volume_icon.png        28x23   音量标签, at -15,0 inside the volume box 152,306 94x23:
 *                                  only its right 13 columns show (the start of the
 *                                  level bar, which always runs on under it)
 *   volume_thumb.png       70x12   音量拖动 at t,5 inside the volume box (t = -48..12):
 *                                  a filled level bar ending in a knob at column 65.5
 *   volume_track.png       90x23   拖动标签 at 6,0 inside the volume box, shown 88x23:
 *                                  the empty groove the level bar runs in
 *   volume_left.png        34x23   标签13 at 120,307, shown 12x23: left end of the
 *                                  volume capsule
 *   mute_normal.png        18x13   图形按钮6 at 133,311: speaker
 *   mute_hover.png         17x17   pointer over (rows 0..12 show)
 *   mute_checked.png       18x13   checked = muted: crossed speaker
 *                                  (the three mute faces: RGB(255,0,255) = not drawn)
 *   play.png               31x31   暂停图形按钮 at 20,302, shown 30x30: play face
 *   pause.png              31x31   pause face (both: RGB(255,0,0) = not drawn)
 *   stop_normal.png        19x19   停止图形按钮 at 54,308
 *   stop_hover.png         19x19
 *   stop_pressed.png       19x19
 *   stopsmall_normal.png   13x13   停止按钮 at 54,311, always under 停止图形按钮
 *   stopsmall_hover.png    13x13
 *   controlbar.png        567x48   标签8 at 11,289, shown 557x48: the bar behind the
 *                                  player buttons, the volume capsule and the display
 *                                  behind the two status texts (296,293 and 440,293)
 *   dropdown_normal.png    17x20   图形按钮1 at 266,32, shown 17x18: drop-down arrow
 *   dropdown_hover.png     17x20
 *   dropdown_pressed.png   17x20
 *   header.png              4x17   tiled across 8..572 at y 61 (标签2, 标签3, 标签4)
 *   min_normal.png         24x16   小化图形按钮 at 481,1
 *   min_hover.png          24x16
 *   max_normal.png         24x16   大化图形按钮 at 506,1
 *   max_hover.png          24x16
 *   close_normal.png       40x16   关闭图形按钮 at 532,1
 *   close_hover.png        40x16
 *   tray.png               24x24   tray icon (with alpha)
 *   app.png                64x64   window icon (with alpha)
 *
 * Every picture is painted twice: at 1x, and at 2x with the painter scaled, so
 * a high-density screen gets twice the detail rather than an enlarged copy. The
 * sizes above are the 1x ones; the 2x pictures are exactly twice as wide and high.
 * At 2x the skin's holes are the 1x holes as whole 2x2 blocks, because the
 * window's shape is a mask in window units.
 *
 * Texts are never part of a picture: the labels draw them over the skin in their
 * own colours (light grey title and status, grey search captions, peach status
 * texts on the control bar's display), so the skin is a dark one for light text.
 *
 * How the pictures fit together: the whole window, control bar included, is first
 * painted into one master image. Every picture that sits on the window is cut from
 * that master at its place and its own face is painted over the cut, so the pieces
 * join the skin without a seam. The colour-keyed faces (play/pause, mute) are
 * painted on a transparent layer; their soft edges are blended with the master
 * below them and the untouched pixels become the key colour.
 */

#include "controllayout.h"

#include <QCoreApplication>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <map>
#include <memory>
#include <numbers>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace {

constexpr int kWidth = 580;
constexpr int kHeight = 352;
constexpr qreal kCornerRadius = 8.0;

const QRgb kHoleKey = qRgb(255, 0, 0);
const QRgb kMuteKey = qRgb(255, 0, 255);

// ---------------------------------------------------------------- palette

const QColor kOutside(5, 7, 10);            // behind the antialiased outline
const QColor kOutline(4, 6, 9);             // the window's outer line
const QColor kTitleTop(52, 62, 80);
const QColor kTitleBottom(33, 40, 53);
const QColor kBodyTop(27, 33, 44);
const QColor kBodyBottom(16, 20, 27);
const QColor kRule(9, 12, 17);              // dark separator lines
const QColor kPanel(14, 18, 25);            // list panel
const QColor kWell(11, 14, 20);             // recessed fields
const QColor kAccent(74, 204, 218);         // teal accent
const QColor kAccentDeep(28, 128, 150);
const QColor kGlyph(176, 188, 204);         // glyphs at rest
const QColor kGlyphHover(134, 230, 240);    // glyphs under the pointer
const QColor kPeach(254, 218, 186);         // colour of the control bar texts

QColor withAlpha(QColor c, int alpha)
{
    c.setAlpha(alpha);
    return c;
}

QLinearGradient vertical(qreal y0, qreal y1, const QColor &top, const QColor &bottom)
{
    QLinearGradient g(0, y0, 0, y1);
    g.setColorAt(0, top);
    g.setColorAt(1, bottom);
    return g;
}

QPainterPath roundedRect(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

QPainterPath windowShape()
{
    return roundedRect(QRectF(0, 0, kWidth, kHeight), kCornerRadius);
}

// A pixel is a hole when its centre lies outside the window's rounded outline.
bool isHole(int x, int y)
{
    const qreal px = x + 0.5, py = y + 0.5;
    const qreal cx = std::clamp(px, kCornerRadius, kWidth - kCornerRadius);
    const qreal cy = std::clamp(py, kCornerRadius, kHeight - kCornerRadius);
    return std::hypot(px - cx, py - cy) > kCornerRadius;
}

void hairline(QPainter &p, qreal x0, qreal x1, qreal y, const QColor &c)
{
    p.fillRect(QRectF(x0, y, x1 - x0, 1), c);
}

void vline(QPainter &p, qreal x, qreal y0, qreal y1, const QColor &c)
{
    p.fillRect(QRectF(x, y0, 1, y1 - y0), c);
}

// A horizontal line that fades in and out at its ends.
void glowLine(QPainter &p, qreal x0, qreal x1, qreal y, const QColor &c)
{
    QLinearGradient g(x0, 0, x1, 0);
    g.setColorAt(0, withAlpha(c, 0));
    g.setColorAt(0.5, c);
    g.setColorAt(1, withAlpha(c, 0));
    p.fillRect(QRectF(x0, y, x1 - x0, 1), g);
}

// A recessed rounded field: darker inside, a shadow along its top edge and a
// faint highlight along its bottom edge.
void paintWell(QPainter &p, const QRectF &r, qreal radius, const QColor &fill)
{
    const QPainterPath outer = roundedRect(r, radius);
    p.fillPath(roundedRect(r.translated(0, 1), radius), withAlpha(Qt::white, 14));
    p.fillPath(outer, QColor(5, 7, 10));
    const QRectF inner = r.adjusted(1, 1, -1, -1);
    p.fillPath(roundedRect(inner, radius - 1), fill);
    p.save();
    p.setClipPath(roundedRect(inner, radius - 1));
    p.fillRect(QRectF(inner.left(), inner.top(), inner.width(), 2),
               vertical(inner.top(), inner.top() + 2, withAlpha(Qt::black, 90), withAlpha(Qt::black, 0)));
    p.restore();
}

// ------------------------------------------------------------ window master

// The group behind the three title-bar buttons, hanging from the top edge.
const QRectF kTitleTab(479.5, -4.5, 94, 22);

// The control bar and what is built into it.
const QRectF kBar(11.5, 289.5, 556, 47);
const QRectF kDisplay(287.5, 292.5, 276, 41);
const QRectF kCapsule(121, 307, 124, 20);    // the volume capsule
constexpr qreal kLevelTop = 315, kLevelBottom = 319;   // the groove of the volume bar

void paintTitleBand(QPainter &p)
{
    const QPainterPath band = windowShape().intersected(roundedRect(QRectF(0, 0, kWidth, 26), 0));
    p.fillPath(band, vertical(0, 26, kTitleTop, kTitleBottom));
    // A soft sheen over the upper half of the band.
    p.fillPath(windowShape().intersected(roundedRect(QRectF(0, 0, kWidth, 12), 0)),
               vertical(0, 12, withAlpha(Qt::white, 16), withAlpha(Qt::white, 0)));
    hairline(p, 0, kWidth, 26, kRule);
    hairline(p, 0, kWidth, 27, withAlpha(Qt::white, 10));
    // A thin accent under the title, fading out towards the status text.
    glowLine(p, -80, 180, 25, withAlpha(kAccent, 120));

    // The title-button group: a slightly darker tab with rounded lower corners.
    p.fillPath(roundedRect(kTitleTab.translated(0, 1), 4), withAlpha(Qt::white, 16));
    p.fillPath(roundedRect(kTitleTab, 4), QColor(6, 8, 12));
    p.fillPath(roundedRect(kTitleTab.adjusted(1, 0, -1, -1), 3), vertical(0, 18, QColor(30, 37, 49), QColor(22, 27, 36)));
    // Separators in the gaps between the buttons (505 and 530..531).
    vline(p, 505, 3, 15, QColor(10, 13, 18));
    vline(p, 530, 3, 15, QColor(10, 13, 18));
    vline(p, 531, 3, 15, withAlpha(Qt::white, 12));
}

void paintSearchStrip(QPainter &p)
{
    paintWell(p, QRectF(8, 28, 564, 28), 4, QColor(20, 25, 34));
    // The well the search field and its combo box sit in.
    paintWell(p, QRectF(82, 30, 204, 23), 3, kWell);
    // Separators between the clickable words on the right.
    for (const qreal x : {290.0, 327.0, 362.0, 420.0}) {
        vline(p, x, 34, 51, QColor(8, 10, 14));
        vline(p, x + 1, 34, 51, withAlpha(Qt::white, 12));
    }
}

void paintHeaderStrip(QPainter &p, qreal x0, qreal x1)
{
    const QRectF strip(x0, 61, x1 - x0, 17);
    p.fillRect(strip, vertical(61, 78, QColor(45, 54, 70), QColor(31, 37, 49)));
    hairline(p, x0, x1, 61, QColor(66, 77, 96));
    hairline(p, x0, x1, 62, withAlpha(Qt::white, 8));
    hairline(p, x0, x1, 77, QColor(12, 15, 21));
}

void paintListPanel(QPainter &p)
{
    // Frame around the header strip and the list: a dark line with a faint
    // highlight outside its lower half.
    p.fillRect(QRectF(6, 59, 569, 233), withAlpha(Qt::white, 10));
    p.fillRect(QRectF(7, 60, 567, 231), QColor(5, 7, 10));
    p.fillRect(QRectF(8, 61, 565, 229), kPanel);
    p.fillRect(QRectF(8, 78, 565, 3), vertical(78, 81, withAlpha(Qt::black, 80), withAlpha(Qt::black, 0)));
    paintHeaderStrip(p, 8, 572);
    // Column dividers: the skin shows through the one-pixel gaps between the
    // three header captions.
    for (const qreal x : {48.0, 199.0}) {
        vline(p, x, 62, 77, QColor(13, 16, 22));
    }
    // The header's end under the right edge piece.
    vline(p, 572, 61, 78, QColor(13, 16, 22));
}

// The volume capsule and the display are part of the control bar.
void paintControlBar(QPainter &p)
{
    // Shadow below the bar, then the bar itself.
    p.fillPath(roundedRect(kBar.translated(0, 1.5), 5), withAlpha(Qt::black, 70));
    p.fillPath(roundedRect(kBar.adjusted(-0.5, -0.5, 0.5, 0.5), 5.5), QColor(6, 8, 12));
    const QRectF face = kBar.adjusted(0.5, 0.5, -0.5, -0.5);
    p.fillPath(roundedRect(face, 4.5), vertical(face.top(), face.bottom(), QColor(44, 53, 69), QColor(23, 28, 38)));
    p.save();
    p.setClipPath(roundedRect(face, 4.5));
    hairline(p, face.left(), face.right(), face.top(), withAlpha(Qt::white, 34));
    p.fillRect(QRectF(face.left(), face.top() + 1, face.width(), 16),
               vertical(face.top() + 1, face.top() + 17, withAlpha(Qt::white, 10), withAlpha(Qt::white, 0)));
    glowLine(p, face.left() - 20, 286, face.top(), withAlpha(kAccent, 110));
    p.restore();

    // The display behind the two status texts.
    paintWell(p, kDisplay, 4, QColor(10, 12, 16));
    const QRectF glass = kDisplay.adjusted(1, 1, -1, -1);
    p.save();
    p.setClipPath(roundedRect(glass, 3));
    QRadialGradient warm(glass.center().x() - 40, glass.top() + 4, 170);
    warm.setColorAt(0, withAlpha(kPeach, 16));
    warm.setColorAt(1, withAlpha(kPeach, 0));
    p.fillRect(glass, warm);
    // The strings of the name: four of them below the texts, fine to coarse,
    // the second one ringing.
    p.setRenderHint(QPainter::Antialiasing);
    const qreal left = glass.left() + 8, right = glass.right() - 8;
    const qreal ys[] = {315.5, 319.5, 323.5, 327.5};
    const qreal widths[] = {0.7, 0.9, 1.1, 1.3};
    for (int i = 0; i < 4; ++i) {
        QLinearGradient g(left, 0, right, 0);
        const int a = 58 + 6 * i;
        g.setColorAt(0, withAlpha(kPeach, 0));
        g.setColorAt(0.08, withAlpha(kPeach, a));
        g.setColorAt(0.92, withAlpha(kPeach, a));
        g.setColorAt(1, withAlpha(kPeach, 0));
        QPainterPath s;
        s.moveTo(left, ys[i]);
        if (i == 1) {
            // A standing wave with its belly towards the left third.
            const int steps = 120;
            for (int k = 1; k <= steps; ++k) {
                const qreal u = qreal(k) / steps;
                const qreal envelope = std::sin(std::numbers::pi * u) * std::exp(-2.2 * u);
                s.lineTo(left + u * (right - left), ys[i] + 2.6 * envelope * std::sin(u * 2 * std::numbers::pi * 9));
            }
        } else {
            s.lineTo(right, ys[i]);
        }
        if (i == 1) {
            QLinearGradient glow(left, 0, right, 0);
            glow.setColorAt(0, withAlpha(kAccent, 0));
            glow.setColorAt(0.25, withAlpha(kAccent, 46));
            glow.setColorAt(1, withAlpha(kAccent, 0));
            p.strokePath(s, QPen(QBrush(glow), 3.0));
        }
        p.strokePath(s, QPen(QBrush(g), widths[i]));
    }
    // Bridges at both ends of the strings.
    for (const qreal x : {glass.left() + 10, glass.right() - 10}) {
        p.fillRect(QRectF(x - 1, 313, 2, 17), vertical(313, 330, withAlpha(kPeach, 40), withAlpha(kPeach, 14)));
    }
    p.restore();

    // The volume capsule (left cap 标签13, mute button, volume box).
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(roundedRect(kCapsule.translated(0, 1), 10), withAlpha(Qt::white, 16));
    p.fillPath(roundedRect(kCapsule, 10), QColor(6, 8, 12));
    const QRectF inner = kCapsule.adjusted(1, 1, -1, -1);
    p.fillPath(roundedRect(inner, 9), vertical(inner.top(), inner.bottom(), QColor(14, 17, 23), QColor(22, 27, 36)));
}

// Short teal marks on the frame beside the header and beside the control bar,
// mirrored left and right (the right ones reach the window through the edge
// pieces 标签15 and 标签10, the lower left one through 标签14).
void paintFrameMarks(QPainter &p)
{
    for (const qreal x : {3.0, 575.0}) {
        for (const auto &[y0, y1] : {std::pair(64.0, 75.0), std::pair(294.0, 305.0)}) {
            p.setPen(Qt::NoPen);
            p.setBrush(withAlpha(kAccent, 46));
            p.drawRoundedRect(QRectF(x - 1, y0 - 1, 4, y1 - y0 + 2), 2, 2);
            p.setBrush(vertical(y0, y1, QColor(150, 238, 244), kAccentDeep));
            p.drawRoundedRect(QRectF(x, y0, 2, y1 - y0), 1, 1);
        }
    }
}

// The whole window painted at `scale` pixels per window unit: every painter
// below works in window units, so the 2x master is painted anew, not enlarged.
struct Master
{
    QImage image;
    int scale;

    // The pixels under the window rectangle `r`.
    QImage copy(const QRect &r) const
    {
        return image.copy(QRect(r.topLeft() * scale, r.size() * scale));
    }
};

Master paintMaster(int scale)
{
    QImage img(kWidth * scale, kHeight * scale, QImage::Format_RGB32);
    img.fill(kOutside);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    p.fillPath(windowShape(), vertical(0, kHeight, kBodyTop, kBodyBottom));
    paintTitleBand(p);
    paintSearchStrip(p);
    paintListPanel(p);
    paintControlBar(p);
    paintFrameMarks(p);
    // Outline and inner highlight of the whole window.
    p.setBrush(Qt::NoBrush);
    QLinearGradient rim(0, 0, 0, kHeight);
    rim.setColorAt(0, withAlpha(Qt::white, 46));
    rim.setColorAt(0.08, withAlpha(Qt::white, 18));
    rim.setColorAt(1, withAlpha(Qt::white, 8));
    p.setPen(QPen(QBrush(rim), 1));
    p.drawRoundedRect(QRectF(1.5, 1.5, kWidth - 3, kHeight - 3), kCornerRadius - 1.5, kCornerRadius - 1.5);
    p.setPen(QPen(kOutline, 1));
    p.drawRoundedRect(QRectF(0.5, 0.5, kWidth - 1, kHeight - 1), kCornerRadius - 0.5, kCornerRadius - 0.5);
    p.end();
    return {img, scale};
}

QImage paintSkin(const Master &master)
{
    QImage skin = master.image.copy();
    // A colour that merely looks red must never count as a hole.
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x) {
            if ((skin.pixel(x, y) & 0xffffff) == (kHoleKey & 0xffffff)) {
                skin.setPixel(x, y, qRgb(254, 0, 0));
            }
        }
    }
    // The holes come last and without antialiasing: exactly the key colour.
    // The window's shape is a mask in window units, so at 2x every hole is a
    // whole 2x2 block over a 1x hole: no pixel the mask keeps is ever red.
    for (int y = 0; y < skin.height(); ++y) {
        for (int x = 0; x < skin.width(); ++x) {
            if (isHole(x / master.scale, y / master.scale)) {
                skin.setPixel(x, y, kHoleKey);
            }
        }
    }
    return skin;
}

// ------------------------------------------------------------- picture kits

using Painter = std::function<void(QPainter &)>;

// A picture cut from the master at window position `at`, with `face` painted
// over it in the picture's own coordinates.
QImage cut(const Master &master, QPoint at, QSize size, const Painter &face = {})
{
    QImage img = master.copy(QRect(at, size)).convertToFormat(QImage::Format_RGB32);
    if (face) {
        QPainter p(&img);
        p.scale(master.scale, master.scale);
        p.setRenderHint(QPainter::Antialiasing);
        face(p);
    }
    return img;
}

// A colour-keyed picture: `face` is painted on a transparent layer; where the
// layer stays untouched the picture gets the key colour, elsewhere the layer is
// blended over the master at window position `at`, so the soft edges already
// match what lies below the button.
QImage keyed(const Master &master, QPoint at, QSize size, QRgb key, const Painter &face)
{
    QImage layer(size * master.scale, QImage::Format_ARGB32);
    layer.fill(Qt::transparent);
    {
        QPainter p(&layer);
        p.scale(master.scale, master.scale);
        p.setRenderHint(QPainter::Antialiasing);
        face(p);
    }
    QImage img = master.copy(QRect(at, size)).convertToFormat(QImage::Format_RGB32);
    {
        QPainter p(&img);
        p.drawImage(0, 0, layer);
    }
    for (int y = 0; y < layer.height(); ++y) {
        for (int x = 0; x < layer.width(); ++x) {
            if (qAlpha(layer.pixel(x, y)) == 0) {
                img.setPixel(x, y, key);
            } else if ((img.pixel(x, y) & 0xffffff) == (key & 0xffffff)) {
                img.setPixel(x, y, qRgb(qRed(key), qGreen(key) + 1, qBlue(key)));
            }
        }
    }
    return img;
}

// A round button face: a dark ring, a face with the given gradient and a gloss.
void roundButton(QPainter &p, QPointF c, qreal r, const QColor &top, const QColor &bottom, bool pressed = false)
{
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(Qt::black, pressed ? 40 : 80));
    p.drawEllipse(c + QPointF(0, 0.8), r + 0.3, r + 0.3);
    QLinearGradient ring(0, c.y() - r, 0, c.y() + r);
    ring.setColorAt(0, QColor(88, 100, 120));
    ring.setColorAt(0.5, QColor(34, 41, 53));
    ring.setColorAt(1, QColor(12, 15, 20));
    p.setBrush(ring);
    p.drawEllipse(c, r, r);
    p.setBrush(QColor(7, 9, 13));
    p.drawEllipse(c, r - 0.9, r - 0.9);
    const qreal fr = r - 1.6;
    p.setBrush(pressed ? vertical(c.y() - fr, c.y() + fr, bottom, top) : vertical(c.y() - fr, c.y() + fr, top, bottom));
    p.drawEllipse(c, fr, fr);
    if (!pressed) {
        QPainterPath gloss;
        gloss.addEllipse(QPointF(c.x(), c.y() - fr * 0.42), fr * 0.78, fr * 0.52);
        p.setBrush(vertical(c.y() - fr, c.y(), withAlpha(Qt::white, 70), withAlpha(Qt::white, 4)));
        p.drawPath(gloss);
    } else {
        p.setBrush(vertical(c.y() - fr, c.y() - fr + 4, withAlpha(Qt::black, 80), withAlpha(Qt::black, 0)));
        p.drawEllipse(c, fr, fr);
    }
}

// A glyph with a one-pixel dark shadow below it.
void glyph(QPainter &p, const QPainterPath &path, const QColor &c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(withAlpha(Qt::black, 120));
    p.drawPath(path.translated(0, 0.8));
    p.setBrush(c);
    p.drawPath(path);
}

QPainterPath strokeOf(const QPainterPath &path, qreal width, Qt::PenCapStyle cap = Qt::RoundCap)
{
    QPainterPathStroker s;
    s.setWidth(width);
    s.setCapStyle(cap);
    s.setJoinStyle(Qt::RoundJoin);
    return s.createStroke(path).simplified();
}

// ------------------------------------------------------------------ buttons

QImage playFace(const Master &master, bool pause)
{
    return keyed(master, {20, 302}, {31, 31}, kHoleKey, [pause](QPainter &p) {
        const QPointF c(15, 15);
        roundButton(p, c, 14.2, QColor(104, 220, 230), QColor(22, 112, 136));
        QPainterPath g;
        if (pause) {
            g.addRoundedRect(QRectF(10.2, 9.3, 3.6, 11.4), 1, 1);
            g.addRoundedRect(QRectF(16.2, 9.3, 3.6, 11.4), 1, 1);
        } else {
            QPainterPath tri;
            tri.moveTo(12.3, 8.6);
            tri.lineTo(21.6, 15);
            tri.lineTo(12.3, 21.4);
            tri.closeSubpath();
            g = strokeOf(tri, 1.4).united(tri);
        }
        glyph(p, g, QColor(246, 252, 253));
    });
}

enum class Face { Normal, Hover, Pressed };

QImage smallRound(const Master &master, QPoint at, int size, Face face, const std::function<QPainterPath(QPointF)> &symbol)
{
    return cut(master, at, {size, size}, [&](QPainter &p) {
        const QPointF c(size / 2.0, size / 2.0);
        const qreal r = size / 2.0 - 0.8;
        switch (face) {
        case Face::Normal: roundButton(p, c, r, QColor(70, 82, 102), QColor(30, 36, 47)); break;
        case Face::Hover: roundButton(p, c, r, QColor(84, 100, 124), QColor(38, 46, 60)); break;
        case Face::Pressed: roundButton(p, c, r, QColor(54, 64, 80), QColor(22, 27, 35), true); break;
        }
        const QPointF shift = face == Face::Pressed ? QPointF(0, 0.6) : QPointF();
        glyph(p, symbol(c + shift), face == Face::Normal ? QColor(206, 214, 226) : kGlyphHover);
    });
}

QPainterPath stopSymbol(QPointF c, qreal half)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(c.x() - half, c.y() - half, 2 * half, 2 * half), 1, 1);
    return path;
}

QPainterPath ejectSymbol(QPointF c)
{
    QPainterPath path;
    path.moveTo(c.x() - 4.6, c.y() + 0.9);
    path.lineTo(c.x(), c.y() - 4.2);
    path.lineTo(c.x() + 4.6, c.y() + 0.9);
    path.closeSubpath();
    path.addRoundedRect(QRectF(c.x() - 4.6, c.y() + 2.2, 9.2, 2.2), 0.6, 0.6);
    return path;
}

// The speaker of the mute button, in the picture's coordinates.
QPainterPath speaker(bool waves)
{
    QPainterPath body;
    body.addRoundedRect(QRectF(2, 4.6, 3.2, 3.8), 0.6, 0.6);
    QPainterPath cone;
    cone.moveTo(4.6, 4.6);
    cone.lineTo(8.8, 1.4);
    cone.lineTo(8.8, 11.6);
    cone.lineTo(4.6, 8.4);
    cone.closeSubpath();
    QPainterPath shape = body.united(cone);
    if (waves) {
        const QPointF c(9.2, 6.5);
        for (const qreal r : {3.0, 5.6}) {
            QPainterPath arc;
            const QRectF box(c.x() - r, c.y() - r, 2 * r, 2 * r);
            arc.arcMoveTo(box, 45);
            arc.arcTo(box, 45, -90);
            shape = shape.united(strokeOf(arc, 1.3));
        }
    }
    return shape;
}

QImage muteFace(const Master &master, QSize size, const QColor &colour, bool crossed)
{
    return keyed(master, {133, 311}, size, kMuteKey, [&](QPainter &p) {
        glyph(p, speaker(!crossed), colour);
        if (crossed) {
            QPainterPath cross;
            cross.moveTo(11.6, 4.2);
            cross.lineTo(16.0, 8.8);
            cross.moveTo(16.0, 4.2);
            cross.lineTo(11.6, 8.8);
            glyph(p, strokeOf(cross, 1.6), QColor(232, 104, 96));
        }
    });
}

QImage dropdownFace(const Master &master, Face face)
{
    return cut(master, {266, 32}, {17, 20}, [face](QPainter &p) {
        const QRectF r(0, 0, 17, 18);
        QColor top(40, 48, 62), bottom(27, 32, 42);
        if (face == Face::Hover) {
            top = QColor(52, 63, 80);
            bottom = QColor(33, 40, 52);
        } else if (face == Face::Pressed) {
            top = QColor(18, 22, 29);
            bottom = QColor(28, 34, 44);
        }
        p.fillRect(QRect(0, 0, 17, 20), QColor(5, 7, 10));
        p.fillRect(r.adjusted(1, 0, 0, 0), vertical(0, 18, top, bottom));
        if (face != Face::Pressed) {
            hairline(p, 1, 17, 0, withAlpha(Qt::white, 26));
        } else {
            hairline(p, 1, 17, 0, withAlpha(Qt::black, 80));
        }
        const qreal dy = face == Face::Pressed ? 0.8 : 0;
        QPainterPath chevron;
        chevron.moveTo(5.2, 7.2 + dy);
        chevron.lineTo(9, 11 + dy);
        chevron.lineTo(12.8, 7.2 + dy);
        glyph(p, strokeOf(chevron, 1.6), face == Face::Normal ? kGlyph : kGlyphHover);
    });
}

// Title-bar buttons: a glyph on the tab, and under the pointer a lit plate.
QImage titleButton(const Master &master, QPoint at, QSize size, bool hover, bool close,
                   const std::function<QPainterPath(QPointF)> &symbol)
{
    return cut(master, at, size, [&](QPainter &p) {
        const QPointF c(size.width() / 2.0, 7.5);
        if (hover) {
            const QRectF plate(0.5, -4, size.width() - 1, size.height() + 3);
            p.setPen(Qt::NoPen);
            if (close) {
                p.setBrush(vertical(0, size.height(), QColor(214, 84, 72), QColor(166, 44, 38)));
            } else {
                p.setBrush(vertical(0, size.height(), QColor(72, 86, 108), QColor(48, 58, 74)));
            }
            p.drawRoundedRect(plate, 3, 3);
            p.setBrush(withAlpha(Qt::white, 40));
            p.drawRect(QRectF(1, 0, size.width() - 2, 1));
        }
        glyph(p, symbol(c), hover ? QColor(250, 252, 255) : kGlyph);
    });
}

QPainterPath minSymbol(QPointF c)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(c.x() - 4.5, c.y() + 2, 9, 1.8), 0.5, 0.5);
    return path;
}

QPainterPath maxSymbol(QPointF c)
{
    QPainterPath outer, inner;
    outer.addRoundedRect(QRectF(c.x() - 4.5, c.y() - 3.7, 9, 8), 1, 1);
    inner.addRect(QRectF(c.x() - 3.1, c.y() - 1.7, 6.2, 4.8));
    return outer.subtracted(inner);
}

QPainterPath closeSymbol(QPointF c)
{
    QPainterPath x;
    x.moveTo(c.x() - 3.4, c.y() - 3.4);
    x.lineTo(c.x() + 3.4, c.y() + 3.4);
    x.moveTo(c.x() + 3.4, c.y() - 3.4);
    x.lineTo(c.x() - 3.4, c.y() + 3.4);
    return strokeOf(x, 1.7);
}

// ------------------------------------------------------------------- volume

QLinearGradient levelFill()
{
    QLinearGradient g(0, kLevelTop, 0, kLevelBottom);
    g.setColorAt(0, QColor(150, 238, 244));
    g.setColorAt(0.35, QColor(78, 206, 220));
    g.setColorAt(1, QColor(26, 122, 144));
    return g;
}

// The groove in window coordinates between x0 and x1 (square ends).
void paintGroove(QPainter &p, qreal x0, qreal x1)
{
    p.fillRect(QRectF(x0, kLevelTop - 1, x1 - x0, 1), withAlpha(Qt::black, 60));
    p.fillRect(QRectF(x0, kLevelTop, x1 - x0, kLevelBottom - kLevelTop), QColor(5, 7, 10));
    p.fillRect(QRectF(x0, kLevelBottom, x1 - x0, 1), withAlpha(Qt::white, 18));
}

// The track: the empty groove with a rounded right end, running on under the
// volume icon on the left.
QImage volumeTrack(const Master &master)
{
    return cut(master, {158, 306}, {90, 23}, [](QPainter &p) {
        p.translate(-158, -306);
        const qreal right = 240;
        paintGroove(p, 150, right - 2);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(Qt::white, 18));
        p.drawRoundedRect(QRectF(right - 6, kLevelTop, 6, kLevelBottom - kLevelTop + 1), 2, 2);
        p.setBrush(QColor(5, 7, 10));
        p.drawRoundedRect(QRectF(right - 6, kLevelTop, 6, kLevelBottom - kLevelTop), 2, 2);
    });
}

// The thumb: the filled part of the bar up to a knob at column 65.5. The knob
// is small enough to stay whole at both stops: at the left stop its left edge
// meets the volume icon (box column 13), at the right one its right edge is the
// picture's last column. The pill behind the thumb is the same at every place
// the thumb can reach.
constexpr qreal kKnobX = 65.5;
constexpr qreal kKnobRadius = 4.5;

QImage volumeThumb(const Master &master)
{
    return cut(master, {160, 311}, {70, 12}, [](QPainter &p) {
        p.translate(0, -311);
        paintGroove(p, 0, 70);
        p.fillRect(QRectF(0, kLevelTop, kKnobX, kLevelBottom - kLevelTop), levelFill());
        // Soft glow under the bar.
        p.fillRect(QRectF(0, kLevelBottom, kKnobX, 1), withAlpha(kAccent, 50));
        // The knob.
        const QPointF c(kKnobX, 317);
        p.setPen(Qt::NoPen);
        p.setBrush(withAlpha(kAccent, 60));
        p.drawEllipse(QRectF(c.x() - kKnobRadius, c.y() - 5.6, 2 * kKnobRadius, 11.2));
        p.setBrush(QColor(6, 8, 12));
        p.drawEllipse(c, kKnobRadius, kKnobRadius);
        p.setBrush(vertical(c.y() - 4, c.y() + 4, QColor(242, 246, 250), QColor(146, 160, 178)));
        p.drawEllipse(c, kKnobRadius - 0.8, kKnobRadius - 0.8);
        p.setBrush(vertical(c.y() - 1.5, c.y() + 1.5, QColor(110, 222, 232), QColor(28, 128, 150)));
        p.drawEllipse(c, 1.5, 1.5);
    });
}

// The icon's visible columns (15..27, window 152..164) hold the start of the
// level bar: a rounded end in the fill colour that the thumb continues.
QImage volumeIcon(const Master &master)
{
    return cut(master, {137, 306}, {28, 23}, [](QPainter &p) {
        p.translate(-137, -306);
        paintGroove(p, 156, 165);
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(5, 7, 10));
        p.drawRoundedRect(QRectF(155, kLevelTop - 0.5, 8, kLevelBottom - kLevelTop + 1), 2.5, 2.5);
        p.setBrush(levelFill());
        p.drawRoundedRect(QRectF(156, kLevelTop, 12, kLevelBottom - kLevelTop), 2, 2);
        p.fillRect(QRectF(157, kLevelBottom, 8, 1), withAlpha(kAccent, 50));
    });
}

// ------------------------------------------------------------------- icons

// An eighth note drawn in a 64-unit box and scaled by s; `bold` thickens the
// stem and the flag for the small tray icon.
QPainterPath noteShape(qreal s, bool bold)
{
    const qreal stem = bold ? 5.6 : 3.8;
    QPainterPath head;
    head.addEllipse(QPointF(0, 0), bold ? 9.6 : 8.8, bold ? 7.2 : 6.5);
    QTransform t;
    t.translate(26 * s, 46 * s);
    t.rotate(-24);
    t.scale(s, s);
    QPainterPath note = t.map(head);
    const qreal stemRight = 34.6;
    QPainterPath stemPath;
    stemPath.addRect(QRectF((stemRight - stem) * s, 12 * s, stem * s, 34 * s));
    note = note.united(stemPath);
    QPainterPath flag;
    flag.moveTo(stemRight * s, 11 * s);
    flag.cubicTo((stemRight + 1.4) * s, 19 * s, 47 * s, 22 * s, 44 * s, 37 * s);
    if (bold) {
        flag.cubicTo(44.5 * s, 29 * s, 39 * s, 26 * s, stemRight * s, 23 * s);
    } else {
        flag.cubicTo(45 * s, 27.5 * s, 38 * s, 23 * s, stemRight * s, 19 * s);
    }
    flag.closeSubpath();
    return note.united(flag).simplified();
}

// `size` is the icon's size in window units; the picture has `scale` pixels
// per unit and is painted at that resolution.
QImage appIcon(int size, int scale = 1)
{
    const bool small = size < 32;
    QImage img(size * scale, size * scale, QImage::Format_ARGB32);
    img.fill(Qt::transparent);
    QPainter p(&img);
    p.scale(scale, scale);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 64.0;
    const QRectF tile(small ? 0.5 : 2 * s, small ? 0.5 : 2 * s, small ? size - 1 : 60 * s, small ? size - 1 : 60 * s);
    const qreal radius = small ? 5 : 13 * s;
    p.setPen(Qt::NoPen);
    if (!small) {
        p.setBrush(withAlpha(Qt::black, 70));
        p.drawRoundedRect(tile.translated(0, 1.2 * s), radius, radius);
    }
    p.setBrush(vertical(tile.top(), tile.bottom(), QColor(48, 62, 84), QColor(14, 18, 26)));
    p.drawRoundedRect(tile, radius, radius);
    p.setBrush(Qt::NoBrush);
    const qreal rim = small ? 1.0 : 1.6 * s;
    p.setPen(QPen(vertical(tile.top(), tile.bottom(), withAlpha(kAccent, 200), withAlpha(kAccentDeep, 110)), rim));
    p.drawRoundedRect(tile.adjusted(rim / 2, rim / 2, -rim / 2, -rim / 2), radius - rim / 2, radius - rim / 2);

    // Strings across the tile; the middle one rings. The tray icon keeps only
    // the ringing one.
    p.save();
    p.setClipPath(roundedRect(tile.adjusted(rim, rim, -rim, -rim), radius - rim));
    const qreal ys[] = {22, 32, 42};
    for (int i = 0; i < 3; ++i) {
        if (small && i != 1) {
            continue;
        }
        QPainterPath line;
        const qreal y = ys[i] * s;
        line.moveTo(tile.left(), y);
        if (i == 1) {
            const int waves = small ? 3 : 5;
            for (int k = 1; k <= 80; ++k) {
                const qreal u = k / 80.0;
                line.lineTo(tile.left() + u * tile.width(),
                            y + (small ? 4.0 : 3.2) * s * std::sin(std::numbers::pi * u) * std::sin(u * 2 * std::numbers::pi * waves));
            }
            p.setPen(QPen(withAlpha(kAccent, 80), (small ? 5.0 : 3.6) * s));
            p.drawPath(line);
            p.setPen(QPen(QColor(150, 238, 244), std::max(1.0, 1.3 * s)));
        } else {
            line.lineTo(tile.right(), y);
            p.setPen(QPen(withAlpha(kPeach, 150), 1.0 * s));
        }
        p.drawPath(line);
    }
    p.restore();

    // The note in front, with a dark edge so it stands off the strings.
    const QPainterPath note = noteShape(s, small).translated(small ? 0 : 1 * s, 0);
    p.setPen(QPen(QColor(10, 13, 19), small ? 1.2 : 2.4 * s));
    p.setBrush(Qt::NoBrush);
    p.drawPath(note);
    p.setPen(Qt::NoPen);
    p.setBrush(vertical(10 * s, 52 * s, QColor(255, 244, 232), QColor(248, 200, 164)));
    p.drawPath(note);
    return img;
}

// ---------------------------------------------------------------- the set

struct PictureSize {
    const char *name;
    int width;
    int height;
};

// Every picture and its exact size; the build fails when one differs.
const PictureSize kPictureSizes[] = {
    {"skin.png", 580, 352},
    {"edge_right.png", 8, 24},
    {"edge_bl.png", 7, 15},
    {"edge_br.png", 7, 15},
    {"open_normal.png", 21, 21},
    {"open_hover.png", 21, 21},
    {"volume_icon.png", 28, 23},
    {"volume_thumb.png", 70, 12},
    {"volume_track.png", 90, 23},
    {"volume_left.png", 34, 23},
    {"mute_normal.png", 18, 13},
    {"mute_hover.png", 17, 17},
    {"mute_checked.png", 18, 13},
    {"play.png", 31, 31},
    {"pause.png", 31, 31},
    {"stop_normal.png", 19, 19},
    {"stop_hover.png", 19, 19},
    {"stop_pressed.png", 19, 19},
    {"stopsmall_normal.png", 13, 13},
    {"stopsmall_hover.png", 13, 13},
    {"controlbar.png", 567, 48},
    {"dropdown_normal.png", 17, 20},
    {"dropdown_hover.png", 17, 20},
    {"dropdown_pressed.png", 17, 20},
    {"header.png", 4, 17},
    {"min_normal.png", 24, 16},
    {"min_hover.png", 24, 16},
    {"max_normal.png", 24, 16},
    {"max_hover.png", 24, 16},
    {"close_normal.png", 40, 16},
    {"close_hover.png", 40, 16},
    {"tray.png", 24, 24},
    {"app.png", 64, 64},
};

using PictureSet = std::map<std::string, QImage>;

// The name of a picture at `scale`: "play.png", "play@2x.png". Qt's own
// naming, so the window finds the high-density picture next to the other.
std::string atScale(const std::string &name, int scale)
{
    return scale == 1 ? name : name.substr(0, name.size() - 4) + "@" + std::to_string(scale) + "x.png";
}

// Every picture painted at `scale` pixels per window unit, under its 1x name.
PictureSet paintAt(int scale)
{
    const Master master = paintMaster(scale);
    PictureSet set;
    set["skin.png"] = paintSkin(master);

    set["edge_right.png"] = cut(master, {572, 60}, {8, 24});
    set["edge_bl.png"] = cut(master, {0, 292}, {7, 15});
    set["edge_br.png"] = cut(master, {573, 292}, {7, 15});

    const auto eject = [](QPointF c) { return ejectSymbol(c); };
    set["open_normal.png"] = smallRound(master, {247, 308}, 21, Face::Normal, eject);
    set["open_hover.png"] = smallRound(master, {247, 308}, 21, Face::Hover, eject);

    set["volume_icon.png"] = volumeIcon(master);
    set["volume_thumb.png"] = volumeThumb(master);
    set["volume_track.png"] = volumeTrack(master);
    set["volume_left.png"] = cut(master, {120, 307}, {34, 23});

    set["mute_normal.png"] = muteFace(master, {18, 13}, kGlyph, false);
    set["mute_hover.png"] = muteFace(master, {17, 17}, kGlyphHover, false);
    set["mute_checked.png"] = muteFace(master, {18, 13}, QColor(128, 138, 154), true);

    set["play.png"] = playFace(master, false);
    set["pause.png"] = playFace(master, true);

    const auto stop = [](QPointF c) { return stopSymbol(c, 3.1); };
    set["stop_normal.png"] = smallRound(master, {54, 308}, 19, Face::Normal, stop);
    set["stop_hover.png"] = smallRound(master, {54, 308}, 19, Face::Hover, stop);
    set["stop_pressed.png"] = smallRound(master, {54, 308}, 19, Face::Pressed, stop);
    const auto stopSmall = [](QPointF c) { return stopSymbol(c, 2.2); };
    set["stopsmall_normal.png"] = smallRound(master, {54, 311}, 13, Face::Normal, stopSmall);
    set["stopsmall_hover.png"] = smallRound(master, {54, 311}, 13, Face::Hover, stopSmall);

    // The control shows only the first 557 columns; the rest of the picture
    // repeats the skin just beyond the bar's end rather than the frame.
    set["controlbar.png"] = cut(master, {11, 289}, {567, 48}, [&master](QPainter &p) {
        p.drawImage(QRectF(557, 0, 10, 48), master.copy(QRect(569, 289, 1, 48)));
    });

    set["dropdown_normal.png"] = dropdownFace(master, Face::Normal);
    set["dropdown_hover.png"] = dropdownFace(master, Face::Hover);
    set["dropdown_pressed.png"] = dropdownFace(master, Face::Pressed);

    set["header.png"] = cut(master, {100, 61}, {4, 17});

    set["min_normal.png"] = titleButton(master, {481, 1}, {24, 16}, false, false, minSymbol);
    set["min_hover.png"] = titleButton(master, {481, 1}, {24, 16}, true, false, minSymbol);
    set["max_normal.png"] = titleButton(master, {506, 1}, {24, 16}, false, false, maxSymbol);
    set["max_hover.png"] = titleButton(master, {506, 1}, {24, 16}, true, false, maxSymbol);
    set["close_normal.png"] = titleButton(master, {532, 1}, {40, 16}, false, true, closeSymbol);
    set["close_hover.png"] = titleButton(master, {532, 1}, {40, 16}, true, true, closeSymbol);

    set["tray.png"] = appIcon(24, scale);
    set["app.png"] = appIcon(64, scale);
    return set;
}

constexpr int kScales[] = {1, 2};

PictureSet paintAll()
{
    PictureSet all;
    for (const int scale : kScales) {
        for (auto &[name, picture] : paintAt(scale)) {
            all[atScale(name, scale)] = std::move(picture);
        }
    }
    return all;
}

// ------------------------------------------------------------------ checks

int failures = 0;

void fail(const std::string &what)
{
    std::fprintf(stderr, "skingen: %s\n", what.c_str());
    ++failures;
}

int countColour(const QImage &img, QRgb colour)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y) {
        for (int x = 0; x < img.width(); ++x) {
            n += (img.pixel(x, y) & 0xffffff) == (colour & 0xffffff);
        }
    }
    return n;
}

bool isKey(QRgb pixel, QRgb key)
{
    return (pixel & 0xffffff) == (key & 0xffffff);
}

// A pixel close to the key colour but not it: a blend of the key with the
// face, which would show as a coloured fringe once the key is left out.
bool nearKey(QRgb pixel, QRgb key)
{
    const int distance = std::abs(qRed(pixel) - qRed(key)) + std::abs(qGreen(pixel) - qGreen(key))
                         + std::abs(qBlue(pixel) - qBlue(key));
    return distance > 0 && distance < 120;
}

void check(const PictureSet &set)
{
    if (set.size() != std::size(kScales) * std::size(kPictureSizes)) {
        fail("the set holds " + std::to_string(set.size()) + " pictures, the table " +
             std::to_string(std::size(kPictureSizes)) + " at " + std::to_string(std::size(kScales)) + " scales");
    }
    for (const int scale : kScales) {
        for (const PictureSize &spec : kPictureSizes) {
            const std::string name = atScale(spec.name, scale);
            const auto it = set.find(name);
            if (it == set.end() || it->second.isNull()) {
                fail("missing picture " + name);
                continue;
            }
            const QSize size = it->second.size();
            const QSize wanted = QSize(spec.width, spec.height) * scale;
            if (size != wanted) {
                fail(name + " is " + std::to_string(size.width()) + "x" + std::to_string(size.height()) + ", must be " +
                     std::to_string(wanted.width()) + "x" + std::to_string(wanted.height()));
            }
        }
    }
    if (failures) {
        return;
    }

    for (const QPoint corner : {QPoint(0, 0), QPoint(kWidth - 1, 0), QPoint(0, kHeight - 1), QPoint(kWidth - 1, kHeight - 1)}) {
        if (!isHole(corner.x(), corner.y())) {
            fail("skin.png corner is not cut out");
        }
    }
    const struct {
        const char *name;
        QRgb key;
        QPoint inside;
    } keyedFaces[] = {
        {"play.png", kHoleKey, {15, 15}},
        {"pause.png", kHoleKey, {15, 15}},
        {"mute_normal.png", kMuteKey, {7, 6}},
        {"mute_hover.png", kMuteKey, {7, 6}},
        {"mute_checked.png", kMuteKey, {7, 6}},
    };
    for (const int scale : kScales) {
        // The skin: red exactly at the holes (at 2x: whole 2x2 blocks over the
        // 1x holes), and the holes really cut the corners.
        const std::string skinName = atScale("skin.png", scale);
        const QImage &skin = set.at(skinName);
        int holes = 0;
        for (int y = 0; y < skin.height(); ++y) {
            for (int x = 0; x < skin.width(); ++x) {
                const bool red = isKey(skin.pixel(x, y), kHoleKey);
                if (red != isHole(x / scale, y / scale)) {
                    fail(skinName + " pixel " + std::to_string(x) + "," + std::to_string(y) +
                         (red ? " is red outside a corner" : " is not red in a corner"));
                    return;
                }
                holes += red;
            }
        }
        if (holes < 4 * 8 * scale * scale) {
            fail(skinName + " has too few hole pixels");
        }

        // The colour-keyed faces: the key around the symbol, pure (no blend of
        // the key at the symbol's edge), the face opaque in the middle.
        for (const auto &face : keyedFaces) {
            const std::string name = atScale(face.name, scale);
            const QImage &img = set.at(name);
            if (!isKey(img.pixel(0, 0), face.key)) {
                fail(name + " has no key colour in its corner");
            }
            if (isKey(img.pixel(face.inside * scale), face.key)) {
                fail(name + " is transparent in its middle");
            }
            for (int y = 0; y < img.height(); ++y) {
                for (int x = 0; x < img.width(); ++x) {
                    if (nearKey(img.pixel(x, y), face.key)) {
                        fail(name + " pixel " + std::to_string(x) + "," + std::to_string(y) + " is a blend of the key colour");
                        return;
                    }
                }
            }
        }

        // Opaque pictures never carry a key colour by accident.
        for (const char *base : {"controlbar.png", "volume_thumb.png", "volume_track.png", "volume_icon.png", "volume_left.png"}) {
            const std::string name = atScale(base, scale);
            if (countColour(set.at(name), kHoleKey) || countColour(set.at(name), kMuteKey)) {
                fail(name + " contains a key colour");
            }
        }
    }

    // The 2x faces leave out the same places as the 1x ones: a 1x pixel is
    // keyed exactly when its whole 2x2 block is. A sliver of the symbol's
    // soft edge may fall into one resolution and not the other, nothing more.
    for (const auto &face : keyedFaces) {
        const QImage &one = set.at(face.name);
        const QImage &two = set.at(atScale(face.name, 2));
        int differ = 0;
        for (int y = 0; y < one.height(); ++y) {
            for (int x = 0; x < one.width(); ++x) {
                bool block = true;
                for (int k = 0; k < 4; ++k) {
                    block = block && isKey(two.pixel(2 * x + k % 2, 2 * y + k / 2), face.key);
                }
                differ += block != isKey(one.pixel(x, y), face.key);
            }
        }
        if (differ * 100 > one.width() * one.height()) {
            fail(atScale(face.name, 2) + " leaves out other places than " + face.name + " (" + std::to_string(differ) +
                 " pixels differ)");
        }
    }
}

// ----------------------------------------------------------------- preview

struct PreviewState {
    const char *caption;
    int thumbOffset;
    bool playing;
    bool muted;
    bool muteHover;
    const char *minFace, *maxFace, *closeFace;
    const char *stopFace, *openFace, *dropdownFace;
    const char *progress;
    const char *status;
};

void checkerboard(QPainter &p, const QRect &r)
{
    for (int y = r.top(); y <= r.bottom(); ++y) {
        for (int x = r.left(); x <= r.right(); ++x) {
            p.fillRect(QRect(x, y, 1, 1), ((x / 3 + y / 3) % 2) ? QColor(235, 235, 235) : QColor(190, 190, 190));
        }
    }
}

// Draws `img` at `at`, clipped to a `box` of the control's size; keyed pixels
// are left out.
void place(QPainter &p, const QImage &img, QPoint at, QSize box, std::optional<QRgb> key = {})
{
    QImage shown = img.convertToFormat(QImage::Format_ARGB32);
    if (key) {
        for (int y = 0; y < shown.height(); ++y) {
            for (int x = 0; x < shown.width(); ++x) {
                if ((shown.pixel(x, y) & 0xffffff) == (*key & 0xffffff)) {
                    shown.setPixel(x, y, qRgba(0, 0, 0, 0));
                }
            }
        }
    }
    p.save();
    p.setClipRect(QRect(at, box), Qt::IntersectClip);
    p.drawImage(at, shown);
    p.restore();
}

void label(QPainter &p, const QRect &r, const QString &text, const QColor &colour, int pixelSize = 12)
{
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(pixelSize);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(r, Qt::AlignLeft | Qt::AlignVCenter, text);
}

// The window as the shell builds it from the layout table, in one state.
QImage composeWindow(const PictureSet &set, const PreviewState &s)
{
    QImage img(kWidth, kHeight, QImage::Format_ARGB32);
    QPainter p(&img);
    const QImage &skin = set.at("skin.png");
    p.drawImage(0, 0, skin);
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            if (isHole(x, y)) {
                checkerboard(p, QRect(x, y, 1, 1));
            }
        }
    }
    auto picture = [&set](const char *name) -> const QImage & { return set.at(std::string(name) + ".png"); };
    auto is = [](const layout::Control &c, const char *name) { return std::string(c.name) == name; };
    auto colour = [](layout::Colour c) { return QColor(c.r, c.g, c.b); };

    // Bottom of the stack first.
    for (auto it = std::rbegin(layout::kControls); it != std::rend(layout::kControls); ++it) {
        const layout::Control &c = *it;
        QRect r(c.x, c.y, c.width, c.height);
        p.save();
        if (c.inside) {
            const layout::Control &box = layout::control(c.inside);
            const QRect outer(box.x, box.y, box.width, box.height);
            p.setClipRect(outer);
            r.translate(outer.topLeft());
        }
        switch (c.kind) {
        case layout::Kind::Text: {
            QString text = QString::fromUtf8(c.text);
            if (is(c, "停止下载标签")) {
                break; // hidden until a download runs
            } else if (is(c, "缓冲标签")) {
                text = QString::fromUtf8(s.status);
            } else if (is(c, "进度透明标签")) {
                text = QString::fromUtf8(s.progress);
            } else if (is(c, "播放下载标签") && s.playing) {
                text = QString::fromUtf8("晨光 - 林小溪");
            } else if (is(c, "下载提示透明标签") && !s.playing) {
                text = QString::fromUtf8("下载中 37%");
            }
            label(p, r, text, colour(c.colour));
            break;
        }
        case layout::Kind::Picture:
            if (c.text) {
                // A caption strip: the picture repeated across, the caption centred.
                p.setClipRect(r, Qt::IntersectClip);
                for (int x = r.left(); x <= r.right(); x += picture(c.normal).width()) {
                    p.drawImage(x, r.top(), picture(c.normal));
                }
                QFont font(QStringLiteral("WenQuanYi Micro Hei"));
                font.setPixelSize(12);
                p.setFont(font);
                p.setPen(colour(c.colour));
                p.drawText(r, Qt::AlignCenter, QString::fromUtf8(c.text));
            } else {
                place(p, picture(c.normal), r.topLeft(), r.size());
            }
            break;
        case layout::Kind::Button: {
            const char *face = nullptr;
            std::optional<QRgb> key;
            if (is(c, "小化图形按钮")) {
                face = s.minFace;
            } else if (is(c, "大化图形按钮")) {
                face = s.maxFace;
            } else if (is(c, "关闭图形按钮")) {
                face = s.closeFace;
            } else if (is(c, "停止图形按钮")) {
                face = s.stopFace;
            } else if (is(c, "打开图形按钮")) {
                face = s.openFace;
            } else if (is(c, "图形按钮1")) {
                face = s.dropdownFace;
            } else if (is(c, "暂停图形按钮")) {
                face = s.playing ? "pause.png" : "play.png";
                key = kHoleKey;
            } else if (is(c, "图形按钮6")) {
                face = s.muteHover ? "mute_hover.png" : s.muted ? "mute_checked.png" : "mute_normal.png";
                key = kMuteKey;
            } else if (is(c, "音量拖动")) {
                r.moveLeft(r.left() - c.x + s.thumbOffset);
            }
            place(p, face ? set.at(face) : picture(c.normal), r.topLeft(), r.size(), key);
            break;
        }
        case layout::Kind::Edit:
            p.fillRect(r, QColor(13, 16, 22));
            label(p, r.adjusted(4, 0, -12, 0), QString::fromUtf8("林小溪"), QColor(214, 220, 230));
            break;
        case layout::Kind::Combo:
            p.fillRect(r, QColor(13, 16, 22));
            break;
        case layout::Kind::List: {
            // Sketched as the shell styles it.
            p.fillRect(r, QColor(14, 18, 25));
            const char *rows[][3] = {
                {"1", "晨光", "林小溪"}, {"2", "远山", "白若云"}, {"3", "夜航的星", "风车乐队"},
                {"4", "归途", "江一舟"}, {"5", "南城", "陈木"}, {"6", "雨巷", "苏晚"},
                {"7", "桂花香", "林小溪"}, {"8", "长河", "马远"}, {"9", "稻田", "林小溪"},
                {"10", "小确幸", "叶知秋"}, {"11", "旧时光", "宋以南"},
            };
            int y = r.top() + 1;
            int n = 0;
            for (const auto &row : rows) {
                const QRect line(r.left(), y, r.width(), 18);
                if (n == 2) {
                    p.fillRect(line, QColor(30, 96, 112));
                } else if (n % 2) {
                    p.fillRect(line, QColor(18, 23, 31));
                }
                const QColor text = n == 2 ? QColor(240, 250, 252) : QColor(196, 204, 216);
                label(p, QRect(r.left() + 6, y, 34, 18), QString::fromUtf8(row[0]), text);
                label(p, QRect(r.left() + 44, y, 146, 18), QString::fromUtf8(row[1]), text);
                label(p, QRect(r.left() + 195, y, 350, 18), QString::fromUtf8(row[2]), text);
                y += 18;
                ++n;
            }
            break;
        }
        case layout::Kind::Frame:
            break;
        }
        p.restore();
    }
    return img;
}

int writePreview(const PictureSet &set, const QString &path, int scale)
{
    const PreviewState states[] = {
        {"at rest", -13, false, false, false, "min_normal.png", "max_normal.png", "close_normal.png",
         "stop_normal.png", "open_normal.png", "dropdown_normal.png", "00:00/00:00", "准备就绪"},
        {"playing, loudest, muted, pointer over", 12, true, true, false, "min_hover.png", "max_hover.png", "close_hover.png",
         "stop_hover.png", "open_hover.png", "dropdown_hover.png", "01:23/04:29", "正在播放"},
        {"quietest, pressed, pointer over mute", -48, false, false, true, "min_normal.png", "max_normal.png", "close_normal.png",
         "stop_pressed.png", "open_normal.png", "dropdown_pressed.png", "00:00/00:00", "正在连接中,请稍后..."},
    };
    const int gap = 20;
    const int count = int(std::size(states));
    const int sheetWidth = kWidth + 2 * gap;

    // Every picture but the skin at twice its size (the control bar at its
    // own), laid out in rows below the windows.
    struct Tile {
        std::string name;
        QRect rect;
        int labelWidth;
    };
    std::vector<Tile> tiles;
    int x = gap, y = count * (kHeight + gap) + gap, rowHeight = 0;
    for (const PictureSize &spec : kPictureSizes) {
        const std::string name = spec.name;
        if (name == "skin.png") {
            continue;
        }
        const QSize size = set.at(name).size() * (name == "controlbar.png" ? 1 : 2);
        const int width = std::max(size.width(), 110);
        if (x + width > sheetWidth - gap) {
            x = gap;
            y += rowHeight + 22;
            rowHeight = 0;
        }
        tiles.push_back({name, QRect(QPoint(x, y), size), width});
        x += width + 8;
        rowHeight = std::max(rowHeight, size.height());
    }
    const int sheetHeight = y + rowHeight + 22 + gap;

    QImage sheet(sheetWidth, sheetHeight, QImage::Format_ARGB32);
    sheet.fill(QColor(96, 100, 108));
    QPainter p(&sheet);
    for (int i = 0; i < count; ++i) {
        const int top = gap + i * (kHeight + gap);
        label(p, QRect(gap, top - gap, kWidth, gap), QString::fromUtf8(states[i].caption), QColor(240, 240, 240), 11);
        p.drawImage(gap, top, composeWindow(set, states[i]));
    }
    for (const Tile &tile : tiles) {
        checkerboard(p, tile.rect);
        p.drawImage(tile.rect, set.at(tile.name));
        label(p, QRect(tile.rect.left(), tile.rect.bottom() + 3, tile.labelWidth, 14),
              QString::fromStdString(tile.name).chopped(4), QColor(240, 240, 240), 11);
    }
    p.end();
    const QImage out = scale > 1 ? sheet.scaled(sheet.size() * scale, Qt::IgnoreAspectRatio, Qt::FastTransformation) : sheet;
    if (!out.save(path, "PNG")) {
        std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
        return 1;
    }
    return 0;
}

int writePictures(const PictureSet &set, const QString &dir)
{
    if (!QDir().mkpath(dir)) {
        std::fprintf(stderr, "skingen: cannot create %s\n", qPrintable(dir));
        return 1;
    }
    for (const auto &[name, picture] : set) {
        // A fixed resolution keeps the files the same from run to run.
        QImage img = picture;
        img.setDotsPerMeterX(3780);
        img.setDotsPerMeterY(3780);
        const QString path = QDir(dir).filePath(QString::fromStdString(name));
        if (!img.save(path, "PNG")) {
            std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

// ----------------------------------------------------------- desktop icons

// The sizes icon themes look for; below 32 pixels appIcon draws its simpler face.
const int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

int writeIcons(const QString &dir, const QString &name)
{
    for (const int size : kIconSizes) {
        const QString folder = QStringLiteral("%1/hicolor/%2x%2/apps").arg(dir).arg(size);
        QImage img = appIcon(size);
        if (img.size() != QSize(size, size)) {
            fail("icon of size " + std::to_string(size) + " painted at another size");
            return 1;
        }
        img.setDotsPerMeterX(3780);
        img.setDotsPerMeterY(3780);
        const QString path = QDir(folder).filePath(name + QStringLiteral(".png"));
        if (!QDir().mkpath(folder) || !img.save(path, "PNG")) {
            std::fprintf(stderr, "skingen: cannot write %s\n", qPrintable(path));
            return 1;
        }
    }
    return 0;
}

int usage()
{
    std::fprintf(stderr, "usage: skingen OUTDIR\n       skingen --preview OUT.png [--scale N]\n"
                         "       skingen --icons DIR NAME\n");
    return 2;
}

} // namespace

int main(int argc, char **argv)
{
    QStringList args;
    for (int i = 1; i < argc; ++i) {
        args << QString::fromLocal8Bit(argv[i]);
    }
    // Fonts, and so a QGuiApplication, are needed only for the preview's
    // placeholder texts; the pictures themselves carry no text.
    std::unique_ptr<QCoreApplication> app;
    if (args.contains(QLatin1String("--preview"))) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }

    if (!args.isEmpty() && args.front() == QLatin1String("--icons")) {
        return args.size() == 3 ? writeIcons(args[1], args[2]) : usage();
    }

    QString outDir, previewPath;
    int scale = 1;
    for (qsizetype i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--preview") && i + 1 < args.size()) {
            previewPath = args[++i];
        } else if (args[i] == QLatin1String("--scale") && i + 1 < args.size()) {
            bool ok = false;
            scale = args[++i].toInt(&ok);
            if (!ok || scale < 1 || scale > 8) {
                return usage();
            }
        } else if (!args[i].startsWith(QLatin1String("--")) && outDir.isEmpty()) {
            outDir = args[i];
        } else {
            return usage();
        }
    }
    if (outDir.isEmpty() && previewPath.isEmpty()) {
        return usage();
    }

    const PictureSet set = paintAll();
    check(set);
    if (failures) {
        return 1;
    }
    if (!outDir.isEmpty() && writePictures(set, outDir)) {
        return 1;
    }
    if (!previewPath.isEmpty() && writePreview(set, previewPath, scale)) {
        return 1;
    }
    return 0;
}
