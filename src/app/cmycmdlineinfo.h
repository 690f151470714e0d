#pragma once
// The command line: "-v" or "/v" (any letter case) asks for the viewer; the parameters that are
// not flags, joined with one blank and trimmed, are the path of the picture to show (so an
// unquoted path with blanks still arrives whole). "--new-window" is what New Window starts the
// program with: a browser placed a step away from the window that asked for it.

#include <QString>
#include <QStringList>

class CMyCmdLineInfo {
public:
    static constexpr int kViewerMode = 100;
    static constexpr QLatin1StringView kNewWindowFlag{"new-window"};

    // Every parameter, flag or not, passes through here (flags without their leading "-" or "/").
    void ParseParam(const QString& param, bool flag);

    // Parses the arguments that follow the program name.
    static CMyCmdLineInfo parse(const QStringList& arguments);

    // The viewer comes first when "v" was given or when there was any parameter at all.
    bool viewerFirst() const { return mode == kViewerMode || !lastParam.isEmpty(); }

    int mode = 0;
    QString lastParam;
    QString path;
    bool newWindow = false;

private:
    QStringList m_pathParts;
};
