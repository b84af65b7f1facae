#include "qtdialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QStandardPaths>
#include <QMessageBox>
#include <QStringList>

QString qtFileFilter(const QString &windowsFilter)
{
    if (!windowsFilter.contains(QLatin1Char('|')))
        return windowsFilter;

    const QStringList fields = windowsFilter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < fields.size(); i += 2) {
        const QString description = fields.at(i).trimmed();
        QStringList patterns;
        if (i + 1 < fields.size()) {
            for (const QString &pattern : fields.at(i + 1).split(QLatin1Char(';'))) {
                if (!pattern.trimmed().isEmpty())
                    patterns.append(pattern.trimmed());
            }
        }
        if (description.isEmpty() && patterns.isEmpty())
            continue; // the empty field after a closing "|"
        if (patterns.isEmpty())
            patterns.append(QStringLiteral("*"));
        const QString list = QLatin1Char('(') + patterns.join(QLatin1Char(' ')) + QLatin1Char(')');
        filters.append(description.isEmpty() ? list : description + QLatin1Char(' ') + list);
    }
    return filters.join(QStringLiteral(";;"));
}

void QtDialogs::message(const QString &title, const QString &text, Icon icon)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None: boxIcon = QMessageBox::NoIcon; break;
    case Icon::Information: boxIcon = QMessageBox::Information; break;
    case Icon::Warning: boxIcon = QMessageBox::Warning; break;
    case Icon::Critical: boxIcon = QMessageBox::Critical; break;
    }
    QMessageBox box(boxIcon, title, text, QMessageBox::Ok, m_parent);
    box.exec();
}

QString QtDialogs::openFile(const QString &title, const QString &filter)
{
    const QString path = QFileDialog::getOpenFileName(m_parent, title, openFolder(), qtFileFilter(filter));
    if (!path.isEmpty())
        m_lastOpenFolder = QFileInfo(path).absolutePath();
    return path;
}

QString QtDialogs::openFolder() const
{
    if (!m_lastOpenFolder.isEmpty())
        return m_lastOpenFolder;
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    return QFileInfo(music).isDir() ? music : QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
}

QString QtDialogs::saveFile(const QString &title, const QString &filter,
                            const QString &proposedName)
{
    return QFileDialog::getSaveFileName(m_parent, title, proposedName, qtFileFilter(filter));
}
