#include "accessibility.h"

#include "imagebutton.h"
#include "picturelabel.h"
#include "transparentlabel.h"
#include "volumethumb.h"

#include <QAccessibleObject>
#include <QAccessibleWidget>
#include <QApplication>
#include <QWindow>

namespace {

// An image button, a (toggle) button that can be pressed.
class ButtonAccessible : public QAccessibleWidget
{
public:
    explicit ButtonAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Button) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (auto *button = qobject_cast<QAbstractButton *>(widget())) {
            s.checkable = button->isCheckable();
            s.checked = button->isChecked();
            s.pressed = button->isDown();
        }
        return s;
    }

    QStringList actionNames() const override
    {
        QStringList names{pressAction()};
        if (state().checkable)
            names << toggleAction();
        return names + QAccessibleWidget::actionNames();
    }

    void doAction(const QString &name) override
    {
        if (name == pressAction() || name == toggleAction()) {
            static_cast<QAbstractButton *>(widget())->click();
            return;
        }
        QAccessibleWidget::doAction(name);
    }
};

// A skinned label. One that acts as a button (搜索, 刷新, ...) is a button
// that can be pressed; any other is text whose name is what it shows, so
// that a status line is read as it changes (its function, 播放状态 and the
// like, is its description). The role is decided when asked, not when the
// interface is made: assistive technologies that are already listening
// make it while the window is still being built.
class LabelAccessible : public QAccessibleWidget
{
public:
    explicit LabelAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::StaticText) {}

    QAccessible::Role role() const override { return button() ? QAccessible::Button : QAccessible::StaticText; }

    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = label()->text();
        return s;
    }

    QStringList actionNames() const override
    {
        const QStringList names = QAccessibleWidget::actionNames();
        return button() ? QStringList{pressAction()} + names : names;
    }

    void doAction(const QString &name) override
    {
        if (button() && name == pressAction()) {
            label()->press();
            return;
        }
        QAccessibleWidget::doAction(name);
    }

private:
    TransparentLabel *label() const { return static_cast<TransparentLabel *>(widget()); }
    bool button() const { return label()->actsAsButton(); }
};

class SliderAccessible : public QAccessibleWidget, public QAccessibleValueInterface
{
public:
    explicit SliderAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Slider) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QVariant currentValue() const override { return thumb()->value(); }
    void setCurrentValue(const QVariant &value) override
    {
        const int target = qBound(thumb()->minimum(), value.toInt(), thumb()->maximum());
        emit thumb()->stepRequested(target - thumb()->value());
    }
    QVariant maximumValue() const override { return thumb()->maximum(); }
    QVariant minimumValue() const override { return thumb()->minimum(); }
    QVariant minimumStepSize() const override { return 1; }

private:
    VolumeThumb *thumb() const { return static_cast<VolumeThumb *>(widget()); }
};

// A skin picture: text where it carries a caption (the header strip's
// 序号, 歌曲名称, 演唱歌手), otherwise a plain part of the window.
class PictureAccessible : public QAccessibleWidget
{
public:
    explicit PictureAccessible(QWidget *widget) : QAccessibleWidget(widget, QAccessible::Client) {}

    QAccessible::Role role() const override
    {
        return caption().isEmpty() ? QAccessible::Client : QAccessible::StaticText;
    }
    QString text(QAccessible::Text t) const override
    {
        QString s = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && s.isEmpty())
            s = caption();
        return s;
    }

private:
    QString caption() const { return static_cast<PictureLabel *>(widget())->caption(); }
};

// The application, whose children are its visible top-level windows, popup
// menus included: Qt's own leaves popups out, so a menu that is open could
// only be found through focus events, not by walking the tree.
class ApplicationAccessible : public QAccessibleObject
{
public:
    ApplicationAccessible() : QAccessibleObject(qApp) {}

    QWindow *window() const override { return nullptr; }
    int childCount() const override { return int(topLevels().size()); }
    int indexOfChild(const QAccessibleInterface *child) const override
    {
        return child ? int(topLevels().indexOf(child->object())) : -1;
    }
    QAccessibleInterface *parent() const override { return nullptr; }
    QAccessibleInterface *child(int index) const override
    {
        const QObjectList windows = topLevels();
        return index >= 0 && index < windows.size() ? QAccessible::queryAccessibleInterface(windows.at(index))
                                                     : nullptr;
    }
    QAccessibleInterface *focusChild() const override
    {
        QWindow *focus = QGuiApplication::focusWindow();
        return focus ? focus->accessibleRoot() : nullptr;
    }
    QString text(QAccessible::Text t) const override
    {
        switch (t) {
        case QAccessible::Name: return QGuiApplication::applicationName();
        case QAccessible::Description: return QGuiApplication::applicationFilePath();
        default: return QString();
        }
    }
    QAccessible::Role role() const override { return QAccessible::Application; }
    QAccessible::State state() const override { return QAccessible::State(); }

private:
    static QObjectList topLevels()
    {
        QObjectList list;
        for (QWindow *w : QGuiApplication::topLevelWindows()) {
            if (w->type() == Qt::Desktop || w->type() == Qt::ToolTip || !w->isVisible())
                continue;
            if (QAccessibleInterface *root = w->accessibleRoot())
                if (root->object())
                    list.append(root->object());
        }
        return list;
    }
};

QAccessibleInterface *skinnedControls(const QString &className, QObject *object)
{
    if (object && object == qApp && className == QLatin1String("QApplication"))
        return new ApplicationAccessible;
    if (!object || !object->isWidgetType())
        return nullptr;
    auto *widget = static_cast<QWidget *>(object);
    if (className == QLatin1String("VolumeThumb"))
        return new SliderAccessible(widget);
    if (className == QLatin1String("ImageButton"))
        return new ButtonAccessible(widget);
    if (className == QLatin1String("TransparentLabel"))
        return new LabelAccessible(widget);
    if (className == QLatin1String("PictureLabel"))
        return new PictureAccessible(widget);
    if (className == QLatin1String("MainWindow"))
        return new QAccessibleWidget(widget, QAccessible::Window);
    return nullptr;
}

} // namespace

void installAccessibility()
{
    static bool installed = false;
    if (!installed) {
        QAccessible::installFactory(skinnedControls);
        installed = true;
    }
}
