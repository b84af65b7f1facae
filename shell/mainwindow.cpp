#include "mainwindow.h"

#include "catalogue.h"
#include "charts.h"
#include "dialogs.h"
#include "imagebutton.h"
#include "mediaplayer.h"
#include "picturelabel.h"
#include "playbackcontroller.h"
#include "playoptions.h"
#include "songlistmodel.h"
#include "songaddress.h"
#include "songsearch.h"
#include "transparentlabel.h"
#include "tray.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QTimer>
#include <QTreeView>

namespace {

QPixmap skinPicture(const char *name)
{
    return QPixmap(QStringLiteral(":/skin/%1.png").arg(QLatin1String(name)));
}

// The list and the progress text use a 12-pixel Song face; where it is not
// installed, the nearest CJK face stands in.
QFont songFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("SimSun"), QStringLiteral("宋体"), QStringLiteral("NSimSun"),
                      QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC")});
    font.setPixelSize(12);
    font.setWeight(QFont::Normal);
    return font;
}

const QColor kSearchIdle(128, 128, 128);
const QColor kSearchHover(236, 236, 236);
const QColor kRefreshHover(0, 255, 0);
const QColor kRefreshIdle(0, 224, 128);

// The standard controls follow the skin's dark look.
const char *kControlStyle = R"(
QLineEdit#搜索框 {
    background: rgb(13,16,22); color: rgb(214,220,230); border: none; padding: 0 2px;
    selection-background-color: rgb(30,96,112); selection-color: white;
}
QComboBox#关键字框 {
    background: rgb(13,16,22); color: rgb(214,220,230); border: none;
}
QComboBox#关键字框 QAbstractItemView {
    background: rgb(18,23,31); color: rgb(214,220,230); border: 1px solid rgb(48,60,76);
    selection-background-color: rgb(30,96,112); selection-color: white; outline: 0;
}
QTreeView#播放列表框 {
    background: rgb(14,18,25); alternate-background-color: rgb(18,23,31); color: rgb(196,204,216);
    border: none; outline: 0;
    selection-background-color: rgb(30,96,112); selection-color: white;
}
QTreeView#播放列表框::item { height: 18px; border: none; }
QTreeView#播放列表框::item:hover { background: rgb(26,36,48); }
QTreeView#播放列表框::item:selected { background: rgb(30,96,112); color: white; }
QScrollBar:vertical { background: rgb(14,18,25); width: 10px; margin: 0; }
QScrollBar::handle:vertical { background: rgb(52,70,90); min-height: 24px; border-radius: 4px; margin: 1px; }
QScrollBar::handle:vertical:hover { background: rgb(40,120,136); }
QScrollBar::add-line:vertical, QScrollBar::sub-line:vertical { height: 0; }
QScrollBar::add-page:vertical, QScrollBar::sub-page:vertical { background: none; }
QMenu { background: rgb(18,23,31); color: rgb(214,220,230); border: 1px solid rgb(48,60,76); padding: 3px 0; }
QMenu::item { padding: 4px 22px 4px 24px; }
QMenu::item:selected { background: rgb(30,96,112); color: white; }
QMenu::item:disabled { color: rgb(92,104,120); }
QMenu::separator { height: 1px; background: rgb(40,50,64); margin: 3px 6px; }
)";

} // namespace

MainWindow::MainWindow(const ShellServices &services, QWidget *parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint), m_services(services),
      m_skin(skinPicture("skin")), m_catalogue(std::make_unique<Catalogue>(services.http, services.catalogueUrl))
{
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(QStringLiteral("音乐播放器"));
    setWindowIcon(QIcon(skinPicture("app")));
    setFixedSize(580, 352);
    move(50, 50);
    setMouseTracking(true);
    setStyleSheet(QString::fromUtf8(kControlStyle));

    m_songs = new SongListModel(this);
    buildControls();
    buildMenus();

    m_search = std::make_unique<SongSearch>(*m_catalogue, *m_songs, *m_searchBox, m_services.dialogs, this);
    m_charts = std::make_unique<Charts>(*m_catalogue, *m_songs, *m_keywordBox);
    m_playOptions = std::make_unique<PlayOptions>(m_services.registry, *menuItem(QStringLiteral("开启连播")),
                                                  *menuItem(QStringLiteral("随即播放")));
    m_resolver = std::make_unique<SongResolver>(*m_catalogue, *m_songs);
    PlaybackControls controls;
    controls.window = this;
    controls.songView = m_songView;
    controls.songs = m_songs;
    controls.searchBox = m_searchBox;
    controls.statusLabel = m_statusLabel;
    controls.receptionLabel = m_receptionLabel;
    controls.progressLabel = m_progressLabel;
    controls.playPauseButton = m_playPauseButton;
    controls.stopItem = menuItem(QStringLiteral("停止"));
    controls.propertiesItem = menuItem(QStringLiteral("属性"));
    controls.stereoItem = menuItem(QStringLiteral("立体声"));
    controls.leftItem = menuItem(QStringLiteral("左声道"));
    controls.rightItem = menuItem(QStringLiteral("右声道"));
    controls.continuousItem = menuItem(QStringLiteral("开启连播"));
    controls.randomItem = menuItem(QStringLiteral("随即播放"));
    controls.bufferingClock = findChild<QTimer *>(QStringLiteral("缓冲时钟"));
    controls.progressClock = findChild<QTimer *>(QStringLiteral("实时时钟"));
    controls.streamingClock = findChild<QTimer *>(QStringLiteral("播放下载时钟"));
    controls.switchTimer = findChild<QTimer *>(QStringLiteral("MP3切换时钟"));
    m_playback = new PlaybackController(m_services.player, *m_resolver, m_services.dialogs, controls, this);
    connectControls();
}

MainWindow::~MainWindow() = default;

void MainWindow::buildControls()
{
    auto label = [this](const char *name, const QString &text, QRect geometry, QColor colour) {
        auto *l = new TransparentLabel(text, this);
        l->setObjectName(QString::fromUtf8(name));
        l->setGeometry(geometry);
        l->setTextColour(colour);
        return l;
    };
    auto picture = [](const char *name, const char *file, QRect geometry, QWidget *parent) {
        auto *p = new PictureLabel(skinPicture(file), parent);
        p->setObjectName(QString::fromUtf8(name));
        p->setGeometry(geometry);
        return p;
    };
    auto button = [](const char *name, QRect geometry, QWidget *parent) {
        auto *b = new ImageButton(parent);
        b->setObjectName(QString::fromUtf8(name));
        b->setGeometry(geometry);
        return b;
    };
    auto timer = [this](const char *name) {
        auto *t = new QTimer(this);
        t->setObjectName(QString::fromUtf8(name));
        return t;
    };
    const QCursor hand(Qt::PointingHandCursor);

    // In stacking order, topmost first.
    QList<QWidget *> stack;

    timer("播放下载时钟");
    m_receptionLabel = label("播放下载标签", QStringLiteral("请选择一个列表播放"), {296, 293, 152, 16}, {254, 218, 186});
    stack << m_receptionLabel;
    timer("实时时钟");
    m_progressLabel = label("进度透明标签", QStringLiteral("00:00/00:00"), {440, 293, 120, 12}, {254, 218, 186});
    m_progressLabel->setFont(songFont());
    stack << m_progressLabel;
    m_stopDownloadLabel = label("停止下载标签", QStringLiteral("停止下载"), {366, 32, 50, 18}, {192, 96, 0});
    m_stopDownloadLabel->setCursor(hand);
    m_stopDownloadLabel->hide();
    stack << m_stopDownloadLabel;
    m_downloadLabel = label("下载透明标签", QStringLiteral("开始下载"), {365, 32, 50, 18}, {128, 128, 255});
    m_downloadLabel->setCursor(hand);
    stack << m_downloadLabel;
    m_downloadHint = label("下载提示透明标签", QString(), {424, 32, 136, 16}, {255, 0, 255});
    stack << m_downloadHint;
    timer("下载时钟");
    m_refreshLabel = label("刷新透明标签", QStringLiteral("刷新"), {330, 32, 30, 18}, {128, 224, 0});
    m_refreshLabel->setCursor(hand);
    m_refreshLabel->setMouseTracking(true);
    stack << m_refreshLabel;
    timer("MP3切换时钟");
    stack << picture("标签15", "edge_right", {572, 60, 8, 18}, this);
    stack << picture("标签14", "edge_bl", {0, 292, 7, 15}, this);
    stack << picture("标签10", "edge_br", {573, 292, 7, 15}, this);

    ImageButton *open = m_openButton = button("打开图形按钮", {247, 308, 21, 21}, this);
    open->setNormalPicture(skinPicture("open_normal"));
    open->setHoverPicture(skinPicture("open_hover"));
    open->setCursor(hand);
    stack << open;

    // The volume pictures live inside their box, which clips them.
    auto *volumeBox = new QFrame(this);
    volumeBox->setObjectName(QStringLiteral("音量外形框"));
    volumeBox->setFrameShape(QFrame::NoFrame);
    volumeBox->setGeometry(152, 306, 94, 23);
    PictureLabel *volumeTrack = picture("拖动标签", "volume_track", {6, 0, 88, 23}, volumeBox);
    ImageButton *volumeThumb = button("音量拖动", {-13, 5, 70, 13}, volumeBox);
    volumeThumb->setNormalPicture(skinPicture("volume_thumb"));
    volumeThumb->setCursor(hand);
    PictureLabel *volumeIcon = picture("音量标签", "volume_icon", {-15, 0, 28, 23}, volumeBox);
    volumeTrack->lower();
    volumeIcon->raise();
    stack << volumeBox;

    stack << picture("标签13", "volume_left", {120, 307, 12, 23}, this);

    ImageButton *mute = button("图形按钮6", {133, 311, 18, 13}, this);
    mute->setCheckable(true);
    mute->setKeyColour(qRgb(255, 0, 255));
    mute->setNormalPicture(skinPicture("mute_normal"));
    mute->setHoverPicture(skinPicture("mute_hover"));
    mute->setCheckedPicture(skinPicture("mute_checked"));
    mute->setCursor(hand);
    stack << mute;

    m_statusLabel = label("缓冲标签", QStringLiteral("准备就绪"), {100, 6, 350, 16}, {192, 192, 192});
    stack << m_statusLabel;
    timer("缓冲时钟");

    ImageButton *playPause = m_playPauseButton = button("暂停图形按钮", {20, 302, 30, 30}, this);
    playPause->setCheckable(true);
    playPause->setKeyColour(qRgb(255, 0, 0));
    playPause->setNormalPicture(skinPicture("play"));
    playPause->setCheckedPicture(skinPicture("pause"));
    playPause->setCursor(hand);
    stack << playPause;

    ImageButton *stop = m_stopButton = button("停止图形按钮", {54, 308, 19, 19}, this);
    stop->setNormalPicture(skinPicture("stop_normal"));
    stop->setHoverPicture(skinPicture("stop_hover"));
    stop->setPressedPicture(skinPicture("stop_pressed"));
    stop->setCursor(hand);
    stack << stop;

    ImageButton *stopSmall = button("停止按钮", {54, 311, 13, 13}, this);
    stopSmall->setNormalPicture(skinPicture("stopsmall_normal"));
    stopSmall->setHoverPicture(skinPicture("stopsmall_hover"));
    stopSmall->setCursor(hand);
    stack << stopSmall;

    m_controlBar = picture("标签8", "controlbar", {11, 289, 557, 48}, this);
    stack << m_controlBar;

    m_dropDownButton = button("图形按钮1", {266, 32, 17, 18}, this);
    m_dropDownButton->setNormalPicture(skinPicture("dropdown_normal"));
    m_dropDownButton->setHoverPicture(skinPicture("dropdown_hover"));
    m_dropDownButton->setPressedPicture(skinPicture("dropdown_pressed"));
    stack << m_dropDownButton;

    const QColor headerText(200, 206, 216);
    for (auto [name, caption, geometry] :
         {std::tuple{"标签4", "歌曲名称", QRect(200, 61, 372, 17)}, std::tuple{"标签3", "演唱歌手", QRect(49, 61, 150, 17)},
          std::tuple{"标签2", "序号", QRect(8, 61, 40, 17)}}) {
        PictureLabel *strip = picture(name, "header", geometry, this);
        strip->setTiled(true);
        strip->setCaption(QString::fromUtf8(caption));
        QPalette p = strip->palette();
        p.setColor(QPalette::WindowText, headerText);
        strip->setPalette(p);
        stack << strip;
    }

    m_searchBox = new QLineEdit(this);
    m_searchBox->setObjectName(QStringLiteral("搜索框"));
    m_searchBox->setGeometry(85, 32, 182, 18);
    m_searchBox->setFrame(false);
    stack << m_searchBox;

    m_keywordBox = new QComboBox(this);
    m_keywordBox->setObjectName(QStringLiteral("关键字框"));
    m_keywordBox->setGeometry(84, 31, 200, 20);
    m_keywordBox->setMaxVisibleItems(16);
    stack << m_keywordBox;

    m_searchLabel = label("搜索透明标签", QStringLiteral("搜索"), {294, 32, 30, 18}, kSearchIdle);
    m_searchLabel->setCursor(hand);
    m_searchLabel->setMouseTracking(true);
    stack << m_searchLabel;

    m_titleLabel = label("提示标签", QStringLiteral(" 沐弦音乐盒"), {8, 4, 70, 20}, {192, 192, 192});
    stack << m_titleLabel;

    m_minimiseButton = button("小化图形按钮", {481, 1, 24, 16}, this);
    m_minimiseButton->setNormalPicture(skinPicture("min_normal"));
    m_minimiseButton->setHoverPicture(skinPicture("min_hover"));
    stack << m_minimiseButton;
    m_maximiseButton = button("大化图形按钮", {506, 1, 24, 16}, this);
    m_maximiseButton->setNormalPicture(skinPicture("max_normal"));
    m_maximiseButton->setHoverPicture(skinPicture("max_hover"));
    stack << m_maximiseButton;
    m_closeButton = button("关闭图形按钮", {532, 1, 40, 16}, this);
    m_closeButton->setNormalPicture(skinPicture("close_normal"));
    m_closeButton->setHoverPicture(skinPicture("close_hover"));
    stack << m_closeButton;

    m_searchCaption = label("提示透明标签", QStringLiteral("歌名或歌手"), {20, 33, 60, 18}, kSearchIdle);
    stack << m_searchCaption;

    m_songView = new QTreeView(this);
    m_songView->setObjectName(QStringLiteral("播放列表框"));
    m_songView->setGeometry(8, 78, 565, 212);
    m_songView->setModel(m_songs);
    m_songView->setFont(songFont());
    m_songView->setRootIsDecorated(false);
    m_songView->setItemsExpandable(false);
    m_songView->setUniformRowHeights(true);
    m_songView->setAllColumnsShowFocus(true);
    m_songView->setAlternatingRowColors(true);
    m_songView->setSelectionMode(QAbstractItemView::SingleSelection);
    m_songView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_songView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_songView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_songView->setContextMenuPolicy(Qt::CustomContextMenu);
    // The skin's caption strip stands above the list, so the list's own
    // header row is not shown.
    m_songView->setHeaderHidden(true);
    m_songView->header()->setStretchLastSection(false);
    m_songView->setColumnWidth(SongListModel::NumberColumn, 40);
    m_songView->setColumnWidth(SongListModel::TitleColumn, 150);
    m_songView->setColumnWidth(SongListModel::SingerColumn, 355);
    stack << m_songView;

    auto *playFrame = new QFrame(this);
    playFrame->setObjectName(QStringLiteral("播放外形框"));
    playFrame->setFrameShape(QFrame::NoFrame);
    playFrame->setGeometry(14, 270, 552, 60);
    stack << playFrame;

    // Raising from the bottom up leaves the first of the list on top.
    for (auto it = stack.crbegin(); it != stack.crend(); ++it)
        (*it)->raise();
}

void MainWindow::buildMenus()
{
    auto item = [](QMenu *menu, const QString &caption, int flags = 0) {
        QAction *a = menu->addAction(caption);
        QString name = caption;
        const qsizetype key = name.indexOf(QStringLiteral("(&"));
        if (key >= 0)
            name.truncate(key);
        a->setObjectName(name);
        a->setVisible(!(flags & 1));
        a->setEnabled(!(flags & 2));
        if (flags & 4) {
            a->setCheckable(true);
            a->setChecked(true);
        }
        return a;
    };

    m_playerMenu = new QMenu(this);
    m_playerMenu->setObjectName(QStringLiteral("菜单"));
    item(m_playerMenu, QStringLiteral("打开文件(&U)"));
    m_playerMenu->addSeparator();
    item(m_playerMenu, QStringLiteral("播放/暂停(&P)"));
    item(m_playerMenu, QStringLiteral("停止(&S)"), 2);
    m_playerMenu->addSeparator();
    QMenu *channels = m_playerMenu->addMenu(QStringLiteral("声道(&Y)"));
    channels->setObjectName(QStringLiteral("声道"));
    channels->menuAction()->setObjectName(QStringLiteral("声道"));
    item(channels, QStringLiteral("立体声"), 4);
    item(channels, QStringLiteral("左声道"))->setCheckable(true);
    item(channels, QStringLiteral("右声道"))->setCheckable(true);
    m_playerMenu->addSeparator();
    item(m_playerMenu, QStringLiteral("属性(&R)"), 2);

    m_songMenu = new QMenu(this);
    m_songMenu->setObjectName(QStringLiteral("隐藏菜单"));
    item(m_songMenu, QStringLiteral("试听(&P)"));
    item(m_songMenu, QStringLiteral("歌词(&C)"));
    item(m_songMenu, QStringLiteral("下载(&D)"));
    item(m_songMenu, QStringLiteral("停止下载(&D)"), 1);
    m_songMenu->addSeparator();
    QMenu *charts = m_songMenu->addMenu(QStringLiteral("榜单家族"));
    charts->setObjectName(QStringLiteral("榜单家族"));
    charts->menuAction()->setObjectName(QStringLiteral("榜单家族"));
    for (const ChartEntry &chart : chartMenu()) {
        QAction *a = item(charts, chart.caption);
        const int id = chart.listId;
        connect(a, &QAction::triggered, this, [this, id] { m_charts->loadChart(id); });
    }
    m_songMenu->addSeparator();
    item(m_songMenu, QStringLiteral("开启连播"))->setCheckable(true);
    item(m_songMenu, QStringLiteral("随即播放"))->setCheckable(true);
    m_songMenu->addSeparator();
    item(m_songMenu, QStringLiteral("刷新(&R)"));

    m_trayMenu = new QMenu(this);
    m_trayMenu->setObjectName(QStringLiteral("托盘菜单"));
    item(m_trayMenu, QStringLiteral("显示(&S)"), 1);
    item(m_trayMenu, QStringLiteral("隐藏(&C)"));
    m_trayMenu->addSeparator();
    item(m_trayMenu, QStringLiteral("退出(&X)"));
}

QAction *MainWindow::menuItem(const QString &name) const
{
    for (QMenu *menu : {m_playerMenu, m_songMenu, m_trayMenu})
        if (auto *a = menu->findChild<QAction *>(name))
            return a;
    return nullptr;
}

void MainWindow::connectControls()
{
    // Presses on these labels move the window like a title bar.
    for (TransparentLabel *l : {m_titleLabel, m_searchCaption, m_statusLabel, m_receptionLabel, m_progressLabel})
        l->setDragsWindow(true);

    auto popupPlayerMenu = [this](const QPoint &globalPos) { m_playerMenu->popup(globalPos); };
    for (TransparentLabel *l : {m_titleLabel, m_searchCaption, m_statusLabel, m_downloadHint, m_receptionLabel,
                                m_progressLabel})
        connect(l, &TransparentLabel::rightPressed, this, popupPlayerMenu);
    connect(m_controlBar, &PictureLabel::rightPressed, this, popupPlayerMenu);

    connect(m_searchLabel, &TransparentLabel::leftPressed, this, [this] { m_search->runSearch(); });
    connect(m_searchLabel, &TransparentLabel::pointerMoved, this,
            [this] { m_searchLabel->setTextColour(kSearchHover); });
    connect(m_refreshLabel, &TransparentLabel::leftPressed, this, &MainWindow::refresh);
    connect(m_refreshLabel, &TransparentLabel::pointerMoved, this,
            [this] { m_refreshLabel->setTextColour(kRefreshHover); });
    connect(menuItem(QStringLiteral("刷新")), &QAction::triggered, this, &MainWindow::refresh);

    connect(m_keywordBox, &QComboBox::textActivated, this, [this](const QString &text) { m_search->chooseKeyword(text); });
    connect(m_dropDownButton, &QAbstractButton::clicked, m_keywordBox, &QComboBox::showPopup);

    connect(m_songView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex &current) { m_search->rowSelected(current.isValid() ? current.row() : -1); });
    connect(m_songView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &pos) { m_songMenu->popup(m_songView->viewport()->mapToGlobal(pos)); });

    connect(menuItem(QStringLiteral("开启连播")), &QAction::triggered, this,
            [this] { m_playOptions->toggleContinuousPlay(); });
    connect(menuItem(QStringLiteral("随即播放")), &QAction::triggered, this,
            [this] { m_playOptions->toggleRandomPlay(); });

    connect(menuItem(QStringLiteral("试听")), &QAction::triggered, m_playback, &PlaybackController::playSelectedSong);
    connect(m_songView, &QAbstractItemView::doubleClicked, m_playback, &PlaybackController::playSelectedSong);
    connect(m_openButton, &QAbstractButton::clicked, m_playback, &PlaybackController::openLocalFile);
    connect(menuItem(QStringLiteral("打开文件")), &QAction::triggered, m_playback, &PlaybackController::openLocalFile);
    connect(m_playPauseButton, &QAbstractButton::clicked, m_playback, &PlaybackController::togglePlayPause);
    connect(menuItem(QStringLiteral("播放/暂停")), &QAction::triggered, m_playback,
            &PlaybackController::togglePlayPause);
    connect(m_stopButton, &QAbstractButton::clicked, m_playback, &PlaybackController::stopPlayback);
    connect(menuItem(QStringLiteral("停止")), &QAction::triggered, m_playback, &PlaybackController::stopPlayback);
    connect(menuItem(QStringLiteral("属性")), &QAction::triggered, m_playback,
            &PlaybackController::showFileProperties);

    connect(m_minimiseButton, &QAbstractButton::clicked, this,
            [this] { setWindowState(windowState() | Qt::WindowMinimized); });
    connect(m_closeButton, &QAbstractButton::clicked, this, &MainWindow::exitProgram);
    connect(menuItem(QStringLiteral("退出")), &QAction::triggered, this, &MainWindow::exitProgram);
    connect(menuItem(QStringLiteral("隐藏")), &QAction::triggered, this, &MainWindow::hideToTray);
    connect(menuItem(QStringLiteral("显示")), &QAction::triggered, this, &MainWindow::showFromTray);
    connect(&m_services.tray, &Tray::doubleClicked, this, &MainWindow::showFromTray);
    connect(&m_services.tray, &Tray::rightClicked, this, [this](const QPoint &pos) { m_trayMenu->popup(pos); });
}

void MainWindow::onMainWindowCreated()
{
    m_playOptions->readAtStart();

    // Red skin pixels are holes: neither drawn nor clickable.
    if (!m_skin.isNull())
        setMask(m_skin.createMaskFromColor(QColor(255, 0, 0), Qt::MaskInColor));

    if (m_services.tray.isAvailable())
        m_services.tray.show(QIcon(skinPicture("tray")), QStringLiteral("沐弦音乐盒"));

    m_charts->loadStartupMix();
    m_charts->loadCategories();
}

void MainWindow::refresh()
{
    m_downloadHint->clear();
    m_charts->loadStartupMix();
}

void MainWindow::exitProgram()
{
    m_services.tray.remove();
    emit exitRequested();
    QCoreApplication::quit();
}

void MainWindow::hideToTray()
{
    hide();
    setWindowState(windowState() | Qt::WindowMinimized);
    menuItem(QStringLiteral("隐藏"))->setVisible(false);
    menuItem(QStringLiteral("显示"))->setVisible(true);
}

void MainWindow::showFromTray()
{
    setWindowState(windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    show();
    // Back at the centre of the screen, wherever the window was before.
    if (QScreen *s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    raise();
    activateWindow();
    menuItem(QStringLiteral("显示"))->setVisible(false);
    menuItem(QStringLiteral("隐藏"))->setVisible(true);
}

void MainWindow::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    // However the window got minimised, it goes to the tray; on a desktop
    // without one it stays an ordinary minimised window so it can be found.
    if (event->type() == QEvent::WindowStateChange && isMinimized() && isVisible()
        && m_services.tray.isAvailable() && m_services.tray.isShown())
        QTimer::singleShot(0, this, [this] {
            if (isMinimized())
                hideToTray();
        });
}

bool MainWindow::isBareSkin(const QPoint &pos) const
{
    return rect().contains(pos) && childAt(pos) == nullptr;
}

void MainWindow::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.drawPixmap(0, 0, m_skin);
}

void MainWindow::mousePressEvent(QMouseEvent *event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton && isBareSkin(pos))
        m_playerMenu->popup(event->globalPosition().toPoint());
    event->accept();
}

void MainWindow::mouseMoveEvent(QMouseEvent *event)
{
    if (isBareSkin(event->position().toPoint())) {
        m_searchLabel->setTextColour(kSearchIdle);
        m_refreshLabel->setTextColour(kRefreshIdle);
    }
    event->accept();
}
