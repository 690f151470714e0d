#include "peertiming.h"

#include <chrono>

#include <QProcess>

namespace {

// Seconds of "0m1.250s" as the shell's `times` prints them.
double shellSeconds(const QString& text)
{
    const qsizetype m = text.indexOf(QLatin1Char('m'));
    return text.left(m).toDouble() * 60 + text.mid(m + 1).chopped(1).toDouble();
}

} // namespace

std::optional<PeerTiming> timeShellScript(const QString& script, const QStringList& args)
{
    // The shell's `times` gives the CPU time portably; the shell's own start-up is in the wall
    // time, a millisecond or so.
    QProcess shell;
    shell.setProgram(QStringLiteral("sh"));
    shell.setArguments(QStringList{QStringLiteral("-c"), script + QStringLiteral(" && times"), QStringLiteral("sh")} +
                       args);
    const auto start = std::chrono::steady_clock::now();
    shell.start();
    if (!shell.waitForFinished(-1) || shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0)
        return std::nullopt;
    PeerTiming run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The second line of `times` is the children's user and system time.
    const QStringList lines = QString::fromLocal8Bit(shell.readAllStandardOutput()).split(QLatin1Char('\n'));
    const QStringList children = lines.value(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (children.size() == 2)
        run.cpuSeconds = shellSeconds(children.at(0)) + shellSeconds(children.at(1));
    return run;
}

std::optional<int> runMake(const QStringList& args, int maxCount, const std::function<bool(const QString&, int)>& make)
{
    if (args.size() != 3 || args.at(0) != QLatin1String("--make"))
        return std::nullopt;
    bool ok = false;
    const int count = args.at(2).toInt(&ok);
    if (!ok || count < 1 || count > maxCount)
        return 2;
    return make(args.at(1), count) ? 0 : 1;
}

std::optional<PeerTiming> timeFind(const QString& dir, const char* printfFormat)
{
    return timeShellScript(QStringLiteral("find \"$1\" -maxdepth 1 -printf \"$2\" > /dev/null"),
                           {dir, QString::fromLatin1(printfFormat)});
}
