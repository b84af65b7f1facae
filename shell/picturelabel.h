#pragma once

#include <QPixmap>
#include <QWidget>

// A picture drawn from the top-left corner and clipped to the label, or
// repeated across it when tiled; optionally with a centred caption. A picture
// with a device pixel ratio (a 2x picture) is drawn at its size in window units.
class PictureLabel : public QWidget
{
    Q_OBJECT
public:
    explicit PictureLabel(const QPixmap &picture, QWidget *parent = nullptr);

    void setTiled(bool tiled) { m_tiled = tiled; update(); }
    void setCaption(const QString &caption) { m_caption = caption; update(); }
    QString caption() const { return m_caption; }
    const QPixmap &picture() const { return m_picture; }

signals:
    void rightPressed(const QPoint &globalPos);

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;

private:
    QPixmap m_picture;
    QString m_caption;
    bool m_tiled = false;
};
