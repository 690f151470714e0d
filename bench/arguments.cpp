#include "arguments.h"

#include <algorithm>

namespace bench {

bool parseArguments(const QStringList& arguments, QString& dir, std::initializer_list<CountOption> options)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto option = std::find_if(options.begin(), options.end(),
                                         [&](const CountOption& o) { return argument == QLatin1String(o.name); });
        if (option != options.end() && i + 1 < arguments.size()) {
            bool ok = false;
            *option->value = arguments[++i].toInt(&ok);
            if (!ok || *option->value < option->minimum || *option->value > option->maximum)
                return false;
        } else if (!argument.startsWith(QLatin1Char('-')) && dir.isEmpty()) {
            dir = argument;
        } else {
            return false;
        }
    }
    return true;
}

} // namespace bench
