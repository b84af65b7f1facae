#include "filepropertiesdialog.h"

#include "playbackcontroller.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

FilePropertiesDialog::FilePropertiesDialog(const MediaProperties &media, QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("文件属性"));
    setWindowTitle(QStringLiteral("文件属性"));
    setModal(true);
    setFixedSize(384, 207);
    move(50, 50);
    setAttribute(Qt::WA_DeleteOnClose);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor(240, 240, 240));
    p.setColor(QPalette::WindowText, Qt::black);
    setPalette(p);
    setAutoFillBackground(true);

    auto label = [this](const char *name, const QString &text, QRect geometry) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QString::fromUtf8(name));
        l->setGeometry(geometry);
        l->setTextFormat(Qt::PlainText);
        return l;
    };
    const QString rule(59, QLatin1Char('_'));
    label("透明标签1", rule, {16, 24, 346, 12})->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    label("透明标签2", rule, {16, 106, 346, 12})->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    label("透明标签9", QStringLiteral("文件路径 :"), {16, 124, 64, 24});

    // Filled in this order: heading, type, size, media time, address.
    const QString &type = media.fileType;
    QLabel *heading = label("透明标签3", media.nowPlayingName + QLatin1Char('.') + type, {16, 5, 344, 24});
    QFont bold = heading->font();
    bold.setBold(true);
    heading->setFont(bold);
    label("透明标签4", QStringLiteral("文件类型 : ") + type, {16, 40, 200, 24});
    label("透明标签5", QStringLiteral("文件大小 : ") + media.fileSize + QStringLiteral(" Bytes"),
          {16, 64, 200, 24});
    label("透明标签6", QStringLiteral("媒体时间 : ") + media.duration, {16, 88, 200, 24});
    auto *address = new QLineEdit(media.sourceUrl, this);
    address->setObjectName(QStringLiteral("地址编辑框"));
    address->setGeometry(80, 126, 282, 20);
    address->setCursorPosition(0);

    auto *ok = new QPushButton(QStringLiteral("确定"), this);
    ok->setObjectName(QStringLiteral("按钮1"));
    ok->setGeometry(300, 152, 65, 24);
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);
}
