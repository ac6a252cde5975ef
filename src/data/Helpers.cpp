#include "data/Helpers.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

QString helperPath(const QString &name)
{
    const QString dir = QCoreApplication::applicationDirPath();
    QStringList candidates{dir + u'/' + name, dir + QStringLiteral("/../libexec/vardex/") + name};
    const QString variable = QStringLiteral("VARDEX_") + name.section(u'-', 1).toUpper() + QStringLiteral("_HELPER");
    const QString set = qEnvironmentVariable(variable.toLatin1().constData());
    if (!set.isEmpty())
        candidates.prepend(set);
    for (const QString &c : candidates) {
        const QFileInfo f(c);
        if (f.isFile() && f.isExecutable())
            return f.absoluteFilePath();
    }
    return {};
}
