#include "app/cmycmdlineinfo.h"

void CMyCmdLineInfo::ParseParam(const QString& param, bool flag)
{
    if (flag && param == kNewWindowFlag) {
        newWindow = true;
        return;
    }
    lastParam = param;
    if (flag && param.compare(QLatin1String("v"), Qt::CaseInsensitive) == 0)
        mode = kViewerMode;
    if (!flag) {
        m_pathParts << param;
        path = m_pathParts.join(QLatin1Char(' ')).trimmed();
    }
}

CMyCmdLineInfo CMyCmdLineInfo::parse(const QStringList& arguments)
{
    CMyCmdLineInfo info;
    for (const QString& argument : arguments) {
        // A leading "/" starts an absolute path here, so only "/v" itself counts as a flag.
        if (argument.size() > 1 && argument.startsWith(QLatin1Char('-'))) {
            QString flag = argument.mid(1);
            if (flag.startsWith(QLatin1Char('-')))
                flag.remove(0, 1);
            info.ParseParam(flag, true);
        } else if (argument.compare(QLatin1String("/v"), Qt::CaseInsensitive) == 0) {
            info.ParseParam(argument.mid(1), true);
        } else {
            info.ParseParam(argument, false);
        }
    }
    return info;
}
