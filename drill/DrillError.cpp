#include "DrillError.h"

#include <QFileInfo>

DrillError::DrillError(const QString &message)
    : std::runtime_error(message.toStdString())
    , raisedAt(__builtin_return_address(0))
{
}

QString DrillError::message() const
{
    return QString::fromUtf8(what());
}

QString withFullStop(const QString &message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

QString applicationTitle(const QString &programFilePath)
{
    const QString name = QFileInfo(programFilePath).fileName().section(u'.', 0, 0);
    return name.left(1) + name.mid(1).toLower();
}
