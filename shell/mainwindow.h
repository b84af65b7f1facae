#pragma once

#include <QPixmap>
#include <QWidget>

class ImageButton;
class PictureLabel;
class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QTreeView;
class Subsystems;
class TransparentLabel;
class Tray;
class VolumeThumb;

// The skinned, frameless main window: every control of the layout table at
// its place, the three popup menus, the mouse behaviours and the tray. It is
// the one place where the controls' intents reach the subsystems and the
// subsystems' announcements reach the controls.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    MainWindow(Subsystems &subsystems, Tray &tray, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs once, right after the window has been created and shown: reads
    // the play options, cuts the window's shape from the skin and fills the
    // song list and the keyword box from the catalogue. Once that frame is
    // on the screen, it sets the system volume, adds the tray icon and
    // emits startupFinished().
    void onMainWindowCreated();

public slots:
    void hideToTray();
    void showFromTray();
    void refresh();
    // Ends the program as the close button and the tray's 退出(&X) do.
    void exitProgram();

signals:
    // The user ended the program (close button or the tray menu's exit).
    void exitRequested();
    // The start-up is complete: list, keywords, system volume and tray icon.
    void startupFinished();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    void finishStartup();
    void buildControls();
    void buildMenus();
    void connectControls();
    void connectCatalogue();
    void showCatalogueFailure(const QString &reason);
    void showSearchText(const QString &text);
    void connectPlayback();
    void connectDownloads();
    void connectLyrics();
    void connectVolume();
    void connectKeyboard();
    bool isBareSkin(const QPoint &pos) const;

    Subsystems &m_subsystems;
    Tray &m_tray;
    QPixmap m_skin;
    QString m_statusBeforeFailure; // what 缓冲标签 showed before a failed request

    // 菜单: the player menu.
    QMenu *m_playerMenu = nullptr;
    QAction *m_openFileItem = nullptr;   // 打开文件(&U)
    QAction *m_playPauseItem = nullptr;  // 播放/暂停(&P)
    QAction *m_stopItem = nullptr;       // 停止(&S)
    QAction *m_stereoItem = nullptr;     // 立体声
    QAction *m_leftItem = nullptr;       // 左声道
    QAction *m_rightItem = nullptr;      // 右声道
    QAction *m_propertiesItem = nullptr; // 属性(&R)
    // 隐藏菜单: the song list's menu.
    QMenu *m_songMenu = nullptr;
    QAction *m_listenItem = nullptr;       // 试听(&P)
    QAction *m_lyricsItem = nullptr;       // 歌词(&C)
    QAction *m_downloadItem = nullptr;     // 下载(&D)
    QAction *m_stopDownloadItem = nullptr; // 停止下载(&D)
    QAction *m_continuousItem = nullptr;   // 开启连播
    QAction *m_randomItem = nullptr;       // 随即播放
    QAction *m_refreshItem = nullptr;      // 刷新(&R)
    // 托盘菜单: the tray menu.
    QMenu *m_trayMenu = nullptr;
    QAction *m_showItem = nullptr; // 显示(&S)
    QAction *m_hideItem = nullptr; // 隐藏(&C)
    QAction *m_exitItem = nullptr; // 退出(&X)

    TransparentLabel *m_titleLabel = nullptr;        // 提示标签
    TransparentLabel *m_searchCaption = nullptr;     // 提示透明标签
    TransparentLabel *m_statusLabel = nullptr;       // 缓冲标签
    TransparentLabel *m_receptionLabel = nullptr;    // 播放下载标签
    TransparentLabel *m_progressLabel = nullptr;     // 进度透明标签
    TransparentLabel *m_searchLabel = nullptr;       // 搜索透明标签
    TransparentLabel *m_refreshLabel = nullptr;      // 刷新透明标签
    TransparentLabel *m_downloadLabel = nullptr;     // 下载透明标签
    TransparentLabel *m_stopDownloadLabel = nullptr; // 停止下载标签
    TransparentLabel *m_downloadHint = nullptr;      // 下载提示透明标签
    QLineEdit *m_searchBox = nullptr;                // 搜索框
    QComboBox *m_keywordBox = nullptr;               // 关键字框
    QTreeView *m_songView = nullptr;                 // 播放列表框
    ImageButton *m_dropDownButton = nullptr;         // 图形按钮1
    ImageButton *m_minimiseButton = nullptr;         // 小化图形按钮
    ImageButton *m_maximiseButton = nullptr;         // 大化图形按钮
    ImageButton *m_closeButton = nullptr;            // 关闭图形按钮
    PictureLabel *m_controlBar = nullptr;            // 标签8
    ImageButton *m_playPauseButton = nullptr;        // 暂停图形按钮
    ImageButton *m_stopButton = nullptr;             // 停止图形按钮
    ImageButton *m_openButton = nullptr;             // 打开图形按钮
    ImageButton *m_muteButton = nullptr;             // 图形按钮6
    VolumeThumb *m_volumeThumb = nullptr;            // 音量拖动
};
