#pragma once

#include <QByteArray>
#include <QPixmap>
#include <QWidget>

#include <memory>

class Catalogue;
class Charts;
class Dialogs;
class HttpClient;
class ImageButton;
class MediaPlayer;
class PlaybackController;
class PictureLabel;
class PlayOptions;
class QAction;
class QComboBox;
class QLineEdit;
class QMenu;
class QTimer;
class QTreeView;
class Registry;
class SongListModel;
class SongResolver;
class SongSearch;
class TransparentLabel;
class Tray;

// The platform services the window works with; main picks the real ones,
// tests pass fakes.
struct ShellServices
{
    HttpClient &http;
    Registry &registry;
    Dialogs &dialogs;
    Tray &tray;
    MediaPlayer &player;
    QByteArray catalogueUrl;
};

// The skinned, frameless main window: every control at its place, the three
// popup menus, the mouse behaviours, the tray and the play options.
class MainWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MainWindow(const ShellServices &services, QWidget *parent = nullptr);
    ~MainWindow() override;

    // Runs once, right after the window has been created and shown: reads
    // the play options, cuts the window's shape from the skin, adds the tray
    // icon and fills the song list and the keyword box from the catalogue.
    void onMainWindowCreated();

    QMenu *playerMenu() const { return m_playerMenu; }
    QMenu *songMenu() const { return m_songMenu; }
    QMenu *trayMenu() const { return m_trayMenu; }
    // A menu item by its caption without the access key, e.g. "开启连播".
    QAction *menuItem(const QString &name) const;

    SongListModel &songList() const { return *m_songs; }
    PlayOptions &playOptions() const { return *m_playOptions; }
    Charts &charts() const { return *m_charts; }
    SongSearch &songSearch() const { return *m_search; }
    SongResolver &songResolver() const { return *m_resolver; }
    PlaybackController &playback() const { return *m_playback; }

public slots:
    void hideToTray();
    void showFromTray();
    void refresh();

signals:
    // The user ended the program (close button or the tray menu's exit).
    void exitRequested();

protected:
    void paintEvent(QPaintEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    void buildControls();
    void buildMenus();
    void connectControls();
    void exitProgram();
    bool isBareSkin(const QPoint &pos) const;

    ShellServices m_services;
    QPixmap m_skin;

    std::unique_ptr<Catalogue> m_catalogue;
    SongListModel *m_songs = nullptr;
    std::unique_ptr<SongSearch> m_search;
    std::unique_ptr<Charts> m_charts;
    std::unique_ptr<PlayOptions> m_playOptions;
    std::unique_ptr<SongResolver> m_resolver;
    PlaybackController *m_playback = nullptr;

    QMenu *m_playerMenu = nullptr;
    QMenu *m_songMenu = nullptr;
    QMenu *m_trayMenu = nullptr;

    TransparentLabel *m_titleLabel = nullptr;       // 提示标签
    TransparentLabel *m_searchCaption = nullptr;    // 提示透明标签
    TransparentLabel *m_statusLabel = nullptr;      // 缓冲标签
    TransparentLabel *m_receptionLabel = nullptr;   // 播放下载标签
    TransparentLabel *m_progressLabel = nullptr;    // 进度透明标签
    TransparentLabel *m_searchLabel = nullptr;      // 搜索透明标签
    TransparentLabel *m_refreshLabel = nullptr;     // 刷新透明标签
    TransparentLabel *m_downloadLabel = nullptr;    // 下载透明标签
    TransparentLabel *m_stopDownloadLabel = nullptr; // 停止下载标签
    TransparentLabel *m_downloadHint = nullptr;     // 下载提示透明标签
    QLineEdit *m_searchBox = nullptr;               // 搜索框
    QComboBox *m_keywordBox = nullptr;              // 关键字框
    QTreeView *m_songView = nullptr;                // 播放列表框
    ImageButton *m_dropDownButton = nullptr;        // 图形按钮1
    ImageButton *m_minimiseButton = nullptr;        // 小化图形按钮
    ImageButton *m_maximiseButton = nullptr;        // 大化图形按钮
    ImageButton *m_closeButton = nullptr;           // 关闭图形按钮
    PictureLabel *m_controlBar = nullptr;           // 标签8
    ImageButton *m_playPauseButton = nullptr;       // 暂停图形按钮
    ImageButton *m_stopButton = nullptr;            // 停止图形按钮
    ImageButton *m_openButton = nullptr;            // 打开图形按钮
};
