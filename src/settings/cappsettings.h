#pragma once
// The record of the options the user edits (the Options dialog and the View menu). The
// application object owns the one the program uses, loads it at start-up and passes it to every
// window that reads an option; they read its fields when they need a value, and those that keep
// a value of their own follow changed(). Booleans are 0/1 when written, and any non-zero value
// read counts as set: test fields with != 0. UI thread only, like the store under it.

#include <initializer_list>

#include <QObject>
#include <QString>

class CAppSettings : public QObject {
    Q_OBJECT
public:
    explicit CAppSettings(QObject* parent = nullptr);

    // Reads all sixteen fields; a missing or unreadable value gives the field's default (Timer's
    // default is its current text).
    void LoadSettings();
    // Writes all sixteen fields, then tells the windows that follow the options.
    void SaveSettings();
    // Writes only these integer fields, so that the others as another program saved them
    // meanwhile survive (a window storing what it changed itself when the program ends).
    void SaveFields(std::initializer_list<int CAppSettings::*> fields) const;

    // Timer as the slide show uses it, in milliseconds: leading blanks, a sign and the digits
    // that follow, as C's atol reads them. Text that is not a number gives 0, which means no
    // slide show, and so does a negative number; numbers too large for a timer are capped.
    int timerDelay() const;

    QString Timer;
    int Select = 0;
    int Around = 0;
    int DontScanHeaders = 0;
    int DoubleClick = 0;
    int FullRow = 0;
    int GridLines = 0;
    int HidePreview = 0;
    int ShowVideo = 0;
    int SingleClick = 0;
    int SavePosition = 0;
    int ShowHidden = 0;
    int ShowNonImages = 0;
    int AutoRefresh = 0;
    int ViewMode = 0;
    int KeepThumbnails = 0;

Q_SIGNALS:
    // The options were saved as a whole: windows that keep a value of their own take it again.
    void changed();
};
