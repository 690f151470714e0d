#include "findtiming.h"

#include <chrono>

#include <QProcess>
#include <QStringList>

namespace bench {

namespace {

// Seconds of "0m1.250s" as the shell's `times` prints them.
double shellSeconds(const QString& text)
{
    const qsizetype m = text.indexOf(QLatin1Char('m'));
    return text.left(m).toDouble() * 60 + text.mid(m + 1).chopped(1).toDouble();
}

} // namespace

std::optional<FindRun> timeFind(const QString& dir, const char* printfFormat)
{
    // The shell's `times` gives find's CPU time portably.
    QProcess shell;
    shell.setProgram(QStringLiteral("sh"));
    shell.setArguments({QStringLiteral("-c"),
                        QStringLiteral("find \"$1\" -maxdepth 1 -printf \"$2\" > /dev/null && times"),
                        QStringLiteral("sh"), dir, QString::fromLatin1(printfFormat)});
    const auto start = std::chrono::steady_clock::now();
    shell.start();
    if (!shell.waitForFinished(-1) || shell.exitStatus() != QProcess::NormalExit || shell.exitCode() != 0)
        return std::nullopt;
    FindRun run;
    run.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // The second line of `times` is the children's user and system time.
    const QStringList lines = QString::fromLocal8Bit(shell.readAllStandardOutput()).split(QLatin1Char('\n'));
    const QStringList children = lines.value(1).split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (children.size() == 2)
        run.cpuSeconds = shellSeconds(children.at(0)) + shellSeconds(children.at(1));
    return run;
}

} // namespace bench
