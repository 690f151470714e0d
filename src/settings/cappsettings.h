#pragma once
// The record of the options the user edits (the Options dialog and the View menu). The
// application object keeps one for the whole run; readers call LoadSettings() right before they
// consult a field so that a change saved by another window is seen. Booleans are 0/1 when
// written, and any non-zero value read counts as set: test fields with != 0.
// UI thread only, like the store under it.

#include <QString>

class CAppSettings {
public:
    CAppSettings();

    // Reads all fifteen fields; a missing or unreadable value gives the field's default (Timer's
    // default is its current text).
    void LoadSettings();
    // Writes all fifteen fields.
    void SaveSettings() const;

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
};
